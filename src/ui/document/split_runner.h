#pragma once
// Splits from the window in the background: the image on view as one job,
// or a list of files as a batch. The work runs on a thread of its own; what
// the window must hear arrives as signals on the GUI thread, and the tile
// progress of the file in hand is read from counters the workers bump
// without a lock.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "settings/split_settings.h"
#include "split/batch_runner.h"
#include "split/split_job.h"
#include "ui/document/image_loading.h"

namespace tessarin {

class SplitRunner : public QObject {
    Q_OBJECT

  public:
    explicit SplitRunner(QObject* parent = nullptr);
    // Asks the split to stop and waits for the tiles in hand: no tile is
    // left half written and no worker outlives the window.
    ~SplitRunner() override;

    // False, with nothing started, while busy or when no thread can be had.
    bool StartSingle(SplitJob job);
    // The files are split in order with a copy of `settings`.
    bool StartBatch(std::vector<std::string> paths, const SplitSettings& settings,
                    BatchOptions options);
    bool Busy() const { return busy_; }
    // The split ends between tiles: the workers finish the tile in hand and
    // write no further one; a batch goes on to no further file.
    void RequestStop();

    // The file in hand; any thread.
    int64_t TilesDone() const { return tilesDone_.load(std::memory_order_relaxed); }
    int64_t TilesTotal() const { return tilesTotal_.load(std::memory_order_relaxed); }
    // How far the read before the first tile of a single split is (a JPEG
    // file's coefficients); any thread. 0 of 0 when there is none.
    int64_t ReadDone() const { return readDone_.load(std::memory_order_relaxed); }
    int64_t ReadTotal() const { return readTotal_.load(std::memory_order_relaxed); }

    // Called on the batch's thread as each file starts (tests hold a batch there).
    void SetFileStartedHook(std::function<void(size_t index)> hook) { hook_ = std::move(hook); }
    // Called on the split's thread as its read before the first tile goes
    // on (tests hold a split there).
    void SetReadHook(std::function<void()> hook) { readHook_ = std::move(hook); }

  signals:
    void fileStarted(int index, int count);
    // A batch file loaded for splitting (or a skipped first JPEG), for the viewer.
    void imageLoaded(std::shared_ptr<LoadOutcome> outcome);
    void fileFinished(int index, FileOutcome outcome, QString line, QString outputFolder);
    void singleFinished(SplitResult result);
    void batchFinished(BatchResult batch);

  private:
    class Observer;
    bool Launch(std::function<void(std::stop_token)> work);
    void NoteTile(int64_t done, int64_t total);
    // Runs `deliver` on the GUI thread.
    void Post(std::function<void()> deliver);

    std::thread thread_;
    bool busy_ = false;
    // Set as the runner goes: a batch then builds no view at its end.
    std::atomic<bool> closing_{false};
    std::stop_source stop_;
    std::atomic<int64_t> tilesDone_{0};
    std::atomic<int64_t> tilesTotal_{0};
    std::atomic<int64_t> readDone_{0};
    std::atomic<int64_t> readTotal_{0};
    std::function<void(size_t)> hook_;
    std::function<void()> readHook_;
};

}  // namespace tessarin
