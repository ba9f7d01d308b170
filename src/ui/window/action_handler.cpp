// The command table: every menu command and accelerator arrives here.

#include "ui/window/action_handler.h"

#include <QAction>
#include <QCoreApplication>

#include "imaging/format_registry.h"
#include "platform/text.h"
#include "split/block_grid.h"
#include "split/formats.h"
#include "split/geometry.h"
#include "ui/desktop_opener.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/document/image_document.h"
#include "ui/preferences_model.h"
#include "ui/readme_location.h"
#include "ui/translation.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_actions.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"
#include "ui/window/preference_commands.h"

namespace tessarin {

namespace {

// The split item's two texts; the first is also its text in the command table.
const char* const kSplitText = QT_TRANSLATE_NOOP("Tessarin", "分割実行(&E)\tF3");
const char* const kStopText = QT_TRANSLATE_NOOP("Tessarin", "分割中止(&E)\tF3");

QString Tr(const char* text) { return QCoreApplication::translate("Tessarin", text); }

// The commands that open another file, which a load in hand gives way to.
bool OpensAnotherFile(int id) {
    return id == cmd::kOpenFile || id == cmd::kNextFile || id == cmd::kPreviousFile;
}

}  // namespace

ActionHandler::ActionHandler(MainWindow& window, ImageDocument& document,
                             PreferencesModel& preferences)
    : QObject(&window), window_(window), document_(document), preferences_(preferences) {
    actions_ = new CommandActions(&window);
    connect(actions_, &CommandActions::commandTriggered, this, &ActionHandler::OnCommand);
    connect(&preferences_, &PreferencesModel::changed, this, &ActionHandler::ShowPreference);
    connect(&document_, &ImageDocument::imageChanged, this, &ActionHandler::FollowImage);
    // Split and selection mode need an image.
    Action(cmd::kSplit)->setEnabled(false);
    Action(cmd::kSelectionMode)->setEnabled(false);
}

QAction* ActionHandler::Action(int id) const { return actions_->Action(id); }

bool ActionHandler::IsChecked(int id) const {
    QAction* action = Action(id);
    return action && action->isChecked();
}

QMenu* ActionHandler::PopupMenu() const { return actions_->SplitMenu(); }

SplitSettings& ActionHandler::Settings() const { return document_.Settings(); }

SettingsPaths& ActionHandler::Paths() const { return document_.Paths(); }

void ActionHandler::Repaint() { window_.View()->update(); }

void ActionHandler::RefreshMenu() {
    SyncSplitChecks();
    placement_ = WindowPosMenuValue(ReadWindowPosOnBoot(Paths().mainSettingsPath));
    Action(cmd::kPosNormal + placement_)->setChecked(true);

    ProfileDocument mainFile;
    ReadProfileFile(Paths().mainSettingsPath, mainFile);
    preferences_.Load(mainFile);
    for (const PreferenceCommand& entry : kPreferenceCommands)
        Action(entry.command)->setChecked(preferences_.On(entry.preference));

    for (int slot = 0; slot <= cmd::kLastSlot - cmd::kFirstSlot; ++slot) {
        const QString name = SlotTitle(SlotName(Paths(), slot), slot);
        Action(cmd::kFirstSlot + slot)->setText(QStringLiteral("%1(&%2)").arg(name).arg(slot));
    }
}

void ActionHandler::ShowPreference(Preference preference, bool on) {
    if (QAction* action = Action(CommandOfPreference(preference))) action->setChecked(on);
}

void ActionHandler::SyncSplitChecks() {
    const SplitSettings& settings = Settings();
    Action(cmd::kAdjustAspect)->setChecked(settings.adjustAspect != 0);
    Action(settings.aspectBaseWidth ? cmd::kAspectWidth : cmd::kAspectHeight)->setChecked(true);
    Action(cmd::kAllBmp)->setChecked(settings.allBmp != 0);
    Action(cmd::kCorrectCut)->setChecked(settings.formatOptions.Get("OPTION", "CORRECT_CUT") != 0);
    Action(cmd::kNotOverwrite)->setChecked(settings.notOverwrite != 0);
    Action(cmd::kNegativeLine)->setChecked(settings.negativeLine != 0);
    Action(cmd::kFirstSlot + Paths().currentSlot)->setChecked(true);
    Action(cmd::kSelectionMode)->setChecked(document_.InSelectionMode());
    Action(cmd::kCopyAll + settings.formatOptions.Get("JPEG", "COPY"))->setChecked(true);
    const ImageFormat* tiles = ChosenTileFormat(settings);
    QAction* tileFormat =
        tiles ? Action(cmd::kFirstTileFormat + static_cast<int>(tiles->kind)) : nullptr;
    (tileFormat ? tileFormat : Action(cmd::kFirstTileFormat))->setChecked(true);
}

void ActionHandler::ShowBusy(bool busy, bool loading) {
    Action(cmd::kSplit)->setText(Tr(busy ? kStopText : kSplitText));
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id)
        if (cmd::IsGatedWhileSplitting(id))
            Action(id)->setEnabled(!busy || (loading && OpensAnotherFile(id)));
    for (int id : actions_->FormatOptionIds()) Action(id)->setEnabled(!busy);
    for (int id : actions_->TileFormatIds()) Action(id)->setEnabled(!busy);
    // Selection mode without an image would be a mode with nothing to select.
    if (!busy) Action(cmd::kSelectionMode)->setEnabled(document_.HasImage());
}

void ActionHandler::FollowImage() {
    const bool shown = document_.HasImage();
    Action(cmd::kSplit)->setEnabled(shown);
    if (!window_.IsSplitRunning()) Action(cmd::kSelectionMode)->setEnabled(shown);
}

void ActionHandler::OnCommand(int id) {
    if (window_.IsSplitRunning() && !(OpensAnotherFile(id) && window_.LoadInHand())) {
        if (id == cmd::kSplit) {
            emit windowCommand(id);  // stops the load or the split in hand
            return;
        }
        if (cmd::IsGatedWhileSplitting(id)) {
            SyncSplitChecks();  // undo the flip of a check mark that got through
            return;
        }
    }
    if (PreferenceOfCommand(id)) {
        TogglePreference(id);
    } else if (id >= cmd::kPosNormal && id <= cmd::kPosRestore) {
        SetStartupPlacement(id);
    } else if (id >= cmd::kFirstSlot && id <= cmd::kLastSlot) {
        SelectSlotCommand(id);
    } else {
        switch (id) {
            case cmd::kReadme:
                OpenReadme();
                break;
            case cmd::kExit:
            case cmd::kSplit:
            case cmd::kOpenFile:
            case cmd::kNextFile:
            case cmd::kPreviousFile:
                emit windowCommand(id);
                break;
            case cmd::kCorrectCut:
                ToggleSplitFlag(id);
                // Exact cutting re-encodes the tiles: their quality is asked.
                if (Settings().formatOptions.Get("OPTION", "CORRECT_CUT"))
                    OpenFormatOptionDialog(*FindFormatOption("JPEG", "QUALITY"));
                break;
            case cmd::kNegativeLine:
            case cmd::kAllBmp:
            case cmd::kAdjustAspect:
            case cmd::kNotOverwrite:
                ToggleSplitFlag(id);
                break;
            case cmd::kAspectWidth:
            case cmd::kAspectHeight:
                SetAspectBasis(id);
                break;
            case cmd::kSelectionMode:
                ToggleSelectionMode();
                break;
            case cmd::kSnapToGrid:
                SnapToGrid();
                break;
            case cmd::kCopyAll:
            case cmd::kCopyComments:
            case cmd::kCopyNone:
            case cmd::kCopyIcc:
                (void)SetFormatOption(Settings(), Paths(), *FindFormatOption("JPEG", "COPY"),
                                      id - cmd::kCopyAll, window_.GuiNotifier());
                SyncSplitChecks();
                Repaint();
                break;
            case cmd::kSplitSize:
                OpenSplitSizeDialog();
                break;
            case cmd::kNamingRule:
            case cmd::kSaveFolder:
            case cmd::kZoomRate:
            case cmd::kThreadCount:
                OpenSettingDialog(id);
                break;
            case cmd::kRenameSlot:
                OpenSlotRenameDialog();
                break;
            case cmd::kLoadSettings:
                LoadSettingsFile();
                break;
            case cmd::kSaveSettingsAs:
                SaveSettingsFileAs();
                break;
            case cmd::kAbout:
                ShowAbout();
                break;
            default:
                if (id >= cmd::kFirstTileFormat && id <= cmd::kLastTileFormat) {
                    SetTileFormatCommand(id);
                    break;
                }
                if (const size_t option = static_cast<size_t>(id - cmd::kFirstFormatOption);
                    id >= cmd::kFirstFormatOption && option < DeclaredFormatOptions().size())
                    OpenFormatOptionDialog(DeclaredFormatOptions()[option]);
                break;
        }
    }
    emit commandAccepted(id);
}

void ActionHandler::TogglePreference(int id) {
    const Preference preference = *PreferenceOfCommand(id);
    // The model flips it, and the check mark and the viewer follow the model.
    const bool on = !preferences_.On(preference);
    preferences_.Set(preference, on);
    if (id == cmd::kSameScale) window_.ApplyInitialZoom();
    // The new value stays even when the file keeps the old one.
    if (!WritePreference(Paths().mainSettingsPath, preference, on))
        ShowSettingsWriteFailed(Paths().mainSettingsPath);
}

void ActionHandler::SetStartupPlacement(int id) {
    const std::string& mainPath = Paths().mainSettingsPath;
    if (WriteWindowPosOnBoot(mainPath, id - cmd::kPosNormal)) {
        placement_ = WindowPosMenuValue(ReadWindowPosOnBoot(mainPath));
        Action(cmd::kPosNormal + placement_)->setChecked(true);
    } else {
        Action(cmd::kPosNormal + placement_)->setChecked(true);
        ShowSettingsWriteFailed(mainPath);
    }
}

void ActionHandler::SelectSlotCommand(int id) {
    (void)SelectSlot(Paths(), id - cmd::kFirstSlot, window_.GuiNotifier());
    LoadSplitSettings(Settings(), Paths());
    RefreshMenu();
    document_.FollowGrid();
}

void ActionHandler::ToggleSplitFlag(int id) {
    SplitSettings& settings = Settings();
    Notifier* notifier = window_.GuiNotifier();
    switch (id) {
        case cmd::kNegativeLine:
            settings.negativeLine = settings.negativeLine ? 0 : 1;
            SyncSplitChecks();
            Repaint();
            document_.SaveSettings();
            return;
        case cmd::kCorrectCut:
            (void)SetFormatOption(settings, Paths(), *FindFormatOption("OPTION", "CORRECT_CUT"),
                                  settings.formatOptions.Get("OPTION", "CORRECT_CUT") ? 0 : 1,
                                  notifier);
            break;
        case cmd::kAllBmp:
            (void)ToggleAllBmp(settings, Paths(), notifier);
            break;
        case cmd::kAdjustAspect: {
            (void)ToggleAdjustAspect(settings, Paths(), notifier);
            const CurrentImage& image = document_.Image();
            if (image.Shown() && MatchAspect(image.width, image.height, settings))
                document_.SaveSettings();
            document_.FollowGrid();
            break;
        }
        case cmd::kNotOverwrite:
            (void)ToggleNotOverwrite(settings, Paths(), notifier);
            break;
    }
    SyncSplitChecks();
    Repaint();
}

void ActionHandler::SetAspectBasis(int id) {
    Settings().aspectBaseWidth = id == cmd::kAspectWidth ? 1 : 0;
    SyncSplitChecks();
    document_.SaveSettings();
}

void ActionHandler::SetTileFormatCommand(int id) {
    const ImageFormat* format =
        FindImageFormat(static_cast<ImageFileKind>(id - cmd::kFirstTileFormat));
    (void)SetTileFormat(Settings(), Paths(), format ? AsciiLower(format->name) : "same",
                        window_.GuiNotifier());
    SyncSplitChecks();
    Repaint();
}

void ActionHandler::SnapToGrid() {
    // Only a JPEG on view cut losslessly has a grid to snap to.
    const CurrentImage& image = document_.Image();
    const BlockGrid block = LosslessBlockGrid(image, Settings());
    if (!document_.HasImage() || !block.Known()) return;
    if (!SnapToBlockGrid(image.width, image.height, block, Settings())) return;
    document_.SaveSettings();
    document_.FollowGrid();
    Repaint();
}

void ActionHandler::ToggleSelectionMode() {
    document_.SetSelectionMode(IsChecked(cmd::kSelectionMode));
    Action(cmd::kSelectionMode)->setChecked(document_.InSelectionMode());
}

void ActionHandler::OpenReadme() {
    // A failure shows no box in the window, only its line on stderr: there is
    // nothing the user could do about it here.
    OpenOnDesktop(ReadmePath());
}

void ActionHandler::ShowSettingsWriteFailed(const std::string& path) {
    window_.Messages().ShowError(&window_,
                                 Tessarin::tr("設定ファイルの書き込みに失敗しました\n\n%1")
                                     .arg(QString::fromStdString(path)));
}

}  // namespace tessarin
