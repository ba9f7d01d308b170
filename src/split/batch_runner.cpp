#include "split/batch_runner.h"

#include "platform/notifier.h"
#include "platform/text.h"
#include "split/formats.h"
#include "split/geometry.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "split/thread_pool.h"
#include "split/tile_name_ledger.h"

namespace tessarin {

bool PathListSource::Next(BatchItem& item) {
    if (next_ >= paths_.size()) return false;
    item.path = paths_[next_++];
    item.settings = &settings_;
    return true;
}

std::string SucceededLine(const std::string& path) { return "○：" + path; }

std::string FailedLine(const std::string& path, const std::string& message) {
    return "×：" + path + "【" + message + "】";
}

std::string SkippedLine(const std::string& path) {
    return "△：" + path + "【キャンセルされました】";
}

std::string StoppedLine(const std::string& path) {
    return "△：" + path + "【" + msg::kStopped + "】";
}

void SplitFileAsJob(const BatchItem& item, const BatchOptions& options, BatchObserver& observer,
                    SplitResult& result, std::stop_token stop, TileNameLedger* ledger,
                    ThreadPool* pool) {
    SplitSettings& settings = *item.settings;
    SplitJob job;
    std::string error;
    std::vector<std::string> notices;
    const bool loaded = options.withoutViewer
                            ? LoadImageForTiles(item.path, settings, job.image, error, notices)
                            : LoadImageFile(item.path, job.image, error, notices);
    if (options.owner)
        for (const std::string& notice : notices) options.owner->ShowNotice(notice);
    if (!loaded) {
        result = SplitResult{};
        result.message = TruncateUtf8(error, kMaxJobErrorChars);
        return;
    }
    MatchAspect(job.image.width, job.image.height, settings);
    observer.FileLoaded(job.image, settings);
    job.settings = settings;
    job.selection = options.selection;
    job.writeManifest = item.writeManifest;
    job.stop = std::move(stop);
    job.sourceStampSinceOpen = true;
    job.ledger = ledger;
    job.pool = pool;
    result = RunSplitJob(job, &observer);
}

BatchResult RunBatch(BatchSource& source, const BatchOptions& options, BatchObserver& observer,
                     std::stop_token stop) {
    BatchResult batch;
    BatchItem item;
    TileNameLedger ledger;
    ThreadPool pool;
    while (true) {
        if (stop.stop_requested()) {
            batch.stopped = true;
            break;
        }
        if (!source.Next(item)) break;
        const size_t index = batch.files++;
        observer.FileStarted(index, item.path);
        SplitResult result;
        FileOutcome outcome;
        std::string line;
        if (options.skipBlockGrid && CutsOnBlockGrid(item.path)) {
            outcome = FileOutcome::Skipped;
            line = SkippedLine(item.path);
        } else {
            try {
                SplitFileAsJob(item, options, observer, result, stop, &ledger, &pool);
            } catch (const std::bad_alloc&) {
                result = SplitResult{};
                result.message = msg::kMemoryFailed;
            } catch (...) {
                // The job itself never throws: this came from the reader.
                result = SplitResult{};
                result.message = msg::kInvalidFile;
            }
            if (result.stopped) {
                outcome = FileOutcome::Skipped;
                line = StoppedLine(item.path);
                batch.stopped = true;
            } else {
                outcome = result.ok ? FileOutcome::Succeeded : FileOutcome::Failed;
                line = result.ok ? SucceededLine(item.path) : FailedLine(item.path, result.message);
                ++(result.ok ? batch.succeeded : batch.failed);
            }
            if (!result.outputFolder.empty()) batch.lastOutputFolder = result.outputFolder;
        }
        observer.FileFinished(index, outcome, result, line);
    }
    return batch;
}

}  // namespace tessarin
