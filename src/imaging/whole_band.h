#pragma once
// One band of every row of a file opened for bands: how the whole picture is
// read from a format's one reader (the window's load, a split's own read of
// what its tiles need).

#include <cstdint>
#include <memory>

#include "imaging/row_bands.h"

namespace tessarin {

// Reads the picture's `rows` rows, from the top, into one band, after
// checking the band, what `bands` hold and `besides` (what the caller holds
// already) against the memory budget. Null on failure, with the message in
// `failure`: the bands' memory message, or the reader's.
std::unique_ptr<RowBand> ReadEveryRow(RowBands& bands, int rows, uint64_t besides,
                                      const char*& failure);

}  // namespace tessarin
