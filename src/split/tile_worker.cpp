#include "split/tile_worker.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "split/messages.h"
#include "split/naming.h"
#include "split/split_job.h"

namespace tessarin {

namespace {

std::atomic<unsigned long> g_tempCounter{0};

// A hidden name in the output folder; short, so it fits wherever the tile's
// own name fits.
std::string TemporaryTileName(const std::string& folder) {
    char name[64];
    std::snprintf(name, sizeof name, "/.tessarin-%ld-%lu.part", static_cast<long>(::getpid()),
                  g_tempCounter.fetch_add(1, std::memory_order_relaxed));
    return folder + name;
}

}  // namespace

bool IsTileWanted(const SplitPlan& plan, int column, int row) {
    return !plan.selection || plan.selection->IsTileSelected(column, row);
}

void RunTileWorker(const SplitPlan& plan, int workerIndex) {
    TileContext context;
    context.workerIndex = workerIndex;
    const int64_t columns = plan.grid.columns;
    ForEachTile(plan.grid, [&](const TileRect& rect) {
        const int64_t number = rect.row * columns + rect.column;
        if (number % plan.threadCount != workerIndex) return true;
        if (!IsTileWanted(plan, rect.column, rect.row)) return true;

        const std::string path =
            BuildTileFileName(plan.folder, plan.baseName, plan.extension, rect.column, rect.row,
                              plan.grid.columns, plan.grid.rows, *plan.settings);
        if (!PathFitsFileSystem(path)) {
            plan.job->StoreError(msg::kSaveFailed);
            return false;
        }
        const std::string temporary = TemporaryTileName(plan.folder);
        const char* failure = plan.source->WriteTile(rect, temporary, context);
        if (!failure && std::rename(temporary.c_str(), path.c_str()) != 0)
            failure = msg::kSaveFailed;
        if (failure) {
            std::remove(temporary.c_str());
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
}

}  // namespace tessarin
