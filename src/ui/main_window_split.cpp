// Splitting from the window: F3 splits the image on view, and the files of
// an open request are opened for viewing or split one after another as a
// batch with a progress dialog and a result list. The questions are asked
// here on the GUI thread before any thread starts; the runner reports back
// by signals, so only this thread touches widgets.

#include <QAction>
#include <QTimer>

#include "split/formats.h"
#include "split/path_list.h"
#include "split/split_checks.h"
#include "ui/command_ids.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/main_window.h"
#include "ui/message_presenter.h"
#include "ui/split_runner.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

// A single split longer than this shows its tiles in the title.
constexpr qint64 kQuietSplitMs = 500;

}  // namespace

void MainWindow::RequestStop() {
    stopRequested_ = true;
    runner_->RequestStop();
}

void MainWindow::StartOrStopSplit() {
    if (!document_->HasImage()) return;
    EnterSplitState();
    PresenterAsker asker(*messages_, this);
    if (!splitStarter_) {
        if (!CheckSplitReady(settings_, asker)) {
            RestoreIdleState();
            return;
        }
        if (ClassifyImageFile(document_->Image().path) == ImageFileKind::Jpeg &&
            !CheckJpegLosslessAlignment(settings_, asker)) {
            RestoreIdleState();
            return;
        }
    }
    if (!(splitStarter_ ? splitStarter_() : StartSingleSplit())) {
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
    }
}

bool MainWindow::StartSingleSplit() {
    SplitJob job;
    job.image = document_->Image();
    job.settings = settings_;
    job.selection = document_->SelectionSnapshot();
    if (!runner_->StartSingle(std::move(job))) return false;
    splitClock_.start();
    progressTimer_->start();
    return true;
}

void MainWindow::StartOpenRequest(std::vector<std::string> paths) {
    if (splitRunning_) return;
    stopRequested_ = false;
    if (paths.empty()) return;
    if (paths.size() > 1 || IsChecked(cmd::kAutoCut)) {
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
    options.skipJpeg = !CheckJpegLosslessAlignmentOfList(paths, settings_, asker);
    options.selection = document_->SelectionSnapshot();

    // The dialog is made here, before the batch starts, so the batch never
    // waits for it.
    progress_ = std::make_unique<ProgressDialog>();
    connect(progress_.get(), &ProgressDialog::stopClicked, this, &MainWindow::RequestStop);
    batchCount_ = static_cast<int>(paths.size());
    resultLog_.clear();
    lastOutcome_ = FileOutcome::Succeeded;
    progress_->ShowFile(0, batchCount_);
    if (!runner_->StartBatch(std::move(paths), settings_, options)) {
        progress_.reset();
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
        return;
    }
    progress_->show();
    progressTimer_->start();
}

void MainWindow::OnBatchFileStarted(int index, int count) {
    if (progress_) progress_->ShowFile(index, count);
}

void MainWindow::OnBatchFileFinished(int, FileOutcome outcome, const QString& line,
                                     const QString& outputFolder) {
    resultLog_ += line + QLatin1Char('\n');
    lastOutcome_ = outcome;
    if (!outputFolder.isEmpty()) lastOutputFolder_ = outputFolder.toStdString();
    if (progress_) progress_->StepFile();
}

void MainWindow::OnBatchFinished(const BatchResult& batch) {
    // No progress may reach the title while the result is on screen.
    progressTimer_->stop();
    progress_.reset();
    if (!closePending_) {
        if (batchCount_ >= 2) {
            messages_->ShowResultList(this, resultLog_, stopRequested_, lastOutputFolder_);
        } else if (batch.files == 1 && lastOutcome_ == FileOutcome::Succeeded) {
            messages_->ShowResult(this, Tessarin::tr("分割処理正常終了！"), lastOutputFolder_);
        } else if (stopRequested_) {
            messages_->ShowResult(this, Tessarin::tr("分割処理中止"), lastOutputFolder_);
        } else if (lastOutcome_ != FileOutcome::Skipped) {
            messages_->ShowResult(this, Tessarin::tr("分割処理失敗"), lastOutputFolder_);
        }
    }
    EndSplit();
}

void MainWindow::OnSingleFinished(const SplitResult& result) {
    progressTimer_->stop();
    if (!result.outputFolder.empty()) lastOutputFolder_ = result.outputFolder;
    setWindowTitle(document_->Title());
    if (!closePending_) {
        const QString text =
            result.ok        ? Tessarin::tr("分割処理正常終了！")
            : result.stopped ? Tessarin::tr("分割処理中止")
                             : Tessarin::tr("【分割処理失敗】\n%1").arg(EngineText(result.message));
        messages_->ShowResult(this, text, lastOutputFolder_);
    }
    EndSplit();
}

void MainWindow::EndSplit() {
    progressTimer_->stop();
    RestoreIdleState();
    closePending_ = false;
    emit splitFinished();
}

void MainWindow::OnProgressTick() {
    const int64_t done = runner_->TilesDone();
    const int64_t total = runner_->TilesTotal();
    if (progress_) {
        progress_->ShowTiles(done, total);
        return;
    }
    // The single split: quiet at first, then its tiles in the title.
    if (total <= 0 || splitClock_.elapsed() < kQuietSplitMs) return;
    setWindowTitle(Tessarin::tr("%1% (%2 / %3 タイル) - %4")
                       .arg(done * 100 / total)
                       .arg(done)
                       .arg(total)
                       .arg(document_->Title()));
}

}  // namespace tessarin
