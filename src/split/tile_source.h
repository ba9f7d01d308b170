#pragma once
// What a format plugs into the shared tile-worker loop: something that writes
// one tile rectangle to a file. One source is prepared per file (the decode
// happens once) and shared read-only by every worker of that file.

#include <string>

#include "split/geometry.h"

namespace tessarin {

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
};

}  // namespace tessarin
