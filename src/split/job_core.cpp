#include "split/job_core.h"

#include <algorithm>
#include <new>
#include <thread>
#include <vector>

#include "imaging/bmp/bmp_format.h"
#include "platform/atomic_file.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "split/naming.h"
#include "split/tile_worker.h"

namespace tessarin {

namespace {

bool SplitPrepared(CurrentImage& image, SplitSettings& settings, JobState& job,
                   const SelectionMap* selection) {
    const ImageFileKind kind = ClassifyImageFile(image.path);
    const ImageFormat* format = FindImageFormat(kind);
    if (!image.raster || !format) {
        job.StoreError(kind == ImageFileKind::BadPath ? msg::kBadPath : msg::kUnsupported);
        return false;
    }
    SplitPlan plan;
    plan.folder = ResolveOutputFolder(image.path, settings);
    // What a killed run left in this folder goes before new tiles arrive.
    RemoveStaleTemporaryFilesOnce(plan.folder);
    std::string sourceExtension;
    if (!SplitFileName(image.path, plan.baseName, sourceExtension)) {
        job.StoreError(msg::kBadSourcePath);
        return false;
    }
    plan.extension = TileExtension(kind, sourceExtension, settings);
    plan.grid = ComputeGridCounts(image.width, image.height, settings);
    plan.settings = &settings;
    plan.selection = selection && selection->IsActive() ? selection : nullptr;
    plan.threadCount = std::max(1, settings.threadCount);
    plan.job = &job;

    // The source is prepared once per file and shared by the workers.
    std::string error;
    std::unique_ptr<TileSource> source = settings.allBmp
                                             ? MakeBmpTileSource(image, settings, error)
                                             : format->makeSource(image, settings, error);
    if (!source) {
        job.StoreError(error.empty() ? msg::kSaveFailed : error);
        return false;
    }
    plan.source = source.get();

    // Worker k writes tiles k, k + threadCount, ...: workers beyond the number
    // of tiles would write nothing, so they are not started.
    const int64_t tiles = int64_t{plan.grid.columns} * plan.grid.rows;
    const int workers =
        static_cast<int>(std::min<int64_t>(plan.threadCount, std::max<int64_t>(tiles, 1)));
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(workers));
    for (int k = 0; k < workers; ++k) {
        // Whatever stops a start (no thread, no memory for it), the workers
        // already running are waited for below.
        try {
            threads.emplace_back(RunTileWorker, std::cref(plan), k);
        } catch (...) {
            job.StoreError(msg::kThreadFailed);
            break;
        }
    }
    for (std::thread& t : threads) t.join();
    return !job.Failed();
}

}  // namespace

bool SplitCurrentImage(CurrentImage& image, SplitSettings& settings, JobState& job,
                       const SelectionMap* selection) {
    try {
        return SplitPrepared(image, settings, job, selection);
    } catch (const std::bad_alloc&) {
        job.StoreError(msg::kOutOfMemory);
    } catch (...) {
        job.StoreError(msg::kSaveFailed);
    }
    return false;
}

bool SplitFile(const std::string& path, CurrentImage& image, SplitSettings& settings, JobState& job,
               Notifier* owner, const SelectionMap* selection) {
    job.Clear();
    bool loaded = false;
    try {
        loaded = LoadCurrentImage(path, image, settings, job, owner);
    } catch (const std::bad_alloc&) {
        job.StoreError(msg::kOutOfMemory);
    } catch (...) {
        job.StoreError(msg::kInvalidFile);
    }
    return loaded && SplitCurrentImage(image, settings, job, selection);
}

std::string CommandModeFileRun(const std::string& path, CurrentImage& image,
                               SplitSettings& settings, JobState& job) {
    if (SplitFile(path, image, settings, job, nullptr, nullptr)) return "○：" + path;
    return "×：" + path + "【" + job.ErrorText() + "】";
}

}  // namespace tessarin
