// Splitting from the window: F3 splits the image on view, and the files of
// an open request are opened for viewing or split one after another as a
// batch with a progress dialog and a result list. The questions are asked
// here on the GUI thread before any thread starts; the split controller
// reports back by signals, so only this thread touches widgets.

#include "split/formats.h"
#include "split/path_list.h"
#include "split/split_checks.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/preferences_model.h"
#include "ui/translation.h"
#include "ui/window/main_window.h"

namespace tessarin {

void MainWindow::StartSplit() {
    if (!document_->HasImage()) return;
    EnterSplitState();
    PresenterAsker asker(*messages_, this);
    if (!splitStarter_) {
        if (!CheckSplitReady(settings_, asker)) {
            RestoreIdleState();
            return;
        }
        const CurrentImage& image = document_->Image();
        if (CutsOnBlockGrid(image.path) &&
            !CheckJpegLosslessAlignment(settings_, asker,
                                        BlockGrid{image.blockWidth, image.blockHeight})) {
            RestoreIdleState();
            return;
        }
    }
    const bool started = splitStarter_ ? splitStarter_()
                                       : controller_->StartSingle(document_->Image(), settings_,
                                                                  document_->SelectionSnapshot());
    if (!started) {
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
    }
}

void MainWindow::StartOpenRequest(std::vector<std::string> paths) {
    if (LoadInHand()) {
        StopLoad([this, paths] { StartOpenRequest(paths); });
        return;
    }
    if (controller_->Busy()) return;
    controller_->ClearStopRequest();
    if (paths.empty()) return;
    if (paths.size() > 1 || preferences_->On(Preference::AutoCut)) {
        EnterSplitState();
        PresenterAsker asker(*messages_, this);
        if (CheckSplitReady(settings_, asker)) {
            StartBatch(std::move(paths));
            return;
        }
        RestoreIdleState();
    }
    OpenForViewing(paths.front());
}

void MainWindow::StartBatch(std::vector<std::string> paths) {
    BatchOptions options;
    options.owner = &notifier_;
    PresenterAsker asker(*messages_, this);
    options.skipBlockGrid = !CheckJpegLosslessAlignmentOfList(paths, settings_, asker);
    options.selection = document_->SelectionSnapshot();

    // The dialog is made here, before the batch starts, so the batch never
    // waits for it.
    progress_ = std::make_unique<ProgressDialog>();
    connect(progress_.get(), &ProgressDialog::stopClicked, controller_.get(),
            &SplitController::RequestStop);
    progress_->ShowFile(0, static_cast<int>(paths.size()));
    if (!controller_->StartBatch(std::move(paths), settings_, std::move(options))) {
        progress_.reset();
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
        return;
    }
    progress_->show();
}

void MainWindow::ShowTilesInTitle(int64_t done, int64_t total) {
    setWindowTitle(Tessarin::tr("%1% (%2 / %3 タイル) - %4")
                       .arg(done * 100 / total)
                       .arg(done)
                       .arg(total)
                       .arg(document_->Title()));
}

void MainWindow::ShowReadInTitle(int64_t done, int64_t total) {
    setWindowTitle(
        Tessarin::tr("%1% 読み込み中 - %2").arg(done * 100 / total).arg(document_->Title()));
}

void MainWindow::ShowSplitReport(const SplitReport& report) {
    progress_.reset();
    if (report.single) setWindowTitle(document_->Title());
    // Closed while the split ran: its end is reported to nobody.
    if (!closePending_) {
        if (report.kind == SplitReport::Kind::List)
            messages_->ShowResultList(this, report.text, report.stopped, report.outputFolder);
        else if (report.kind == SplitReport::Kind::Message)
            messages_->ShowResult(this, report.text, report.outputFolder);
    }
    RestoreIdleState();
    closePending_ = false;
    emit splitFinished();
}

}  // namespace tessarin
