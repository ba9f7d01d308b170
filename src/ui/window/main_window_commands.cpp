// The command table: every menu command and accelerator arrives here.

#include <QAction>
#include <filesystem>

#include "settings/app_preferences.h"
#include "split/block_grid.h"
#include "split/geometry.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "ui/window/desktop_opener.h"
#include "ui/window/main_window.h"
#include "ui/window/preference_commands.h"
#include "ui/window/readme_location.h"

namespace tessarin {

void MainWindow::OnCommand(int id) {
    const bool opensAnother =
        id == cmd::kOpenFile || id == cmd::kNextFile || id == cmd::kPreviousFile;
    if (controller_->Busy() && !(opensAnother && LoadInHand())) {
        if (id == cmd::kSplit && LoadInHand()) {
            StopLoad(nullptr);
            return;
        }
        if (cmd::IsGatedWhileSplitting(id)) {
            SyncSplitChecks();  // undo the flip of a check mark that got through
            return;
        }
        if (id == cmd::kSplit) {
            controller_->RequestStop();
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
                close();
                break;
            case cmd::kSplit:
                StartOrStopSplit();
                break;
            case cmd::kCorrectCut:
                ToggleSplitFlag(id);
                if (settings_.correctCut) OpenSettingDialog(id);
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
                (void)SetJpegCopy(settings_, paths_, static_cast<JpegCopy>(id - cmd::kCopyAll),
                                  &notifier_);
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
            case cmd::kOpenFile:
                OpenFileCommand();
                break;
            case cmd::kNextFile:
                StepFile(StepDirection::Next);
                break;
            case cmd::kPreviousFile:
                StepFile(StepDirection::Previous);
                break;
            default:
                break;
        }
    }
    emit commandAccepted(id);
}

void MainWindow::TogglePreference(int id) {
    const Preference preference = *PreferenceOfCommand(id);
    const bool on = IsChecked(id);
    if (id == cmd::kSameScale) ApplyInitialZoom();
    if (std::string_view(KeyOf(preference).section) == "VIEW") Repaint();
    // The check mark stays as the user set it even when the file keeps the old value.
    if (!WritePreference(paths_.mainSettingsPath, preference, on))
        ShowSettingsWriteFailed(paths_.mainSettingsPath);
}

void MainWindow::SetStartupPlacement(int id) {
    if (WriteWindowPosOnBoot(paths_.mainSettingsPath, id - cmd::kPosNormal)) {
        placement_ = WindowPosMenuValue(ReadWindowPosOnBoot(paths_.mainSettingsPath));
        Action(cmd::kPosNormal + placement_)->setChecked(true);
    } else {
        Action(cmd::kPosNormal + placement_)->setChecked(true);
        ShowSettingsWriteFailed(paths_.mainSettingsPath);
    }
}

void MainWindow::SelectSlotCommand(int id) {
    (void)SelectSlot(paths_, id - cmd::kFirstSlot, &notifier_);
    LoadSplitSettings(settings_, paths_);
    RefreshMenu();
    document_->FollowGrid();
}

void MainWindow::ToggleSplitFlag(int id) {
    switch (id) {
        case cmd::kNegativeLine:
            settings_.negativeLine = settings_.negativeLine ? 0 : 1;
            SyncSplitChecks();
            Repaint();
            document_->SaveSettings();
            return;
        case cmd::kCorrectCut:
            (void)ToggleCorrectCut(settings_, paths_, &notifier_);
            break;
        case cmd::kAllBmp:
            (void)ToggleAllBmp(settings_, paths_, &notifier_);
            break;
        case cmd::kAdjustAspect: {
            (void)ToggleAdjustAspect(settings_, paths_, &notifier_);
            const CurrentImage& image = document_->Image();
            if (image.Shown() && MatchAspect(image.width, image.height, settings_))
                document_->SaveSettings();
            document_->FollowGrid();
            break;
        }
        case cmd::kNotOverwrite:
            (void)ToggleNotOverwrite(settings_, paths_, &notifier_);
            break;
    }
    SyncSplitChecks();
    Repaint();
}

void MainWindow::SetAspectBasis(int id) {
    settings_.aspectBaseWidth = id == cmd::kAspectWidth ? 1 : 0;
    SyncSplitChecks();
    document_->SaveSettings();
}

void MainWindow::SnapToGrid() {
    // Only a JPEG on view cut losslessly has a grid to snap to.
    const CurrentImage& image = document_->Image();
    const BlockGrid block = LosslessBlockGrid(image, settings_);
    if (!document_->HasImage() || !block.Known()) return;
    if (!SnapToBlockGrid(image.width, image.height, block, settings_)) return;
    document_->SaveSettings();
    document_->FollowGrid();
    Repaint();
}

void MainWindow::ToggleSelectionMode() {
    document_->SetSelectionMode(IsChecked(cmd::kSelectionMode));
    Action(cmd::kSelectionMode)->setChecked(document_->InSelectionMode());
}

void MainWindow::OpenReadme() {
    // A failure shows no box in the window, only its line on stderr: there is
    // nothing the user could do about it here.
    OpenOnDesktop(ReadmePath());
}

}  // namespace tessarin
