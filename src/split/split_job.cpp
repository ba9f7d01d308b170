#include "split/split_job.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/atomic_file.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/job_state.h"
#include "split/manifest.h"
#include "split/messages.h"
#include "split/naming.h"
#include "split/tile_worker.h"

namespace tessarin {

namespace {

// Follows the read that comes before the first tile, and ends it on a stop.
class JobWatch final : public ReadWatch {
  public:
    JobWatch(const std::stop_token& stop, TileProgress* progress)
        : stop_(stop), progress_(progress) {}
    bool StopRequested() const override { return stop_.stop_requested(); }
    void ReadProgress(int64_t done, int64_t total) const override {
        if (progress_) progress_->ReadProgress(done, total);
    }

  private:
    const std::stop_token& stop_;
    TileProgress* progress_;
};

int64_t CountWantedTiles(const SplitPlan& plan) {
    int64_t count = 0;
    ForEachTile(plan.grid, [&](const TileRect& rect) {
        count += IsTileWanted(plan, rect.column, rect.row) ? 1 : 0;
    });
    return count;
}

void Cut(const SplitJob& job, TileProgress* progress, JobState& state, SplitResult& result) {
    const CurrentImage& image = job.image;
    const ImageFileKind kind = ClassifyImageFile(image.path);
    const ImageFormat* format = FindImageFormat(kind);
    // The tile source checks that it has what it cuts from (a raster, or the
    // format's own samples).
    if (!format || image.width <= 0 || image.height <= 0) {
        state.StoreError(kind == ImageFileKind::BadPath ? msg::kBadPath : msg::kUnsupported);
        return;
    }
    SplitPlan plan;
    plan.folder = ResolveOutputFolder(image.path, job.settings);
    result.outputFolder = plan.folder;
    // What a killed run left in this folder goes before new tiles arrive.
    RemoveStaleTemporaryFilesOnce(plan.folder);
    std::string sourceExtension;
    if (!SplitFileName(image.path, plan.baseName, sourceExtension)) {
        state.StoreError(msg::kBadSourcePath);
        return;
    }
    plan.extension = TileExtension(kind, sourceExtension, job.settings);
    plan.grid = ComputeGridCounts(image.width, image.height, job.settings);
    plan.settings = &job.settings;
    plan.selection = job.selection && job.selection->IsActive() ? job.selection.get() : nullptr;
    plan.threadCount = std::max(1, job.settings.threadCount);
    plan.job = &state;
    std::atomic<int64_t> finished{0};
    plan.finished = &finished;
    plan.progress = progress;
    plan.total = progress ? CountWantedTiles(plan) : 0;
    std::atomic<bool> stopped{false};
    plan.stop = job.stop;
    plan.stopped = &stopped;

    std::vector<std::vector<TileRect>> written;
    if (job.writeManifest) {
        written.resize(static_cast<size_t>(plan.threadCount));
        plan.written = written.data();
    }

    // The source is prepared once per file and shared by the workers; a
    // file opened for bands has one per band instead.
    std::unique_ptr<TileSource> source;
    if (image.bands) {
        CutBandByBand(plan, *image.bands, state);
    } else {
        std::string error;
        JobWatch watch(job.stop, progress);
        source = MakeTileSource(*format, image, job.settings, error, &watch);
        if (source) {
            plan.source = source.get();
            std::vector<TileContext> contexts(static_cast<size_t>(plan.threadCount));
            RunTileWorkers(plan, contexts);
        } else if (job.stop.stop_requested()) {
            stopped.store(true);  // while the file was read, before any tile
        } else {
            state.StoreError(error.empty() ? msg::kSaveFailed : error);
            return;
        }
    }
    result.tilesWritten = finished.load();
    // A stopped job lists no tiles: its manifest would describe a part.
    if (stopped.load() && !state.Failed()) {
        result.stopped = true;
        state.StoreError(msg::kStopped);
    }

    if (job.writeManifest && !state.Failed()) {
        std::vector<ManifestTile> tiles;
        for (const std::vector<TileRect>& share : written)
            for (const TileRect& rect : share) {
                ManifestTile tile;
                tile.rect = rect;
                tile.cut = source ? source->CutRect(rect) : rect;
                const std::string path =
                    BuildTileFileName(plan.folder, plan.baseName, plan.extension, rect.column,
                                      rect.row, plan.grid.columns, plan.grid.rows, job.settings);
                tile.fileName = path.substr(path.rfind('/') + 1);
                tiles.push_back(std::move(tile));
            }
        const bool lossless = CutsLosslessly(kind, job.settings);
        if (!WriteSplitManifest(plan.folder, job, plan.grid, lossless, std::move(tiles)))
            state.StoreError(msg::kSaveFailed);
    }
}

}  // namespace

SplitResult RunSplitJob(const SplitJob& job, TileProgress* progress) {
    SplitResult result;
    JobState state;
    try {
        Cut(job, progress, state, result);
    } catch (const std::bad_alloc&) {
        state.StoreError(msg::kMemoryFailed);
    } catch (...) {
        state.StoreError(msg::kSaveFailed);
    }
    result.message = state.ErrorText();
    result.ok = result.message.empty();
    return result;
}

}  // namespace tessarin
