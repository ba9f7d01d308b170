#pragma once
// Lossless JPEG tiles: the crop grid jpegtran cuts on, what a run of it
// takes, and the in-process cut that writes what it would.

#include <cstdint>
#include <memory>

#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_messages.h"
#include "imaging/jpeg/jpeg_private.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin::jpeg {

// The iMCU grid of a JPEG file: 8 x 8 pixels for one component, else 8 times
// the largest sampling factors. A lossless crop starts on it.
struct JpegCropGrid {
    int width = 8;
    int height = 8;
    // What jpegtran cuts for `rect`: the corner moved up and left onto the
    // grid, the size grown by as much (97x61+13+7 gives 110x68+0+0 on a
    // 16 x 16 grid).
    TileRect Cut(const TileRect& rect) const {
        TileRect cut = rect;
        cut.x = rect.x - rect.x % width;
        cut.y = rect.y - rect.y % height;
        cut.width = rect.width + rect.x % width;
        cut.height = rect.height + rect.y % height;
        return cut;
    }
};

// The grid of a decompressor whose header is read.
JpegCropGrid CropGridOf(const jpeg_decompress_struct& codec);

// The bytes one jpegtran run over a file with `coefficientBytes` of
// coefficients takes: it holds them all, plus the crop's and its own buffers.
inline uint64_t JpegtranRunBytes(uint64_t coefficientBytes) {
    return coefficientBytes + coefficientBytes / 4 + (uint64_t{64} << 20);
}

// What the header of a file cut losslessly says about its cut.
struct LosslessFrame {
    JpegCropGrid grid;
    uint64_t coefficientBytes = 0;
};

enum class LosslessPrepare {
    kReady,       // `out` cuts the tiles in-process
    kRefused,     // the coefficients would take too much memory: leave the file to jpegtran
    kOverBudget,  // the coefficients beside `heldBytes` would exceed the split's memory budget
    kDamaged,     // the file's data ends or breaks before its picture does
    kFailed,      // the file cannot be read, or no longer has the size it was loaded with
};

// Reads the DCT coefficients and the comment and application markers of
// `file` (expected to be width x height) for lossless tiles, which `out` then
// writes as jpegtran -copy <copy> -crop would. `frame` is set when the header
// could be read (kReady and kRefused). `heldBytes` is what the split holds
// already (the raster, when the image is shown). `watch` (may be null)
// follows the read of the coefficients and may end it (kFailed).
// Whether `file`, when it has a single scan, holds the entropy-coded data of
// every row: its rows are decoded at 1/8 of their size and dropped, as far
// as the first damage. A file of several scans is not checked (that would
// hold all its coefficients), nor one the library cannot read at all:
// true. For files left to jpegtran, whose every run would otherwise hold all
// the coefficients a header claims before it fails on the damage.
bool SingleScanIntact(const SourceFile& file);

LosslessPrepare MakeInProcessLosslessSource(const SourceFile& file, int width, int height,
                                            uint64_t heldBytes, JpegTileOptions::Copy copy,
                                            std::unique_ptr<TileSource>& out, LosslessFrame& frame,
                                            const ReadWatch* watch = nullptr);

}  // namespace tessarin::jpeg
