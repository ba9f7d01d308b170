#include "split/tile_worker.h"

#include <new>

#include "platform/atomic_file.h"
#include "split/messages.h"
#include "split/naming.h"
#include "split/split_job.h"

namespace tessarin {

const char* WriteTileFile(const TileSource& source, const TileRect& rect, const std::string& folder,
                          const std::string& path, TileContext& context) {
    const char* saveFailed = source.SaveFailedMessage();
    if (!PathFitsFileSystem(path)) return saveFailed;
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

void RunTileWorker(const SplitPlan& plan, int workerIndex) noexcept {
    // Nothing may leave the thread: an exception there would end the process.
    // The temporary file of the tile being written is removed on the way out.
    try {
        TileContext context;
        context.workerIndex = workerIndex;
        const int64_t columns = plan.grid.columns;
        ForEachTile(plan.grid, [&](const TileRect& rect) {
            const int64_t number = rect.row * columns + rect.column;
            if (number % plan.threadCount != workerIndex) return true;
            if (!IsTileWanted(plan, rect.column, rect.row)) return true;
            if (plan.stop.stop_requested()) {
                if (plan.stopped) plan.stopped->store(true, std::memory_order_relaxed);
                return false;
            }

            const std::string path =
                BuildTileFileName(plan.folder, plan.baseName, plan.extension, rect.column, rect.row,
                                  plan.grid.columns, plan.grid.rows, *plan.settings);
            if (const char* failure =
                    WriteTileFile(*plan.source, rect, plan.folder, path, context)) {
                plan.job->StoreError(failure);
                return false;
            }
            ++context.tilesWritten;
            if (plan.written) plan.written[workerIndex].push_back(rect);
            if (plan.finished) {
                const int64_t done = plan.finished->fetch_add(1, std::memory_order_relaxed) + 1;
                if (plan.progress) plan.progress->TileFinished(done, plan.total);
            }
            return true;
        });
    } catch (const std::bad_alloc&) {
        plan.job->StoreError(msg::kMemoryFailed);
    } catch (...) {
        plan.job->StoreError(plan.source->SaveFailedMessage());
    }
}

}  // namespace tessarin
