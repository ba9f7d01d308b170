// The commands that open the setting dialogs, and loading and saving settings
// files under a name. Every accepted change is saved at once.

#include <QFileDialog>
#include <filesystem>
#include <memory>

#include "platform/profile.h"
#include "split/block_grid.h"
#include "ui/dialogs/jpeg_quality_dialog.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/naming_rule_dialog.h"
#include "ui/dialogs/save_folder_dialog.h"
#include "ui/dialogs/slot_rename_dialog.h"
#include "ui/dialogs/split_size_dialog.h"
#include "ui/dialogs/thread_count_dialog.h"
#include "ui/dialogs/zoom_rate_dialog.h"
#include "ui/translation.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

namespace tessarin {

namespace {

const char* const kIniFilter =
    QT_TRANSLATE_NOOP("Tessarin", "INI ファイル (*.ini);;すべてのファイル (*.*)");

}  // namespace

void MainWindow::OpenSplitSizeDialog() {
    const CurrentImage& image = document_->Image();
    const bool shown = image.Shown();
    SplitSizeDialog dialog(
        settings_, shown ? image.width : 0, shown ? image.height : 0,
        [this] { document_->FollowGrid(); }, this, LosslessBlockGrid(image, settings_));
    if (dialog.exec() == QDialog::Accepted) {
        SyncSplitChecks();
        document_->SaveSettings();
    }
    // After Cancel as well: the preview goes and the map follows the old grid.
    document_->FollowGrid();
}

void MainWindow::OpenSettingDialog(int id) {
    std::unique_ptr<QDialog> dialog;
    switch (id) {
        case cmd::kSaveFolder:
            dialog = std::make_unique<SaveFolderDialog>(settings_, this);
            break;
        case cmd::kNamingRule:
            dialog = std::make_unique<NamingRuleDialog>(settings_, *messages_, this);
            break;
        case cmd::kCorrectCut:
            dialog = std::make_unique<JpegQualityDialog>(settings_, this);
            break;
        case cmd::kThreadCount:
            dialog = std::make_unique<ThreadCountDialog>(settings_, this);
            break;
        case cmd::kZoomRate:
            dialog = std::make_unique<ZoomRateDialog>(settings_, this);
            break;
        default:
            return;
    }
    if (dialog->exec() != QDialog::Accepted) return;
    if (id == cmd::kZoomRate) ApplyInitialZoom();
    Repaint();
    document_->SaveSettings();
}

void MainWindow::OpenSlotRenameDialog() {
    const int slot = paths_.currentSlot;
    // The default name as the window's language gives it, as in the menu.
    const QString shownDefault = SlotTitle(DefaultSlotName(slot), slot);
    SlotRenameDialog dialog(SlotTitle(SlotName(paths_, slot), slot).toStdString(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    // Written whatever the no-overwrite option says; an empty name is the
    // default. The default name in any language is stored as every language
    // reads it.
    std::string name = dialog.Name();
    if (QString::fromStdString(name) == shownDefault) name = DefaultSlotName(slot);
    (void)RenameSlot(paths_, name, &notifier_);
    RefreshMenu();
    Repaint();
}

void MainWindow::LoadSettingsFile() {
    const QString folder =
        QString::fromStdString(std::filesystem::path(paths_.mainSettingsPath).parent_path());
    const QString chosen = QFileDialog::getOpenFileName(this, Tessarin::tr("分割設定を読み込む"),
                                                        folder, Tessarin::tr(kIniFilter));
    if (chosen.isEmpty()) return;
    const std::string path = chosen.toStdString();
    // A folder, a device or a file too large to be settings would read as all
    // defaults and overwrite the slot with them: it is refused instead.
    std::string bytes;
    if (ReadSmallFile(path, bytes) != FileReadStatus::Ok) {
        messages_->ShowError(this, Tessarin::tr("設定ファイルを読み込めませんでした\n\n%1")
                                       .arg(QString::fromStdString(path)));
        return;
    }
    LoadSplitSettingsFrom(settings_, paths_, path);
    document_->SaveSettings();
    RefreshMenu();
    document_->FollowGrid();
}

void MainWindow::SaveSettingsFileAs() {
    const QString folder =
        QString::fromStdString(std::filesystem::path(paths_.mainSettingsPath).parent_path());
    const QString chosen = QFileDialog::getSaveFileName(
        this, Tessarin::tr("分割設定に名前を付けて保存"), folder, Tessarin::tr(kIniFilter));
    if (chosen.isEmpty()) return;
    const std::string name = chosen.toStdString();
    if (!SaveSplitSettingsAs(settings_, paths_, name, &notifier_))
        ShowSettingsWriteFailed(WithIniExtension(name));
}

}  // namespace tessarin
