#include "ui/window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <utility>

#include "settings/app_preferences.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/document/image_loading.h"
#include "ui/preferences_model.h"
#include "ui/translation.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/action_handler.h"
#include "ui/window/command_ids.h"
#include "ui/window/path_expansion.h"
#include "ui/window/window_placement.h"

namespace tessarin {

MainWindow::MainWindow(SplitSettings& settings, SettingsPaths& paths)
    : settings_(settings),
      paths_(paths),
      messages_(std::make_unique<BoxPresenter>()),
      notifier_(this),
      document_(std::make_unique<ImageDocument>(settings, paths, &notifier_)),
      preferences_(std::make_unique<PreferencesModel>()),
      loading_(std::make_unique<ImageLoading>()),
      controller_(std::make_unique<SplitController>()),
      expansion_(std::make_unique<PathExpansion>()) {
    setWindowTitle(QStringLiteral("Tessarin"));
    setAcceptDrops(true);
    actions_ = new ActionHandler(*this, *document_, *preferences_);
    connect(actions_, &ActionHandler::commandAccepted, this, &MainWindow::commandAccepted);
    connect(actions_, &ActionHandler::windowCommand, this, &MainWindow::RunWindowCommand);

    view_ = new ViewerWidget(this);
    setCentralWidget(view_);
    view_->Bind({&settings_, &paths_, &document_->Image(), &document_->Selection(),
                 &document_->InfoLine(), preferences_.get(),
                 [this] { return controller_->Busy(); }});
    connect(view_, &ViewerWidget::rightGesture, this, &MainWindow::OnRightGesture);
    connect(view_, &ViewerWidget::splitSettingsEdited, document_.get(),
            &ImageDocument::SaveSettings);
    connect(document_.get(), &ImageDocument::imageChanged, this, &MainWindow::FollowImage);
    connect(document_.get(), &ImageDocument::selectionChanged, this, &MainWindow::Repaint);
    connect(loading_.get(), &ImageLoading::previewed, this, &MainWindow::ShowPreview);
    connect(loading_.get(), &ImageLoading::filled, this,
            [this] { view_->ReplacePicture(view_->Picture()); });
    connect(loading_.get(), &ImageLoading::finished, this, &MainWindow::CommitLoad);
    SplitController* splits = controller_.get();
    connect(splits, &SplitController::busyChanged, this, &MainWindow::ShowBusy);
    connect(splits, &SplitController::imageLoaded, this, &MainWindow::ShowLoadedImage);
    connect(splits, &SplitController::fileStarted, this, [this](int index, int count) {
        if (progress_) progress_->ShowFile(index, count);
    });
    connect(splits, &SplitController::fileFinished, this, [this] {
        if (progress_) progress_->StepFile();
    });
    connect(splits, &SplitController::batchTiles, this, [this](int64_t done, int64_t total) {
        if (progress_) progress_->ShowTiles(done, total);
    });
    connect(splits, &SplitController::singleTiles, this, &MainWindow::ShowTilesInTitle);
    connect(splits, &SplitController::singleRead, this, &MainWindow::ShowReadInTitle);
    connect(splits, &SplitController::splitEnded, this, &MainWindow::ShowSplitReport);

    RefreshMenu();
    ApplyInitialZoom();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    // The split, loading and listing threads report through this window:
    // they end first (a batch after the file in hand).
    controller_.reset();
    loading_.reset();
    expansion_.reset();
}

QAction* MainWindow::Action(int id) const { return actions_->Action(id); }

bool MainWindow::IsChecked(int id) const { return actions_->IsChecked(id); }

QMenu* MainWindow::PopupMenu() const { return actions_->PopupMenu(); }

void MainWindow::SetMessagePresenter(std::unique_ptr<MessagePresenter> presenter) {
    messages_ = std::move(presenter);
}

void MainWindow::RefreshMenu() { actions_->RefreshMenu(); }

void MainWindow::ShowBusy(bool busy) { actions_->ShowBusy(busy, busy && LoadInHand()); }

void MainWindow::RunWindowCommand(int id) {
    switch (id) {
        case cmd::kOpenFile:
            OpenFileCommand();
            break;
        case cmd::kNextFile:
            StepFile(StepDirection::Next);
            break;
        case cmd::kPreviousFile:
            StepFile(StepDirection::Previous);
            break;
        case cmd::kExit:
            close();
            break;
        case cmd::kSplit:
            if (!controller_->Busy())
                StartSplit();
            else if (LoadInHand())
                StopLoad(nullptr);
            else
                controller_->RequestStop();
            break;
        default:
            break;
    }
}

void MainWindow::OpenForViewing(const std::string& path) {
    if (controller_->Busy()) return;
    EnterSplitState();
    controller_->ClearStopRequest();
    if (!loading_->Start(path, &notifier_)) {
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
        return;
    }
    ShowBusy(true);  // now a load: the commands opening another file stay
}

bool MainWindow::LoadInHand() const { return loading_ && loading_->Busy(); }

void MainWindow::StopLoad(std::function<void()> next) {
    afterLoad_ = std::move(next);
    loading_->Stop();
}

void MainWindow::ShowPreview(const std::shared_ptr<LoadOutcome>& outcome) {
    if (!shownBefore_)
        shownBefore_ = std::make_unique<ShownBefore>(ShownBefore{
            document_->Image(), document_->HasImage() ? view_->Picture() : nullptr, settings_});
    ShowLoadedImage(outcome);
}

void MainWindow::CommitLoad(const std::shared_ptr<LoadOutcome>& outcome) {
    std::unique_ptr<ShownBefore> before = std::move(shownBefore_);
    if (!outcome->ok) {
        // A picture shown meanwhile goes: the image before the load stays.
        if (before) {
            // Aspect matching met the new image: its settings go back too.
            const bool matched = settings_.adjustAspect == 1;
            settings_ = before->settings;
            if (matched) document_->SaveSettings();
            document_->Restore(std::move(before->image));
            view_->SetImage(std::move(before->pyramid));
            ApplyInitialZoom();
        }
        if (!outcome->error.empty()) notifier_.ShowError(outcome->error);
        RestoreIdleState();
        emit loadFinished(false);
    } else {
        if (before) {
            // The image is current since its picture came: only what it is
            // drawn and cut from is new, and the zoom stays.
            document_->Complete(std::move(outcome->image));
            view_->ReplacePicture(std::move(outcome->pyramid));
        } else {
            ShowLoadedImage(outcome);
        }
        RestoreIdleState();
        emit loadFinished(true);
    }
    // The file asked for while this load ran.
    if (std::function<void()> next = std::exchange(afterLoad_, nullptr)) next();
}

void MainWindow::ShowLoadedImage(const std::shared_ptr<LoadOutcome>& outcome) {
    document_->Commit(std::move(outcome->image));
    view_->SetImage(std::move(outcome->pyramid));
    ApplyInitialZoom();
}

void MainWindow::FollowImage() {
    setWindowTitle(document_->HasImage() ? document_->Title() : QStringLiteral("Tessarin"));
}

void MainWindow::ApplyInitialZoom() { view_->ApplyInitialZoom(); }

const ViewZoom& MainWindow::Zoom() const { return view_->Zoom(); }

void MainWindow::Repaint() { view_->update(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // Write failures here go unreported: the window is going away.
    if (ReadWindowPosOnBoot(paths_.mainSettingsPath) == kWindowPosRestore)
        (void)SaveWindowState(paths_.mainSettingsPath, CaptureWindowState(*this));
    // A load in hand ends at once: the program does not wait for it.
    if (LoadInHand()) StopLoad(nullptr);
    if (controller_->Splitting()) {
        // The window goes at once and takes the program's event loop with
        // it; the split ends on its own (a batch after the file in hand) and
        // is waited for as the window is destroyed, so every tile is whole.
        closePending_ = true;
        controller_->RequestStop();
        if (progress_) progress_->hide();
    }
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched != this && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && isVisible()) {
        // Once the closing window is gone, unless another one took over.
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !QApplication::activeModalWidget() &&
                !QApplication::activePopupWidget() && !isActiveWindow())
                activateWindow();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tessarin
