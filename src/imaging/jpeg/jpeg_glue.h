#pragma once
// Private to the JPEG reader, writer and tile source: how fatal libjpeg errors
// come back to us, and the encoder that writes any rectangle of a raster.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours jumps back to the recovery point kept beside the error manager of each
// codec object, so every thread and every codec has its own. The functions
// that arm a recovery point (setjmp) hold only plain data: a jump skips
// destructors.

#include <csetjmp>
#include <memory>
#include <string>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "imaging/dib_image.h"
#include "imaging/tile_source.h"

namespace tessarin::jpeg_glue {

struct JpegErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees a jpeg_error_mgr*
    std::jmp_buf recovery;
};

// The standard error manager with error_exit jumping to manager.recovery and
// every warning and trace message dropped.
jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager);

// Every scan of a multi-scan file passes over the whole image, even an empty
// one: a small file of many scans would take minutes. Real progressive files
// have a dozen or so.
inline constexpr int kMaxScans = 500;

struct ScanLimit {
    jpeg_progress_mgr pub;  // first member: libjpeg sees a jpeg_progress_mgr*
    bool exceeded;
};

// Makes the decompressor fail (through error_exit) once the file has more
// than kMaxScans scans, with limit.exceeded set.
void InstallScanLimit(jpeg_decompress_struct* codec, ScanLimit& limit);

// Encodes the width x height pixels at (x, y) of an 8-bit (grey) or 24-bit
// (blue-green-red) raster as a baseline JPEG at `quality` into the open file
// `fd` (which stays open), a few rows at a time from the raster (no copy of
// the rectangle). False for any other depth, a rectangle that is not inside
// the raster, or any library or write error.
bool EncodeJpegRegion(int fd, const DibImage& image, int x, int y, int width, int height,
                      int quality);

inline constexpr const char* kLosslessFailed = "jpegtranを使った分割処理に失敗しました";

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

enum class LosslessPrepare {
    kReady,       // `out` cuts the tiles in-process
    kRefused,     // the coefficients would take too much memory: leave the file to jpegtran
    kOverBudget,  // the coefficients beside `heldBytes` would exceed the split's memory budget
    kFailed,      // the file cannot be read, or no longer has the size it was loaded with
};

// Reads the DCT coefficients and the comment and application markers of the
// JPEG file at `path` (expected to be width x height) for lossless tiles,
// which `out` then writes as jpegtran -copy all -crop would. `grid` is set
// when the header could be read (kReady and kRefused). `heldBytes` is what
// the split holds already (the raster, when the image is shown).
LosslessPrepare MakeInProcessLosslessSource(const std::string& path, int width, int height,
                                            uint64_t heldBytes, std::unique_ptr<TileSource>& out,
                                            JpegCropGrid& grid);

}  // namespace tessarin::jpeg_glue
