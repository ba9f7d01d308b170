#pragma once
// The manifest of a split: "<source file name>_tiles.json" beside the tiles,
// listing the source, the settings used and every tile written, so that tile
// viewers, web maps and scripts can place tiles without parsing their names.
// Named after the whole file name, so that "a.jpg" and "a.png" split into one
// folder each keep their own. Names that are not UTF-8 are written with their
// stray bytes as lone surrogates (see Quoted in manifest.cpp).

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

// The manifest's text; tiles are listed by tile number. Valid JSON whatever
// bytes the names hold.
std::string ManifestText(const SplitJob& job, const TileGrid& grid, bool lossless,
                         std::vector<ManifestTile> tiles);

// "<source file name>_tiles.json".
std::string ManifestFileName(const std::string& sourcePath);

// Writes ManifestText to `folder`/ManifestFileName(job.image.path), replacing
// the file as a whole. False when it cannot be written.
[[nodiscard]] bool WriteSplitManifest(const std::string& folder, const SplitJob& job,
                                      const TileGrid& grid, bool lossless,
                                      std::vector<ManifestTile> tiles);

}  // namespace tessarin
