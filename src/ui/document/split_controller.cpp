#include "ui/document/split_controller.h"

#include <QTimer>

#include "ui/document/split_runner.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

// A single split longer than this shows its tiles in the title.
constexpr qint64 kQuietSplitMs = 500;

}  // namespace

SplitController::SplitController(QObject* parent)
    : QObject(parent), runner_(std::make_unique<SplitRunner>()) {
    connect(runner_.get(), &SplitRunner::fileStarted, this, &SplitController::fileStarted);
    connect(runner_.get(), &SplitRunner::imageLoaded, this, &SplitController::imageLoaded);
    connect(runner_.get(), &SplitRunner::fileFinished, this,
            [this](int, FileOutcome outcome, const QString& line, const QString& outputFolder) {
                OnFileFinished(outcome, line, outputFolder);
            });
    connect(runner_.get(), &SplitRunner::batchFinished, this, &SplitController::OnBatchFinished);
    connect(runner_.get(), &SplitRunner::singleFinished, this, &SplitController::OnSingleFinished);
    // Tile progress is read at most 20 times a second, whatever the workers' pace.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, &SplitController::OnProgressTick);
}

SplitController::~SplitController() { runner_.reset(); }

void SplitController::Enter() {
    busy_ = true;
    emit busyChanged(true);
}

void SplitController::Leave() {
    busy_ = false;
    emit busyChanged(false);
}

void SplitController::RequestStop() {
    stopRequested_ = true;
    runner_->RequestStop();
}

bool SplitController::Splitting() const { return runner_->Busy(); }

bool SplitController::StartSingle(const CurrentImage& image, const SplitSettings& settings,
                                  std::shared_ptr<const SelectionMap> selection) {
    SplitJob job;
    job.image = image;
    job.settings = settings;
    job.selection = std::move(selection);
    if (!runner_->StartSingle(std::move(job))) return false;
    batch_ = false;
    splitClock_.start();
    progressTimer_->start();
    return true;
}

bool SplitController::StartBatch(std::vector<std::string> paths, const SplitSettings& settings,
                                 BatchOptions options) {
    batchCount_ = static_cast<int>(paths.size());
    resultLog_.clear();
    lastOutcome_ = FileOutcome::Succeeded;
    if (!runner_->StartBatch(std::move(paths), settings, std::move(options))) return false;
    batch_ = true;
    progressTimer_->start();
    return true;
}

void SplitController::OnFileFinished(FileOutcome outcome, const QString& line,
                                     const QString& outputFolder) {
    resultLog_ += line + QLatin1Char('\n');
    lastOutcome_ = outcome;
    if (!outputFolder.isEmpty()) lastOutputFolder_ = outputFolder.toStdString();
    emit fileFinished();
}

void SplitController::OnBatchFinished(const BatchResult& batch) {
    // No progress may reach the window while the result is on screen.
    progressTimer_->stop();
    batch_ = false;
    SplitReport report;
    report.outputFolder = lastOutputFolder_;
    report.stopped = stopRequested_;
    if (batchCount_ >= 2) {
        report.kind = SplitReport::Kind::List;
        report.text = resultLog_;
    } else if (batch.files == 1 && lastOutcome_ == FileOutcome::Succeeded) {
        report.kind = SplitReport::Kind::Message;
        report.text = Tessarin::tr("分割処理正常終了！");
    } else if (stopRequested_) {
        report.kind = SplitReport::Kind::Message;
        report.text = Tessarin::tr("分割処理中止");
    } else if (lastOutcome_ != FileOutcome::Skipped) {
        report.kind = SplitReport::Kind::Message;
        report.text = Tessarin::tr("分割処理失敗");
    }
    emit splitEnded(report);
}

void SplitController::OnSingleFinished(const SplitResult& result) {
    progressTimer_->stop();
    if (!result.outputFolder.empty()) lastOutputFolder_ = result.outputFolder;
    SplitReport report;
    report.kind = SplitReport::Kind::Message;
    report.single = true;
    report.stopped = result.stopped;
    report.outputFolder = lastOutputFolder_;
    report.text = result.ok ? Tessarin::tr("分割処理正常終了！")
                  : result.stopped
                      ? Tessarin::tr("分割処理中止")
                      : Tessarin::tr("【分割処理失敗】\n%1").arg(EngineText(result.message));
    emit splitEnded(report);
}

void SplitController::OnProgressTick() {
    const int64_t done = runner_->TilesDone();
    const int64_t total = runner_->TilesTotal();
    if (batch_) {
        emit batchTiles(done, total);
        return;
    }
    // The single split: quiet at first, then its read and its tiles.
    if (splitClock_.elapsed() < kQuietSplitMs) return;
    if (total > 0)
        emit singleTiles(done, total);
    else if (runner_->ReadTotal() > 0)
        emit singleRead(runner_->ReadDone(), runner_->ReadTotal());
}

}  // namespace tessarin
