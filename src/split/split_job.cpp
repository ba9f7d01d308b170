#include "split/split_job.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/staging_folder.h"
#include "split/band_cut.h"
#include "split/formats.h"
#include "split/job_state.h"
#include "split/manifest.h"
#include "split/manifest_reader.h"
#include "split/messages.h"
#include "split/naming.h"
#include "split/thread_pool.h"
#include "split/tile_name_ledger.h"
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

// The manifest, kept in the staging folder to be named with the tiles;
// `lossless`: the tiles were cut from the file's compressed data.
bool StageManifest(StagingFolder& staging, const SplitJob& job, const SplitPlan& plan,
                   const TileSource* source, const std::vector<std::vector<TileRect>>& written,
                   bool lossless) {
    std::vector<ManifestTile> tiles;
    for (const std::vector<TileRect>& share : written)
        for (const TileRect& rect : share) {
            ManifestTile tile;
            tile.rect = rect;
            tile.cut = source ? source->CutRect(rect) : rect;
            const std::string path =
                BuildTileFileName(plan.folder, plan.baseName, plan.extension, rect.column, rect.row,
                                  plan.grid.columns, plan.grid.rows, job.settings);
            tile.fileName = path.substr(path.rfind('/') + 1);
            tiles.push_back(std::move(tile));
        }
    const std::string text = ManifestText(job, plan.grid, lossless, std::move(tiles));
    std::string staged;
    const int fd = staging.CreateFile(staged);
    if (fd < 0) return false;
    OutputFile out(fd);
    bool ok = out.Write(text.data(), text.size());
    ok = out.Finish() && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) staging.Keep(staged, ManifestFileName(job.image.path));
    return ok;
}

// A manifest of this name in the folder that lists another source's tiles:
// that source's path, else empty.
std::string OtherManifestSource(const std::string& folder, const std::string& source) {
    ManifestSummary summary;
    const std::string path = folder + (folder.ends_with('/') ? "" : "/") + ManifestFileName(source);
    if (!ReadManifest(path, summary) || SameSourcePath(summary.sourcePath, source)) return {};
    return summary.sourcePath;
}

std::string NamesTaken(const std::string& holder) {
    return std::string(msg::kTileNamesTaken) + "：" + EscapeControlCharacters(holder);
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
    // A picture whose data ended or broke early may be shown, never cut.
    if (!image.damage.empty()) {
        state.StoreError(image.damage);
        return;
    }
    // The file as it was read: a file rewritten in place meanwhile gives
    // tiles of neither picture, or of both.
    FileStamp before;
    if (image.source) {
        if (job.sourceStampSinceOpen)
            before = image.source->OpenedStamp();
        else if (!image.source->StampNow(before)) {
            state.StoreError(msg::kReadFailed);
            return;
        }
    }
    SplitPlan plan;
    const char* folderError = nullptr;
    plan.folder = ResolveOutputFolder(image.path, job.settings, &folderError);
    if (folderError) {
        state.StoreError(folderError);
        return;
    }
    result.outputFolder = plan.folder;
    // What a killed run left in this folder goes before new tiles arrive.
    RemoveStaleTemporaryFilesOnce(plan.folder);
    std::string sourceExtension;
    if (!SplitFileName(image.path, plan.baseName, sourceExtension)) {
        state.StoreError(msg::kBadSourcePath);
        return;
    }
    if (job.writeManifest) {
        const std::string other = OtherManifestSource(plan.folder, image.path);
        if (!other.empty()) {
            state.StoreError(NamesTaken(other));
            return;
        }
    }
    // Every tile waits in the staging folder until the whole file has
    // succeeded; the automatic sub-folder is never entered through a link.
    // When it cannot be made, each tile fails to be written, with its
    // format's message.
    StagingFolder staging;
    (void)staging.Open(plan.folder, job.settings.makeFolder != 0);
    plan.staging = &staging;
    plan.extension = TileExtension(*format, sourceExtension, job.settings);
    plan.grid = ComputeGridCounts(image.width, image.height, job.settings);
    plan.settings = &job.settings;
    plan.selection = job.selection && job.selection->IsActive() ? job.selection.get() : nullptr;
    plan.threadCount = std::max(1, job.settings.threadCount);
    std::optional<ThreadPool> ownPool;
    plan.pool = job.pool ? job.pool : &ownPool.emplace();
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
        const ImageFormat& writer = TileFormatFor(*format, job.settings);
        const SplitTileSettings tileSettings = TileSettingsFor(*format, job.settings);
        CutBandByBand(plan, *image.bands, state,
                      [&](std::shared_ptr<const DibImage> raster, std::string& error) {
                          CurrentImage rows;
                          rows.width = raster->Width();
                          rows.height = raster->AbsHeight();
                          rows.raster = std::move(raster);
                          rows.path = image.path;
                          rows.colorKind = image.colorKind;
                          rows.alpha = image.alpha;
                          rows.iccProfile = image.iccProfile;
                          return writer.makeRasterSource(rows, tileSettings, error);
                      });
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
    // A stopped file leaves no tile: its tiles would show a part.
    if (stopped.load() && !state.Failed()) {
        result.stopped = true;
        state.StoreError(msg::kStopped);
    }
    FileStamp after;
    if (!state.Failed() && image.source && (!image.source->StampNow(after) || after != before))
        state.StoreError(msg::kSourceChanged);
    if (job.writeManifest && !state.Failed() &&
        !StageManifest(staging, job, plan, source.get(), written,
                       CutsLosslessly(*format, job.settings)))
        state.StoreError(msg::kSaveFailed);
    if (state.Failed()) return;

    std::string holder;
    if (job.ledger && !job.ledger->Claim(plan.folder, staging.KeptNames(), image.path, holder)) {
        state.StoreError(NamesTaken(holder));
        return;
    }
    if (!staging.Commit()) {
        state.StoreError(source ? source->SaveFailedMessage() : msg::kSaveFailed);
        return;
    }
    result.tilesWritten = finished.load();
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
