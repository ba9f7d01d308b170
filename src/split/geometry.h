#pragma once
// The tile grid of an image: offset strips, tile sizes, column and row counts,
// and the rectangle of every tile. The workers, the viewer, the selection map
// and the file numbering all use this one arithmetic.

#include <algorithm>
#include <climits>
#include <string>
#include <type_traits>

#include "imaging/tile_source.h"
#include "settings/split_settings.h"

namespace tessarin {

struct TileGrid {
    int imageWidth = 0;
    int imageHeight = 0;
    int offsetX = 0;
    int offsetY = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int columns = 0;
    int rows = 0;
};

// Fills offsetX, offsetY, tileWidth, tileHeight (and the image size). Offsets
// lie in 0..W and 0..H. An image size below 1 gives an all-zero grid.
TileGrid ComputeTileSizes(int width, int height, const SplitSettings& settings);
// ComputeTileSizes plus columns and rows; columns x rows is the number of
// tiles ForEachTile produces.
TileGrid ComputeGridCounts(int width, int height, const SplitSettings& settings);

// Rectangle of tile (column, row) of a grid from ComputeGridCounts; an empty
// rectangle outside the grid.
TileRect TileRectAt(const TileGrid& grid, int column, int row);

// Calls visit(const TileRect&) for every tile, rows from the top and within a
// row columns from the left. A visitor returning bool stops the walk early by
// returning false; a void visitor sees every tile. Each step advances by at
// least one pixel, so the walk ends for any grid; a tile size of 0 or below
// takes the rest of the axis, an offset of 0 or below means no offset strip.
template <class Visit>
void ForEachTile(const TileGrid& grid, Visit&& visit);

// Per-axis figures for the information panel.
struct AxisBreakdown {
    int offset = 0;
    int tileSize = 0;
    int fullTiles = 0;
    int remainder = 0;
    bool offsetOnly = false;  // the offset strip covers the whole axis
};
enum class Axis { Horizontal, Vertical };
AxisBreakdown ComputeAxisBreakdown(const TileGrid& grid, Axis axis);
// "【 分 割 内 訳 】 横：..." or "　　　　　　　　　縦：..."
std::string AxisBreakdownText(const TileGrid& grid, Axis axis);

// Derives one tile dimension from the other and the image proportions. Runs
// only when adjustAspect is 1 and the image size is at least 1 x 1; returns
// whether it ran. It never saves: the caller saves when it has a window.
bool MatchAspect(int width, int height, SplitSettings& settings);

// ---- implementation of the template ----
namespace geometry_detail {

// Nominal size of strip `index` along an axis before clipping at the edge.
inline int NominalSize(int index, int offset, int tile) {
    if (index == 0 && offset > 0) return offset;
    return tile > 0 ? tile : INT_MAX;
}

template <class Visit>
bool Call(Visit& visit, const TileRect& rect) {
    if constexpr (std::is_void_v<std::invoke_result_t<Visit&, const TileRect&>>) {
        visit(rect);
        return true;
    } else {
        return static_cast<bool>(visit(rect));
    }
}

}  // namespace geometry_detail

template <class Visit>
void ForEachTile(const TileGrid& grid, Visit&& visit) {
    if (grid.imageWidth <= 0 || grid.imageHeight <= 0) return;
    TileRect rect;
    for (rect.y = 0, rect.row = 0; rect.y < grid.imageHeight; rect.y += rect.height, ++rect.row) {
        rect.height =
            std::min(grid.imageHeight - rect.y,
                     geometry_detail::NominalSize(rect.row, grid.offsetY, grid.tileHeight));
        for (rect.x = 0, rect.column = 0; rect.x < grid.imageWidth;
             rect.x += rect.width, ++rect.column) {
            rect.width =
                std::min(grid.imageWidth - rect.x,
                         geometry_detail::NominalSize(rect.column, grid.offsetX, grid.tileWidth));
            if (!geometry_detail::Call(visit, static_cast<const TileRect&>(rect))) return;
        }
    }
}

}  // namespace tessarin
