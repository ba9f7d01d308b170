#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>

#include "settings/app_preferences.h"
#include "split/geometry.h"
#include "split/image_loader.h"
#include "ui/command_actions.h"
#include "ui/command_ids.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/image_loading.h"
#include "ui/image_pyramid.h"
#include "ui/message_presenter.h"
#include "ui/path_expansion.h"
#include "ui/preference_commands.h"
#include "ui/split_runner.h"
#include "ui/translation.h"
#include "ui/viewer_widget.h"
#include "ui/window_placement.h"

namespace tessarin {

namespace {

// The split item's two texts; the first is also its text in the command table.
const char* const kSplitText = QT_TRANSLATE_NOOP("Tessarin", "分割実行(&E)\tF3");
const char* const kStopText = QT_TRANSLATE_NOOP("Tessarin", "分割中止(&E)\tF3");

QString Tr(const char* text) { return QCoreApplication::translate("Tessarin", text); }

}  // namespace

MainWindow::MainWindow(SplitSettings& settings, SettingsPaths& paths)
    : settings_(settings),
      paths_(paths),
      messages_(std::make_unique<BoxPresenter>()),
      notifier_(this),
      loading_(std::make_unique<ImageLoading>()),
      runner_(std::make_unique<SplitRunner>()),
      expansion_(std::make_unique<PathExpansion>()) {
    setWindowTitle(QStringLiteral("Tessarin"));
    setAcceptDrops(true);
    actions_ = new CommandActions(this);
    connect(actions_, &CommandActions::commandTriggered, this, &MainWindow::OnCommand);

    view_ = new ViewerWidget(this);
    setCentralWidget(view_);
    view_->Bind({&settings_, &paths_, &image_, &selection_, &imageInfoLine_,
                 [this](int id) { return IsChecked(id); }, [this] { return splitRunning_; }});
    connect(view_, &ViewerWidget::rightPressed, this, &MainWindow::OnRightPressed);
    connect(view_, &ViewerWidget::rightReleased, this, &MainWindow::OnRightReleased);
    connect(view_, &ViewerWidget::splitSettingsEdited, this, &MainWindow::SaveSettings);
    connect(loading_.get(), &ImageLoading::finished, this, &MainWindow::CommitLoad);
    connect(runner_.get(), &SplitRunner::fileStarted, this, &MainWindow::OnBatchFileStarted);
    connect(runner_.get(), &SplitRunner::imageLoaded, this, &MainWindow::ShowLoadedImage);
    connect(runner_.get(), &SplitRunner::fileFinished, this, &MainWindow::OnBatchFileFinished);
    connect(runner_.get(), &SplitRunner::batchFinished, this, &MainWindow::OnBatchFinished);
    connect(runner_.get(), &SplitRunner::singleFinished, this, &MainWindow::OnSingleFinished);
    // Tile progress is read at most 20 times a second, whatever the workers' pace.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, &MainWindow::OnProgressTick);

    // Split and selection mode need an image.
    Action(cmd::kSplit)->setEnabled(false);
    Action(cmd::kSelectionMode)->setEnabled(false);
    RefreshMenu();
    ApplyInitialZoom();
}

MainWindow::~MainWindow() {
    // The split, loading and listing threads report through this window:
    // they end first (a batch after the file in hand).
    runner_.reset();
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
    Action(cmd::kSelectionMode)->setChecked(selection_.IsActive());
}

void MainWindow::EnterSplitState() {
    splitRunning_ = true;
    Action(cmd::kSplit)->setText(Tr(kStopText));
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id)
        if (cmd::IsGatedWhileSplitting(id)) Action(id)->setEnabled(false);
}

void MainWindow::RestoreIdleState() {
    Action(cmd::kSplit)->setText(Tr(kSplitText));
    for (int id = cmd::kFirst; id <= cmd::kLast; ++id)
        if (cmd::IsGatedWhileSplitting(id)) Action(id)->setEnabled(true);
    // Selection mode without an image would be a mode with nothing to select.
    Action(cmd::kSelectionMode)->setEnabled(image_.raster != nullptr);
    splitRunning_ = false;
}

void MainWindow::OpenForViewing(const std::string& path) {
    if (splitRunning_) return;
    EnterSplitState();
    stopRequested_ = false;
    if (!loading_->Start(path, &notifier_)) {
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
    }
}

void MainWindow::CommitLoad(const std::shared_ptr<LoadOutcome>& outcome) {
    if (!outcome->ok) {
        notifier_.ShowError(outcome->error);
        RestoreIdleState();
        emit loadFinished(false);
        return;
    }
    ShowLoadedImage(outcome);
    RestoreIdleState();
    emit loadFinished(true);
}

void MainWindow::ShowLoadedImage(const std::shared_ptr<LoadOutcome>& outcome) {
    // Aspect matching runs with the commit; the window saves what it derived.
    const bool matchesAspect = settings_.adjustAspect == 1;
    CommitImage(image_, std::move(outcome->image), settings_);
    if (matchesAspect) SaveSettings();
    setWindowTitle(ImageTitle());
    imageInfoLine_ = Tessarin::tr("【 画 像 情 報 】%1x%2(%3bpp)")
                         .arg(image_.width)
                         .arg(image_.height)
                         .arg(image_.displayDepth)
                         .toStdString();
    Action(cmd::kSplit)->setEnabled(true);
    if (!splitRunning_) Action(cmd::kSelectionMode)->setEnabled(true);
    const TileGrid grid = ComputeGridCounts(image_.width, image_.height, settings_);
    selection_.ResizeSelectionMap(grid.columns, grid.rows);
    view_->SetImage(std::move(outcome->pyramid));
    ApplyInitialZoom();
}

QString MainWindow::ImageTitle() const {
    return QStringLiteral("Tessarin - ") + QString::fromStdString(image_.path);
}

void MainWindow::ApplyInitialZoom() { view_->ApplyInitialZoom(); }

const ViewZoom& MainWindow::Zoom() const { return view_->Zoom(); }

void MainWindow::Repaint() { view_->update(); }

bool MainWindow::SaveSettings() { return SaveSplitSettings(settings_, paths_, &notifier_); }

void MainWindow::ShowSettingsWriteFailed(const std::string& path) {
    messages_->ShowError(this, Tessarin::tr("設定ファイルの書き込みに失敗しました\n\n%1")
                                   .arg(QString::fromStdString(path)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Write failures here go unreported: the window is going away.
    if (ReadWindowPosOnBoot(paths_.mainSettingsPath) == kWindowPosRestore)
        (void)SaveWindowState(paths_.mainSettingsPath, CaptureWindowState(*this));
    if (runner_->Busy()) {
        // The window goes at once and takes the program's event loop with
        // it; the split ends on its own (a batch after the file in hand) and
        // is waited for as the window is destroyed, so every tile is whole.
        closePending_ = true;
        RequestStop();
        if (progress_) progress_->hide();
    }
    event->accept();
}

}  // namespace tessarin
