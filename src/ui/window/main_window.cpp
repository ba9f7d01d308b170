#include "ui/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>
#include <utility>

#include "settings/app_preferences.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/document/image_loading.h"
#include "ui/translation.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_actions.h"
#include "ui/window/command_ids.h"
#include "ui/window/path_expansion.h"
#include "ui/window/preference_commands.h"
#include "ui/window/window_placement.h"

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

MainWindow::MainWindow(SplitSettings& settings, SettingsPaths& paths)
    : settings_(settings),
      paths_(paths),
      messages_(std::make_unique<BoxPresenter>()),
      notifier_(this),
      document_(std::make_unique<ImageDocument>(settings, paths, &notifier_)),
      loading_(std::make_unique<ImageLoading>()),
      controller_(std::make_unique<SplitController>()),
      expansion_(std::make_unique<PathExpansion>()) {
    setWindowTitle(QStringLiteral("Tessarin"));
    setAcceptDrops(true);
    actions_ = new CommandActions(this);
    connect(actions_, &CommandActions::commandTriggered, this, &MainWindow::OnCommand);

    view_ = new ViewerWidget(this);
    setCentralWidget(view_);
    view_->Bind({&settings_, &paths_, &document_->Image(), &document_->Selection(),
                 &document_->InfoLine(), [this](int id) { return IsChecked(id); },
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

    // Split and selection mode need an image.
    Action(cmd::kSplit)->setEnabled(false);
    Action(cmd::kSelectionMode)->setEnabled(false);
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

bool MainWindow::IsChecked(int id) const {
    QAction* action = Action(id);
    return action && action->isChecked();
}

QMenu* MainWindow::PopupMenu() const { return actions_->SplitMenu(); }

void MainWindow::SetMessagePresenter(std::unique_ptr<MessagePresenter> presenter) {
    messages_ = std::move(presenter);
}

void MainWindow::RefreshMenu() {
    SyncSplitChecks();
    placement_ = WindowPosMenuValue(ReadWindowPosOnBoot(paths_.mainSettingsPath));
    Action(cmd::kPosNormal + placement_)->setChecked(true);

    ProfileDocument mainFile;
    ReadProfileFile(paths_.mainSettingsPath, mainFile);
    for (const PreferenceCommand& entry : kPreferenceCommands)
        Action(entry.command)->setChecked(ReadPreference(mainFile, entry.preference));

    for (int slot = 0; slot <= cmd::kLastSlot - cmd::kFirstSlot; ++slot) {
        const QString name = SlotTitle(SlotName(paths_, slot), slot);
        Action(cmd::kFirstSlot + slot)->setText(QStringLiteral("%1(&%2)").arg(name).arg(slot));
    }
}

void MainWindow::SyncSplitChecks() {
    Action(cmd::kAdjustAspect)->setChecked(settings_.adjustAspect != 0);
    Action(settings_.aspectBaseWidth ? cmd::kAspectWidth : cmd::kAspectHeight)->setChecked(true);
    Action(cmd::kAllBmp)->setChecked(settings_.allBmp != 0);
    Action(cmd::kCorrectCut)->setChecked(settings_.correctCut != 0);
    Action(cmd::kNotOverwrite)->setChecked(settings_.notOverwrite != 0);
    Action(cmd::kNegativeLine)->setChecked(settings_.negativeLine != 0);
    Action(cmd::kFirstSlot + paths_.currentSlot)->setChecked(true);
    Action(cmd::kSelectionMode)->setChecked(document_->InSelectionMode());
    Action(cmd::kCopyAll + static_cast<int>(settings_.jpegCopy))->setChecked(true);
}

void MainWindow::ShowBusy(bool busy) {
    Action(cmd::kSplit)->setText(Tr(busy ? kStopText : kSplitText));
    const bool loading = busy && LoadInHand();
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id)
        if (cmd::IsGatedWhileSplitting(id))
            Action(id)->setEnabled(!busy || (loading && OpensAnotherFile(id)));
    // Selection mode without an image would be a mode with nothing to select.
    if (!busy) Action(cmd::kSelectionMode)->setEnabled(document_->HasImage());
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
    const bool shown = document_->HasImage();
    setWindowTitle(shown ? document_->Title() : QStringLiteral("Tessarin"));
    Action(cmd::kSplit)->setEnabled(shown);
    if (!controller_->Busy()) Action(cmd::kSelectionMode)->setEnabled(shown);
}

void MainWindow::ApplyInitialZoom() { view_->ApplyInitialZoom(); }

const ViewZoom& MainWindow::Zoom() const { return view_->Zoom(); }

void MainWindow::Repaint() { view_->update(); }

void MainWindow::ShowSettingsWriteFailed(const std::string& path) {
    messages_->ShowError(this, Tessarin::tr("設定ファイルの書き込みに失敗しました\n\n%1")
                                   .arg(QString::fromStdString(path)));
}

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
