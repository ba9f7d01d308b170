#pragma once
// The PNG source of a split: the file's own samples, with the chunks its
// tiles carry over. Shared read-only by every worker of the file. The samples
// are either decoded for the split by the file's bands, or they are the
// viewer's raster itself where that holds them unchanged, so a file that was
// loaded for viewing is not decoded again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/messages.h"
#include "imaging/png/png_chunks.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin::png {

// How the rows of the viewer's raster hold the file's samples.
enum class PngRasterRows {
    kNone,       // the raster does not serve
    kIndices,    // 8 bits: palette indices or grey levels, one byte each
    kPacked,     // 1 or 4 bits: indices or grey levels, unpacked per row
    kBgr,        // 24 or 32 bits: the colours in blue-green-red(-alpha) order
    kGreyAlpha,  // 32 bits: grey copied into blue, green and red, then alpha
};

inline constexpr int kDefaultPngCompression = 1;

struct PngSplitImage {
    int width = 0;
    int height = 0;
    int bitDepth = 0;  // as in the file: 1, 2, 4, 8 or 16
    int colorType = 0;
    int interlaceMethod = PNG_INTERLACE_NONE;
    // The samples' layout: rows from the top, one after another, one byte
    // per sample for depths up to 8 (smaller samples unpacked), two
    // big-endian bytes for 16. Samples in file order (red, green, blue);
    // palette files keep their indices.
    size_t bytesPerPixel = 0;
    size_t rowBytes = 0;
    PngRasterRows rasterRows = PngRasterRows::kNone;
    // The zlib level its tiles are written at (the PNG format's option
    // PNG / COMPRESSION, 0 to 9).
    int compression = kDefaultPngCompression;
    PngChunkSet beforeImageData;
    PngChunkSet afterImageData;
};

// Reads the header of `file` and the chunks its tiles carry, without its
// image data, into `out`. Returns nullptr on success, else the message.
const char* ReadPngChunks(const SourceFile& file, PngSplitImage& out);

// Tiles cut from `rows` rows of samples in `file`'s layout, with its chunks
// (`file` itself holds no samples). `samples` stays the caller's and must
// outlive the tile source.
std::unique_ptr<TileSource> MakePngRowTiles(std::shared_ptr<const PngSplitImage> file,
                                            const uint8_t* samples, int rows);

}  // namespace tessarin::png
