// The commands that open the setting dialogs, loading and saving settings
// files under a name, and the About box. Every accepted change is saved at
// once.

#include <QFileDialog>
#include <filesystem>
#include <memory>

#include "platform/profile.h"
#include "split/block_grid.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/format_option_dialog.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/naming_rule_dialog.h"
#include "ui/dialogs/save_folder_dialog.h"
#include "ui/dialogs/slot_rename_dialog.h"
#include "ui/dialogs/split_size_dialog.h"
#include "ui/dialogs/thread_count_dialog.h"
#include "ui/dialogs/zoom_rate_dialog.h"
#include "ui/document/image_document.h"
#include "ui/translation.h"
#include "ui/window/action_handler.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

namespace tessarin {

namespace {

const char* const kIniFilter =
    QT_TRANSLATE_NOOP("Tessarin", "INI ファイル (*.ini);;すべてのファイル (*.*)");

}  // namespace

void ActionHandler::OpenSplitSizeDialog() {
    const CurrentImage& image = document_.Image();
    const bool shown = image.Shown();
    SplitSizeDialog dialog(
        Settings(), shown ? image.width : 0, shown ? image.height : 0,
        [this] { document_.FollowGrid(); }, &window_, LosslessBlockGrid(image, Settings()));
    if (dialog.exec() == QDialog::Accepted) {
        SyncSplitChecks();
        document_.SaveSettings();
    }
    // After Cancel as well: the preview goes and the map follows the old grid.
    document_.FollowGrid();
}

void ActionHandler::OpenSettingDialog(int id) {
    std::unique_ptr<QDialog> dialog;
    switch (id) {
        case cmd::kSaveFolder:
            dialog = std::make_unique<SaveFolderDialog>(Settings(), &window_);
            break;
        case cmd::kNamingRule:
            dialog = std::make_unique<NamingRuleDialog>(Settings(), window_.Messages(), &window_);
            break;
        case cmd::kThreadCount:
            dialog = std::make_unique<ThreadCountDialog>(Settings(), &window_);
            break;
        case cmd::kZoomRate:
            dialog = std::make_unique<ZoomRateDialog>(Settings(), &window_);
            break;
        default:
            return;
    }
    if (dialog->exec() != QDialog::Accepted) return;
    if (id == cmd::kZoomRate) window_.ApplyInitialZoom();
    Repaint();
    document_.SaveSettings();
}

void ActionHandler::OpenFormatOptionDialog(const FormatOption& option) {
    FormatOptionDialog dialog(Settings(), option, &window_);
    if (dialog.exec() != QDialog::Accepted) return;
    Repaint();
    document_.SaveSettings();
}

void ActionHandler::OpenSlotRenameDialog() {
    const int slot = Paths().currentSlot;
    // The default name as the window's language gives it, as in the menu.
    const QString shownDefault = SlotTitle(DefaultSlotName(slot), slot);
    SlotRenameDialog dialog(SlotTitle(SlotName(Paths(), slot), slot).toStdString(), &window_);
    if (dialog.exec() != QDialog::Accepted) return;
    // Written whatever the no-overwrite option says; an empty name is the
    // default. The default name in any language is stored as every language
    // reads it.
    std::string name = dialog.Name();
    if (QString::fromStdString(name) == shownDefault) name = DefaultSlotName(slot);
    (void)RenameSlot(Paths(), name, window_.GuiNotifier());
    RefreshMenu();
    Repaint();
}

void ActionHandler::LoadSettingsFile() {
    const QString folder =
        QString::fromStdString(std::filesystem::path(Paths().mainSettingsPath).parent_path());
    const QString chosen = QFileDialog::getOpenFileName(
        &window_, Tessarin::tr("分割設定を読み込む"), folder, Tessarin::tr(kIniFilter));
    if (chosen.isEmpty()) return;
    const std::string path = chosen.toStdString();
    // A folder, a device or a file too large to be settings would read as all
    // defaults and overwrite the slot with them: it is refused instead.
    std::string bytes;
    if (ReadSmallFile(path, bytes) != FileReadStatus::Ok) {
        window_.Messages().ShowError(&window_,
                                     Tessarin::tr("設定ファイルを読み込めませんでした\n\n%1")
                                         .arg(QString::fromStdString(path)));
        return;
    }
    LoadSplitSettingsFrom(Settings(), Paths(), path);
    document_.SaveSettings();
    RefreshMenu();
    document_.FollowGrid();
}

void ActionHandler::SaveSettingsFileAs() {
    const QString folder =
        QString::fromStdString(std::filesystem::path(Paths().mainSettingsPath).parent_path());
    const QString chosen = QFileDialog::getSaveFileName(
        &window_, Tessarin::tr("分割設定に名前を付けて保存"), folder, Tessarin::tr(kIniFilter));
    if (chosen.isEmpty()) return;
    const std::string name = chosen.toStdString();
    if (!SaveSplitSettingsAs(Settings(), Paths(), name, window_.GuiNotifier()))
        ShowSettingsWriteFailed(WithIniExtension(name));
}

void ActionHandler::ShowAbout() {
    AboutDialog dialog(&window_);
    dialog.exec();
}

}  // namespace tessarin
