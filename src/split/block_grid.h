#pragma once
// The block grid a lossless cut starts on (a JPEG's iMCU: 8 or 16 pixels by
// its sampling): whether the split settings put the cuts on it, and the
// settings moved onto it.

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/formats.h"

namespace tessarin {

struct BlockGrid {
    int width = 0;
    int height = 0;
    bool Known() const { return width > 0 && height > 0; }
};

// The grid the tiles of `image` are cut on with `settings`: the file's blocks
// when they are cut losslessly (a JPEG, with exact cutting and BMP tiles
// off), else none.
inline BlockGrid LosslessBlockGrid(const CurrentImage& image, const SplitSettings& settings) {
    if (!CutsLosslesslyOnBlockGrid(image.path, settings)) return {};
    return BlockGrid{image.blockWidth, image.blockHeight};
}

// Whether each of the four pixel values the settings give an image of
// width x height lies on the grid: a multiple of the block, 0, or reaching the
// image's edge (the last cut is the edge itself).
struct GridAlignment {
    bool offsetX = true;
    bool offsetY = true;
    bool tileWidth = true;
    bool tileHeight = true;
    bool All() const { return offsetX && offsetY && tileWidth && tileHeight; }
};
GridAlignment CheckGridAlignment(int width, int height, const SplitSettings& settings,
                                 BlockGrid block);

// Whether a cut line at pixel `position` of an axis of `size` pixels falls on
// a grid of `block` pixels; lines at or past the edge count as on it.
inline bool CutOnGrid(long long position, int size, int block) {
    return block <= 0 || position >= size || position % block == 0;
}

// Moves the tile width and height and both offsets of `settings` onto the
// grid, for an image of width x height: each value off the grid goes to the
// nearest multiple of the block, never to 0 (at least one block); a value of
// 0 (no offset, no split) stays. Percent and count values are turned into the
// pixels they give first; they keep their unit when a percent (to the six
// decimals the settings file keeps) or a tile count gives the snapped size
// exactly, and become pixel values otherwise. Offsets are snapped first: a
// count divides what the offset strip leaves. Returns whether anything changed.
bool SnapToBlockGrid(int width, int height, BlockGrid block, SplitSettings& settings);

}  // namespace tessarin
