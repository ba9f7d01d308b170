#include "split/tile_worker.h"

#include <unistd.h>

#include <algorithm>
#include <new>

#include "platform/atomic_file.h"
#include "platform/staging_folder.h"
#include "split/messages.h"
#include "split/naming.h"
#include "split/split_job.h"
#include "split/thread_pool.h"

namespace tessarin {

const char* WriteTileFile(const TileSource& source, const TileRect& rect, const std::string& folder,
                          const std::string& path, TileContext& context, StagingFolder* staging) {
    const char* saveFailed = source.SaveFailedMessage();
    if (!PathFitsFileSystem(path)) return saveFailed;
    if (staging) {
        std::string staged;
        const int fd = staging->CreateFile(staged);
        if (fd < 0) return saveFailed;
        const char* failure = source.WriteTile(rect, TileFile{fd, staged}, context);
        // The close reports a write some file systems failed only then.
        if (::close(fd) != 0 && !failure) failure = saveFailed;
        if (!failure) staging->Keep(staged, path.substr(path.rfind('/') + 1));
        return failure;
    }
    AtomicFile file;
    if (!file.Create(folder)) return saveFailed;
    const TileFile target{file.Descriptor(), file.TemporaryPath()};
    if (const char* failure = source.WriteTile(rect, target, context)) return failure;
    // Tiles are not synced one by one: a crash can only leave a temporary
    // name behind (the next split into the folder removes it), never a
    // damaged tile under its own name, and a sync per tile would make a batch
    // of thousands of small tiles wait for the disk each time.
    return file.Commit(path, false) ? nullptr : saveFailed;
}

bool IsTileWanted(const SplitPlan& plan, int column, int row) {
    return !plan.selection || plan.selection->IsTileSelected(column, row);
}

void RunTileWorker(const SplitPlan& plan, int workerIndex, TileContext& context) noexcept {
    // Nothing may leave the thread: an exception there would end the process.
    // The temporary file of the tile being written is removed on the way out.
    try {
        context.workerIndex = workerIndex;
        const int64_t columns = plan.grid.columns;
        const int rowEnd = plan.rowEnd < 0 ? plan.grid.rows : plan.rowEnd;
        for (int row = plan.rowBegin; row < rowEnd; ++row)
            for (int column = 0; column < plan.grid.columns; ++column) {
                const int64_t number = row * columns + column;
                if (number % plan.threadCount != workerIndex) continue;
                if (!IsTileWanted(plan, column, row)) continue;
                if (plan.stop.stop_requested()) {
                    if (plan.stopped) plan.stopped->store(true, std::memory_order_relaxed);
                    return;
                }
                const TileRect rect = TileRectAt(plan.grid, column, row);
                TileRect cut = rect;
                cut.y -= plan.bandTop;
                const std::string path =
                    BuildTileFileName(plan.folder, plan.baseName, plan.extension, column, row,
                                      plan.grid.columns, plan.grid.rows, *plan.settings);
                if (const char* failure = WriteTileFile(*plan.source, cut, plan.folder, path,
                                                        context, plan.staging)) {
                    plan.job->StoreError(failure);
                    return;
                }
                ++context.tilesWritten;
                if (plan.written) plan.written[workerIndex].push_back(rect);
                if (plan.finished) {
                    const int64_t done = plan.finished->fetch_add(1, std::memory_order_relaxed) + 1;
                    if (plan.progress) plan.progress->TileFinished(done, plan.total);
                }
            }
    } catch (const std::bad_alloc&) {
        plan.job->StoreError(msg::kMemoryFailed);
    } catch (...) {
        plan.job->StoreError(plan.source->SaveFailedMessage());
    }
}

void RunTileWorker(const SplitPlan& plan, int workerIndex) noexcept {
    TileContext context;
    RunTileWorker(plan, workerIndex, context);
}

void RunTileWorkers(const SplitPlan& plan, std::vector<TileContext>& contexts, int threads,
                    int spare) {
    // Worker k writes tiles k, k + threadCount, ... of the grid: workers
    // beyond the number of tiles would write nothing, so they are not started.
    const int64_t tiles = int64_t{plan.grid.columns} * plan.grid.rows;
    const int workers =
        static_cast<int>(std::min<int64_t>(plan.threadCount, std::max<int64_t>(tiles, 1)));
    const int running = threads > 0 ? std::min(threads, workers) : workers;
    const auto runShare = [&plan, &contexts, workers, running](int first) {
        for (int k = first; k < workers; k += running)
            RunTileWorker(plan, k, contexts[static_cast<size_t>(k)]);
    };
    if (running == 1 || !plan.pool) {
        for (int j = 0; j < running; ++j) runShare(j);
        return;
    }
    // Whatever stops a start (no thread at all), the shares already started
    // are waited for when the group goes.
    TaskGroup group(*plan.pool);
    for (int j = 0; j < running; ++j)
        if (!group.Start([&runShare, j] { runShare(j); }, running + spare)) {
            plan.job->StoreError(msg::kThreadFailed);
            break;
        }
}

}  // namespace tessarin
