#pragma once
// The program's one top-level window: the image view under the menu bar, the
// window's state and events, the split-running state that greys the commands
// changing the image or the settings, and the image on view. The menu
// commands are the action handler's; the window runs those that open files,
// split or close it.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/split_settings.h"
#include "split/batch_runner.h"
#include "split/path_list.h"
#include "ui/dialogs/open_file_dialog.h"
#include "ui/document/image_document.h"
#include "ui/document/split_controller.h"
#include "ui/view/right_button.h"
#include "ui/view/view_zoom.h"
#include "ui/window/window_notifier.h"

class QAction;
class QMenu;

namespace tessarin {

class ActionHandler;
class ImageLoading;
class ImagePyramid;
class ProgressDialog;
class ViewerWidget;
class MessagePresenter;
class PathExpansion;
class PreferencesModel;
struct LoadOutcome;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // `settings` and `paths` are the process's split settings and settings
    // files; the window changes them through its commands.
    MainWindow(SplitSettings& settings, SettingsPaths& paths);
    ~MainWindow() override;

    QAction* Action(int id) const;
    bool IsChecked(int id) const;
    QMenu* PopupMenu() const;
    ViewerWidget* View() const { return view_; }

    // Reads the settings files into the preferences, every check mark and
    // the slot texts.
    void RefreshMenu();
    // The OPTION and VIEW flags as they are now.
    PreferencesModel& Preferences() const { return *preferences_; }

    // Busy state, entered by whoever starts a split or an open request and
    // left when it ends: the commands that would change the image or the
    // settings are greyed and ignored, and F3 asks the split to stop.
    SplitController& Splits() const { return *controller_; }
    ImageLoading& Loading() const { return *loading_; }
    bool IsSplitRunning() const { return controller_->Busy(); }
    bool IsStopRequested() const { return controller_->StopRequested(); }
    void ClearStopRequest() { controller_->ClearStopRequest(); }
    void EnterSplitState() { controller_->Enter(); }
    void RestoreIdleState() { controller_->Leave(); }
    // Replaces the split of the image on view that F3 starts (after the
    // checks); returns false when it could not be started.
    void SetSplitStarter(std::function<bool()> starter) { splitStarter_ = std::move(starter); }
    // The split and batch runner (tests hold a batch at a file through it).
    SplitRunner& Runner() const { return controller_->Runner(); }
    // The progress dialog of the batch that runs, or null.
    ProgressDialog* Progress() const { return progress_.get(); }
    // Where the tiles of the latest split went; the result dialogs open it.
    const std::string& LastOutputFolder() const { return controller_->LastOutputFolder(); }

    // Loads `path` for viewing on a thread of its own; the window stays busy
    // until the image is on view, or the loader's message has been shown and
    // the previous image kept.
    void OpenForViewing(const std::string& path);
    // A load for viewing runs: F3 stops it, and opening another file (the
    // open dialog, next and previous file, a drop) stops it and then opens
    // that file.
    bool LoadInHand() const;
    // Hands the files chosen in the open dialog, dropped on the window or
    // stepped to with next and previous to the open thread: one file is
    // opened for viewing, several (or one with AUTO_CUT checked) are split
    // as a batch. Ignored while busy; clears the stop request. The paths are
    // files: dropped folders have been listed off the GUI thread already.
    void StartOpenRequest(std::vector<std::string> paths);
    // The image on view, its settings and selection.
    ImageDocument& Document() const { return *document_; }
    const CurrentImage& Image() const { return document_->Image(); }
    const std::string& ImageInfoLine() const { return document_->InfoLine(); }
    bool InSelectionMode() const { return document_->InSelectionMode(); }
    const SelectionMap& Selection() const { return document_->Selection(); }

    const ViewZoom& Zoom() const;
    // The zoom a newly shown image gets in the current client area.
    void ApplyInitialZoom();

    // Replaces the open dialog (tests answer it).
    void SetOpenFileAsker(OpenFileAsker asker) { openFileAsker_ = std::move(asker); }
    // Receives the lists of the open dialog, drops and next or previous file
    // in place of StartOpenRequest (tests record them).
    void SetOpenRequestSink(std::function<void(std::vector<std::string>)> sink) {
        openRequestSink_ = std::move(sink);
    }

    // Replaces the message boxes (tests answer them).
    void SetMessagePresenter(std::unique_ptr<MessagePresenter> presenter);
    MessagePresenter& Messages() const { return *messages_; }
    Notifier* GuiNotifier() { return &notifier_; }

  signals:
    // A command whose work is done elsewhere was accepted (dialogs, opening
    // and stepping files, starting a split).
    void commandAccepted(int id);
    // A load started by OpenForViewing has ended, made current or not.
    void loadFinished(bool ok);
    // A split or batch has ended and its result has been shown.
    void splitFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Takes the keyboard focus back when one of the program's other windows
    // (a dialog, a message box) goes away: without a window manager nobody
    // else gives it back.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // A menu command the window carries out itself: opening a file,
    // stepping to the next or previous one, splitting (or, while busy,
    // stopping the load or split in hand) and closing.
    void RunWindowCommand(int id);

    // main_window_files.cpp: the open dialog, drops, next and previous file
    void OpenFileCommand();
    void StepFile(StepDirection direction);
    void DropExpanded(std::vector<std::string> paths);
    // Lists the dropped folders off the GUI thread, then opens what they hold.
    void StartDrop(std::vector<std::string> paths);
    // Stops the load in hand; `next` runs once it has ended (null: nothing).
    void StopLoad(std::function<void()> next);
    void RequestOpen(std::vector<std::string> paths);

    // main_window_mouse.cpp
    void OnRightGesture(RightRelease meaning, QPoint globalPos);

    // main_window_split.cpp: the single split, the batch and their reports
    void StartSplit();
    void StartBatch(std::vector<std::string> paths);
    // Busy: the split item becomes the stop item and the gated commands grey.
    void ShowBusy(bool busy);
    void ShowTilesInTitle(int64_t done, int64_t total);
    void ShowReadInTitle(int64_t done, int64_t total);
    void ShowSplitReport(const SplitReport& report);

    // A picture of the image in hand, shown before its load is done.
    void ShowPreview(const std::shared_ptr<LoadOutcome>& outcome);
    void CommitLoad(const std::shared_ptr<LoadOutcome>& outcome);
    // Makes a loaded image current and shows it.
    void ShowLoadedImage(const std::shared_ptr<LoadOutcome>& outcome);
    // The document has a new image: its title.
    void FollowImage();
    void Repaint();

    SplitSettings& settings_;
    SettingsPaths& paths_;
    ViewerWidget* view_ = nullptr;
    std::unique_ptr<MessagePresenter> messages_;
    WindowNotifier notifier_;
    std::unique_ptr<ImageDocument> document_;
    std::unique_ptr<PreferencesModel> preferences_;
    ActionHandler* actions_ = nullptr;
    std::unique_ptr<ImageLoading> loading_;
    // What was on view before the picture of a load in hand was shown: a
    // load that then fails puts it back.
    struct ShownBefore {
        CurrentImage image;
        std::shared_ptr<const ImagePyramid> pyramid;
        SplitSettings settings;  // as they were before aspect matching met the new image
    };
    std::unique_ptr<ShownBefore> shownBefore_;
    // What runs once the load in hand, stopped for it, has ended.
    std::function<void()> afterLoad_;
    std::unique_ptr<SplitController> controller_;
    std::unique_ptr<ProgressDialog> progress_;
    // Closed while a split ran: its end is reported to nobody.
    bool closePending_ = false;
    std::unique_ptr<PathExpansion> expansion_;
    OpenFileAsker openFileAsker_ = AskOpenFiles;
    std::function<void(std::vector<std::string>)> openRequestSink_;
    int openFilterIndex_ = 0;  // the open dialog's filter, kept for the run

    std::function<bool()> splitStarter_;
};

}  // namespace tessarin
