#pragma once
// What a format plugs into the tile-worker loop: something that writes one
// tile rectangle to a file. One source is prepared per file (the decode
// happens once) and shared read-only by every worker of that file.

#include <string>

namespace tessarin {

// One tile: its column and row in the grid and its pixel rectangle, already
// clipped at the right and bottom edges of the image.
struct TileRect {
    int column = 0;
    int row = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The values a format's tiles depend on beyond the image itself.
struct TileOptions {
    bool exactJpeg = true;  // re-encode JPEG tiles; false cuts them losslessly
    int jpegQuality = 75;   // 0..100, for re-encoded tiles
};

// Per-worker state handed to every WriteTile call of that worker.
struct TileContext {
    int workerIndex = 0;
    int tilesWritten = 0;  // tiles this worker has finished so far
};

class TileSource {
  public:
    virtual ~TileSource() = default;
    // Writes the tile to `path`, a fresh file name in the output folder that
    // the loop renames to the tile's name on success and deletes on failure.
    // Returns nullptr on success, else the failure message. Called from
    // several workers at once: it may only read shared state.
    virtual const char* WriteTile(const TileRect& rect, const std::string& path,
                                  TileContext& context) const = 0;
    // The pixels a tile written for `rect` really holds: the rectangle
    // itself, unless the format can only cut on a coarser grid.
    virtual TileRect CutRect(const TileRect& rect) const { return rect; }
};

}  // namespace tessarin
