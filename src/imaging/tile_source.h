#pragma once
// What a format plugs into the tile-worker loop: something that writes one
// tile rectangle into a file. One source is prepared per file (the decode
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

// Per-worker state handed to every WriteTile call of that worker.
struct TileContext {
    int workerIndex = 0;
    int tilesWritten = 0;  // tiles this worker has finished so far
};

// The file a tile is written into: a fresh, empty temporary file that the loop
// created and renames to the tile's name on success (or deletes on failure).
struct TileFile {
    int fd = -1;       // open for writing; owned by the loop, not closed by the writer
    std::string path;  // its name, for an outside tool that opens it itself
};

class TileSource {
  public:
    virtual ~TileSource() = default;
    // Writes the tile into `file`. Returns nullptr on success, else the
    // failure message. Called from several workers at once: it may only read
    // shared state.
    virtual const char* WriteTile(const TileRect& rect, const TileFile& file,
                                  TileContext& context) const = 0;
    // The format's message for a tile file that cannot be created or put in
    // place under its name.
    virtual const char* SaveFailedMessage() const = 0;
    // The pixels a tile written for `rect` really holds: the rectangle
    // itself, unless the format can only cut on a coarser grid.
    virtual TileRect CutRect(const TileRect& rect) const { return rect; }
};

}  // namespace tessarin
