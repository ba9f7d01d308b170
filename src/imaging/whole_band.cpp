#include "imaging/whole_band.h"

#include "imaging/memory_budget.h"

namespace tessarin {

std::unique_ptr<RowBand> ReadEveryRow(RowBands& bands, int rows, uint64_t besides,
                                      const char*& failure) {
    const uint64_t bytes = bands.BandBytes(rows);
    std::unique_ptr<RowBand> band;
    if (bytes == 0 || !FitsSplitMemoryBudget(besides + bands.HeldBytes(), bytes) ||
        !(band = bands.NewBand(rows))) {
        failure = bands.MemoryMessage();
        return nullptr;
    }
    if ((failure = bands.ReadRows(*band, rows))) return nullptr;
    return band;
}

}  // namespace tessarin
