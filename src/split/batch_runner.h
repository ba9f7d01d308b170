#pragma once
// Splitting files one after another: the command mode, the window's batch,
// the single split and the icon-drop start all run through here. The runner
// loads each file, matches the tile proportions to it, splits it as a job of
// its own and reports each step to an observer.

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/split_job.h"

namespace tessarin {

class Notifier;
class ThreadPool;
class TileNameLedger;

// One file of a batch and the settings record it is split with. The runner
// applies aspect matching to that record after loading the file, as the
// loader does to the current settings.
struct BatchItem {
    std::string path;
    SplitSettings* settings = nullptr;
    bool writeManifest = false;  // see SplitJob
};

// Where the files come from. Next() is called on the runner's thread before
// each file; the item stays valid until the next call.
class BatchSource {
  public:
    virtual ~BatchSource() = default;
    virtual bool Next(BatchItem& item) = 0;
};

// A fixed list of paths, all split with one settings record.
class PathListSource final : public BatchSource {
  public:
    PathListSource(std::vector<std::string> paths, SplitSettings& settings)
        : paths_(std::move(paths)), settings_(settings) {}
    bool Next(BatchItem& item) override;

  private:
    std::vector<std::string> paths_;
    SplitSettings& settings_;
    size_t next_ = 0;
};

enum class FileOutcome { Succeeded, Failed, Skipped };

// What a batch tells about its progress. FileStarted, FileLoaded and
// FileFinished come from the runner's thread; TileFinished from the workers
// (see TileProgress).
class BatchObserver : public TileProgress {
  public:
    virtual void FileStarted(size_t /*index*/, const std::string& /*path*/) {}
    // The image about to be split, loaded and matched; a window shows it.
    virtual void FileLoaded(const CurrentImage& /*image*/, const SplitSettings& /*settings*/) {}
    void TileFinished(int64_t /*done*/, int64_t /*total*/) override {}
    // `line` is the file's result line without a line end: "○：<path>",
    // "×：<path>【<message>】", "△：<path>【キャンセルされました】" (skipped) or
    // "△：<path>【分割処理中止】" (stopped before its last tile).
    virtual void FileFinished(size_t /*index*/, FileOutcome /*outcome*/,
                              const SplitResult& /*result*/, const std::string& /*line*/) {}
};

struct BatchOptions {
    // Files whose tiles start on a block grid (JPEG) get the cancelled line
    // and are not split.
    bool skipBlockGrid = false;
    // Shows the readers' notices (from the runner's thread, after each load);
    // may be null.
    Notifier* owner = nullptr;
    std::shared_ptr<const SelectionMap> selection;
    // Nothing shows the images (the command mode): each file is loaded with
    // LoadImageForTiles, so the observer's FileLoaded may see no raster.
    bool withoutViewer = false;
};

struct BatchResult {
    size_t files = 0;  // files that got a result line
    size_t failed = 0;
    size_t succeeded = 0;
    bool stopped = false;          // a stop request ended the batch early
    std::string lastOutputFolder;  // of the last file that resolved one
};

// Splits the source's files in order. A stop request ends the file in hand
// between two tiles (it gets the stopped line, and leaves no new tile) and
// the batch with it. A file whose tiles would take names that an earlier
// file of the batch wrote fails, and replaces nothing.
BatchResult RunBatch(BatchSource& source, const BatchOptions& options, BatchObserver& observer,
                     std::stop_token stop = {});

// One file: load, match, split. Fills `result`; the image loaded is handed
// to the observer before the split. `ledger` holds the tile names of the
// run's earlier files (may be null); `pool` is the run's threads (null: the
// file's own).
void SplitFileAsJob(const BatchItem& item, const BatchOptions& options, BatchObserver& observer,
                    SplitResult& result, std::stop_token stop = {},
                    TileNameLedger* ledger = nullptr, ThreadPool* pool = nullptr);

// The result lines.
std::string SucceededLine(const std::string& path);
std::string FailedLine(const std::string& path, const std::string& message);
std::string SkippedLine(const std::string& path);
std::string StoppedLine(const std::string& path);

}  // namespace tessarin
