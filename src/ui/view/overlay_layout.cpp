#include "ui/view/overlay_layout.h"

#include <cmath>
#include <cstdint>

#include "ui/view/view_model.h"

namespace tessarin {

AxisCells::AxisCells(int count, int origin, int displayed, double scale, int offset, int cut)
    : count_(count < 0 ? 0 : count),
      origin_(origin),
      displayed_(displayed),
      scale_(scale),
      offset_(offset),
      cut_(cut) {}

int AxisCells::High(int k) const {
    if (k >= count_) return SaturateToInt(static_cast<double>(origin_) + displayed_ - 1);
    const double p = offset_ != 0 ? offset_ + (k - 1.0) * cut_ : static_cast<double>(k) * cut_;
    return SaturateToInt(origin_ + std::ceil(p * scale_) - 1);
}

int AxisCells::FirstReaching(int at) const {
    if (count_ < 1) return 0;
    // High() grows with k except possibly at the last cell, which ends at the
    // truncated image edge: search the others, then try the last.
    int lo = 1;
    int hi = count_;  // hi: the first candidate known to reach, or count_
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (High(mid) >= at)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (lo < count_) return lo;
    return High(count_) >= at ? count_ : 0;
}

CellRange AxisCells::Within(int from, int to) const {
    const int first = FirstReaching(from);
    if (first == 0) return {};
    const int last = FirstReaching(to);
    return {first, last == 0 ? count_ : last};
}

int OverlayLayout::HeaderWidth(int offsetY, int rows) {
    int shown = offsetY != 0 ? rows - 1 : rows;
    int digits = 1;
    while (shown >= 10) {
        shown /= 10;
        ++digits;
    }
    return 5 * digits + 16;
}

void OverlayLayout::Lay(const TileGrid& grid, int columns, int rows, int originX, int originY,
                        int dw, int dh, double scale) {
    headerWidth_ = HeaderWidth(grid.offsetY, rows);
    columns_ = AxisCells(columns, originX, dw, scale, grid.offsetX, grid.tileWidth);
    rows_ = AxisCells(rows, originY, dh, scale, grid.offsetY, grid.tileHeight);
}

CellRect OverlayLayout::Cell(int j, int k) const {
    CellRect r;
    if (k == 0) {
        r.left = 0;
        r.right = headerWidth_;
    } else {
        r.left = columns_.Low(k);
        r.right = columns_.High(k);
    }
    if (j == 0) {
        r.top = 0;
        r.bottom = kHeaderHeight;
    } else {
        r.top = rows_.Low(j);
        r.bottom = rows_.High(j);
    }
    return r;
}

std::optional<std::pair<int, int>> OverlayLayout::HitTest(int x, int y) const {
    if (Empty() || x < 0 || y < 0) return std::nullopt;
    const int k = x <= headerWidth_ ? 0 : columns_.FirstReaching(x);
    const int j = y <= kHeaderHeight ? 0 : rows_.FirstReaching(y);
    if ((k == 0 && x > headerWidth_) || (j == 0 && y > kHeaderHeight)) return std::nullopt;
    return std::make_pair(j, k);
}

}  // namespace tessarin
