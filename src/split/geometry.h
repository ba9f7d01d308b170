#pragma once
// The tile grid of an image: offset strips, tile sizes, column and row counts,
// and the rectangle of every tile. The workers, the viewer, the selection map
// and the file numbering all use this one arithmetic.

#include <algorithm>
#include <string>

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

// One tile: its column and row and its pixel rectangle, already clipped at the
// right and bottom edges of the image.
struct TileRect {
    int column = 0;
    int row = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Fills offsetX, offsetY, tileWidth, tileHeight (and the image size).
TileGrid ComputeTileSizes(int width, int height, const SplitSettings& settings);
// ComputeTileSizes plus columns and rows.
TileGrid ComputeGridCounts(int width, int height, const SplitSettings& settings);

// Calls visit(const TileRect&) for every tile, rows from the top and within a
// row columns from the left. Stops early when visit returns false.
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
// only when adjustAspect is set; returns whether it changed the record (the
// caller saves when it has a window).
bool MatchAspect(int width, int height, SplitSettings& settings);

// ---- implementation of the template ----
template <class Visit>
void ForEachTile(const TileGrid& grid, Visit&& visit) {
    TileRect rect;
    rect.y = 0;
    rect.row = 0;
    while (rect.y < grid.imageHeight) {
        int nominalH = (rect.row == 0 && grid.offsetY != 0) ? grid.offsetY : grid.tileHeight;
        rect.height = std::min(grid.imageHeight - rect.y, nominalH);
        if (rect.height <= 0) rect.height = grid.imageHeight - rect.y;  // tile size 0: the rest
        rect.x = 0;
        rect.column = 0;
        while (rect.x < grid.imageWidth) {
            int nominalW = (rect.column == 0 && grid.offsetX != 0) ? grid.offsetX : grid.tileWidth;
            rect.width = std::min(grid.imageWidth - rect.x, nominalW);
            if (rect.width <= 0) rect.width = grid.imageWidth - rect.x;
            if (!visit(static_cast<const TileRect&>(rect))) return;
            rect.x += rect.width;
            ++rect.column;
        }
        rect.y += rect.height;
        ++rect.row;
    }
}

}  // namespace tessarin
