#pragma once
// Glue between giflib and the GIF reader, writer and tile source: the first
// image of a file as plain data, and the row order of interlaced images.

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"

namespace tessarin::gif {

// Everything about a file's first image except its pixels.
struct GifImageInfo {
    int width = 0;
    int height = 0;
    bool interlaced = false;
    int colorResolution = 1;  // from the logical screen descriptor
    int backgroundIndex = 0;  // likewise
    int colorBits = 1;        // depth of the colour table used, 1 to 8
    // The first image's local colour table, else the global one: 1 << colorBits entries.
    std::vector<GifColorType> colors;
    // Data of the first graphic control extension before the image that has
    // the transparent colour flag set, as stored; empty when there is none.
    std::vector<uint8_t> transparency;
};

// Reads a file's first image a row at a time, in the order the file stores
// them. Any member may throw std::bad_alloc.
class GifImageReader {
  public:
    GifImageReader();
    ~GifImageReader();
    GifImageReader(const GifImageReader&) = delete;
    GifImageReader& operator=(const GifImageReader&) = delete;

    // Reads the records up to the first image and its descriptor, from the
    // open file's start (null: not opened). Returns nullptr on success, else
    // the failure message.
    const char* Open(const SourceFile* file);
    const GifImageInfo& Info() const;
    // The next row (Info().width bytes); the background index once the file
    // holds no more (cut short, corrupt data).
    void ReadRow(uint8_t* row);
    // Whether a row has come out as the background because the data ended
    // or broke.
    bool Damaged() const;
    // Whether what is left of the input is too short to code every pixel of
    // the image, whatever it holds: each code of at least 2 bits stands for
    // at most 4,096 pixels. (Only a header that claims far more than its
    // data holds, such as 65535 x 65535 pixels in a few bytes, is caught.)
    bool TooShortForImage() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A file's first image as the tile source keeps it. The indices are either
// decoded for the split (`pixels`: picture order, width bytes per row, rows
// following one another directly), or the viewer's raster holds them: its
// 8-bit rows as stored, or its 1- or 4-bit rows where every index comes out
// the same once the tile writer masks it to the table's depth; else the
// 8-bit rows are kept beside it (`indices`).
struct GifSplitData final : TileData {
    GifImageInfo info;
    std::vector<uint8_t> pixels;
    std::shared_ptr<const DibImage> indices;
};

// GIF tiles cut from `data` (its pixels, info.height rows of them, or its
// indices), whose rectangles count their y from row `top` of them.
std::unique_ptr<TileSource> MakeGifPixelTiles(std::shared_ptr<const GifSplitData> data,
                                              int top = 0);

// The whole first image's indices, read by the bands for GIF tiles into
// `out`. `heldBytes` is what the split holds already (the raster); indices
// that would take it over its memory budget are not decoded. Damaged pixel
// data fails the read, with the load's message.
const char* ReadGifForSplit(const SourceFilePtr& file, uint64_t heldBytes,
                            std::shared_ptr<const GifSplitData>& out);

// The mask the library applies to a tile's indices: the table's depth, at
// least 2 bits.
inline unsigned GifIndexMask(int colorBits) { return (1u << (colorBits < 2 ? 2 : colorBits)) - 1; }

// Writes the rectangle (x, y, width, height) of `source` as a GIF file of its
// own into the open file `fd` (which stays open); the indices come from
// `raster` (1, 4 or 8 bits) when `source` has no pixels of its own. Returns
// nullptr on success, else the failure message.
const char* WriteGifTile(const GifSplitData& source, const DibImage* raster, int x, int y,
                         int width, int height, int fd);

// Calls visit(pictureRow) for every row in the order a GIF file stores them:
// top to bottom, or for interlaced images rows 0, 8, 16, …, then 4, 12, …,
// then 2, 6, 10, …, then 1, 3, 5, ….
template <class Visit>
void ForEachGifRow(int height, bool interlaced, Visit&& visit) {
    if (!interlaced) {
        for (int y = 0; y < height; ++y) visit(y);
        return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass]) visit(y);
}

}  // namespace tessarin::gif
