#include "split/band_cut.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

#include "imaging/memory_budget.h"
#include "split/messages.h"
#include "split/thread_pool.h"

namespace tessarin {

namespace {

// Bands lower than this many rows are joined with the next grid rows: each
// band costs a decoder hand-over and a start of the workers.
constexpr int kMinBandRows = 64;
std::atomic<int> minBandRows{kMinBandRows};

// Whether the workers would write any tile from grid row `row` on.
bool WantsAny(const SplitPlan& plan, int row) {
    for (; row < plan.grid.rows; ++row)
        for (int column = 0; column < plan.grid.columns; ++column)
            if (IsTileWanted(plan, column, row)) return true;
    return false;
}

}  // namespace

void SetMinBandRows(int rows) { minBandRows = rows > 0 ? rows : kMinBandRows; }

std::vector<BandRows> GroupBands(const TileGrid& grid, int minRows) {
    std::vector<BandRows> bands;
    for (int row = 0; row < grid.rows; ++row) {
        const TileRect rect = TileRectAt(grid, 0, row);
        if (rect.height <= 0) continue;
        if (!bands.empty() && bands.back().rows < minRows &&
            bands.back().rows + rect.height <= minRows) {
            bands.back().rowEnd = row + 1;
            bands.back().rows += rect.height;
            continue;
        }
        bands.push_back({row, row + 1, rect.y, rect.height});
    }
    return bands;
}

void CutBandByBand(SplitPlan& plan, RowBands& bands, JobState& state,
                   const RasterTileMaker& rasterTiles) {
    const std::vector<BandRows> groups = GroupBands(plan.grid, minBandRows.load());
    if (groups.empty()) return;
    int highest = 0;
    for (const BandRows& group : groups) highest = std::max(highest, group.rows);

    // Two bands when the budget holds them (the next is decoded while this
    // one is cut), else one; a band it cannot hold at all fails the file
    // before any tile is written.
    const uint64_t held = bands.HeldBytes();
    const uint64_t bandBytes = bands.BandBytes(highest);
    if (bandBytes == 0 || !FitsSplitMemoryBudget(held, bandBytes)) {
        state.StoreError(bands.MemoryMessage());
        return;
    }
    const bool overlap =
        plan.pool && groups.size() > 1 && FitsSplitMemoryBudget(held, 2 * bandBytes);
    std::unique_ptr<RowBand> slots[2];
    for (int i = 0; i < (overlap ? 2 : 1); ++i) {
        slots[i] = bands.NewBand(highest);
        if (!slots[i]) {
            state.StoreError(bands.MemoryMessage());
            return;
        }
    }

    // The reader's own threads are the run's too, while it reads for this cut.
    struct Runner {
        RowBands& bands;
        ~Runner() { bands.RunOn(nullptr); }
    } runner{bands};
    bands.RunOn(plan.pool);

    std::vector<TileContext> contexts(static_cast<size_t>(plan.threadCount));
    // Whether the last band's workers finished after the read of the band
    // after it: the workers, not the decoder, hold the cut up.
    bool readerAhead = false;
    const char* readFailure = bands.ReadRows(*slots[0], groups[0].rows);
    for (size_t i = 0; i < groups.size() && !readFailure; ++i) {
        // The rows below the last band with a tile to write are never read.
        const bool more = i + 1 < groups.size() && WantsAny(plan, groups[i + 1].rowBegin);
        RowBand& band = *slots[overlap ? i % 2 : 0];
        const char* nextFailure = nullptr;
        std::atomic<bool> read{false};  // set when the next band's read ends
        // Declared after what its task writes into: it waits before that goes.
        std::optional<TaskGroup> next;
        bool reading = false;
        if (overlap && more) {
            next.emplace(*plan.pool);
            RowBand& following = *slots[(i + 1) % 2];
            const int rows = groups[i + 1].rows;
            reading = next->Start([&bands, &following, rows, &nextFailure, &read] {
                nextFailure = bands.ReadRows(following, rows);
                read.store(true);
            });
            if (!reading) {
                state.StoreError(msg::kThreadFailed);
                return;
            }
        }
        std::unique_ptr<TileSource> made;
        plan.source = band.Tiles();
        if (!plan.source) {
            std::string error;
            made = band.Raster() ? rasterTiles(band.Raster(), error) : nullptr;
            if (!made) {
                if (next) next->Wait();
                state.StoreError(error.empty() ? msg::kSaveFailed : error);
                return;
            }
            plan.source = made.get();
        }
        plan.rowBegin = groups[i].rowBegin;
        plan.rowEnd = groups[i].rowEnd;
        plan.bandTop = groups[i].top;
        // While the next band is decoded, the workers take one thread fewer,
        // so that the decoder, which every band waits for, keeps a core;
        // unless the decoder kept ahead of them last time (slow tiles, such
        // as LZW's), when they share every core with it.
        const bool yieldCore = reading && !readerAhead;
        RunTileWorkers(plan, contexts, yieldCore ? std::max(1, plan.threadCount - 1) : 0,
                       reading ? 1 : 0);
        readerAhead = reading && read.load();
        if (next) next->Wait();
        if (state.Failed() || (plan.stopped && plan.stopped->load())) return;
        if (!more) break;
        if (plan.stop.stop_requested()) {
            if (plan.stopped) plan.stopped->store(true);
            return;
        }
        readFailure = overlap ? nextFailure : bands.ReadRows(band, groups[i + 1].rows);
    }
    if (readFailure) state.StoreError(readFailure);
}

}  // namespace tessarin
