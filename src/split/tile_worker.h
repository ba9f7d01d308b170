#pragma once
// The tile-worker loop every format shares: walk all tile rectangles, take the
// tiles whose number modulo the worker count is this worker's, skip tiles not
// selected, name each tile and have the format's source write it.

#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "imaging/tile_source.h"
#include "settings/split_settings.h"
#include "split/geometry.h"
#include "split/job_state.h"
#include "split/selection.h"

namespace tessarin {

class StagingFolder;
class ThreadPool;
class TileProgress;

// One file's prepared work, shared read-only by its workers (apart from the
// job state and the finished-tile count).
struct SplitPlan {
    const TileSource* source = nullptr;
    TileGrid grid;
    std::string folder;
    std::string baseName;
    std::string extension;  // with its dot
    const SplitSettings* settings = nullptr;
    const SelectionMap* selection = nullptr;  // null when the selection mode is off
    int threadCount = 1;
    ThreadPool* pool = nullptr;  // runs the workers beside the calling thread
    JobState* job = nullptr;
    std::atomic<int64_t>* finished = nullptr;  // tiles written by all workers
    int64_t total = 0;                         // tiles the job will write
    TileProgress* progress = nullptr;          // may be null
    // When set, worker k appends the rectangle of every tile it wrote to
    // written[k] (for the manifest).
    std::vector<TileRect>* written = nullptr;
    // When set, tiles are written into it and get their names only when the
    // whole file has succeeded (see staging_folder.h).
    StagingFolder* staging = nullptr;
    // Looked at before each tile; a worker that sees a request sets
    // `stopped` and writes no further tile.
    std::stop_token stop;
    std::atomic<bool>* stopped = nullptr;
    // The grid rows the workers cut now, [rowBegin, rowEnd) (rowEnd -1: to
    // the last): all of them, or the rows of the band in hand, whose top row
    // is the picture's row bandTop (the source is then the band's, and cuts
    // rectangles counted from that row).
    int rowBegin = 0;
    int rowEnd = -1;
    int bandTop = 0;
};

// Whether the plan's worker loop writes tile (column, row).
bool IsTileWanted(const SplitPlan& plan, int column, int row);

// Writes one tile as the file `path` in `folder`: into a fresh temporary file
// there, renamed to `path` only when complete, so a failed write never leaves
// a damaged tile (nor destroys an older tile of the same name). With
// `staging`, the tile is written there and kept for `path`'s name instead,
// to be named with the file's other tiles. Returns nullptr on success, else
// the failure message.
const char* WriteTileFile(const TileSource& source, const TileRect& rect, const std::string& folder,
                          const std::string& path, TileContext& context,
                          StagingFolder* staging = nullptr);

// Writes worker `workerIndex`'s tiles of the plan's rows with WriteTileFile;
// `context` is the worker's, kept from band to band. The first failure
// stores its message in the job error text and ends the worker; so does an
// exception (a memory shortage gives its own message), which never leaves
// the worker.
void RunTileWorker(const SplitPlan& plan, int workerIndex, TileContext& context) noexcept;
// The same with a context of its own.
void RunTileWorker(const SplitPlan& plan, int workerIndex) noexcept;

// Runs the plan's workers over its rows on the plan's pool, each with its
// context (contexts[k] for worker k), and waits for every one. With
// `threads` fewer than the workers, thread j runs workers j, j + threads, ...
// one after another: each worker still writes exactly its own tiles, in its
// order, with its context (0: a thread for each worker). `spare` more
// threads are kept in the pool for work beside the workers (the next band).
void RunTileWorkers(const SplitPlan& plan, std::vector<TileContext>& contexts, int threads = 0,
                    int spare = 0);

}  // namespace tessarin
