#pragma once
// The manifest of a split: "<name>_tiles.json" beside the tiles, listing the
// source, the settings used and every tile written, so that tile viewers, web
// maps and scripts can place tiles without parsing their names.

#include <string>
#include <vector>

#include "imaging/tile_source.h"
#include "split/geometry.h"

namespace tessarin {

struct SplitJob;

struct ManifestTile {
    std::string fileName;
    TileRect rect;  // the grid's rectangle
    TileRect cut;   // the pixels the tile holds (a lossless cut may be larger)
};

// The manifest's text; tiles are listed by tile number.
std::string ManifestText(const SplitJob& job, const TileGrid& grid, bool lossless,
                         std::vector<ManifestTile> tiles);

// Writes ManifestText to "<folder>/<baseName>_tiles.json", replacing the file
// as a whole. False when it cannot be written.
bool WriteSplitManifest(const std::string& folder, const std::string& baseName, const SplitJob& job,
                        const TileGrid& grid, bool lossless, std::vector<ManifestTile> tiles);

}  // namespace tessarin
