#pragma once
// The cells of the selection overlay in window coordinates, without any
// widget: the corner, a header row along the window's top with one cell per
// tile column, a header column along its left with one cell per tile row, and
// the tile cells where they meet. Also finds the cell under a point.
//
// Cell (0, 0) is the corner, (0, k) the header of tile column k - 1, (j, 0)
// the header of tile row j - 1, (j, k) the tile in column k - 1, row j - 1.

#include <optional>
#include <utility>
#include <vector>

#include "split/geometry.h"

namespace tessarin {

// A rectangle inclusive on all sides.
struct CellRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
};

struct CellRange {
    int first = 1;  // inclusive
    int last = 0;   // inclusive; empty when last < first
};

// One axis of the layout: the window edges of tile column (or row) k, 1-based,
// computed on demand so that a grid of any size costs nothing to lay out.
class AxisCells {
  public:
    AxisCells() = default;
    AxisCells(int count, int origin, int displayed, double scale, int offset, int cut);

    int Count() const { return count_; }
    bool HasOffset() const { return offset_ != 0; }
    // Edges of cell k, 1 <= k <= Count(): the first starts at the origin, each
    // ends one pixel before the next boundary, the last at the image's edge.
    int Low(int k) const { return k == 1 ? origin_ : High(k - 1) + 1; }
    int High(int k) const;
    // The first k whose high edge is at or beyond `at`, or 0 when none is.
    int FirstReaching(int at) const;
    // The cells reaching into [from, to].
    CellRange Within(int from, int to) const;

  private:
    int count_ = 0;
    int origin_ = 0;
    int displayed_ = 0;
    double scale_ = 1;
    int offset_ = 0;
    int cut_ = 0;
};

class OverlayLayout {
  public:
    static constexpr int kHeaderHeight = 16;

    // 5 x digits + 16: the digits of the highest row number shown, which is
    // rows - 1 when there is a y-offset strip (it reads "OF") and rows otherwise.
    static int HeaderWidth(int offsetY, int rows);

    // Lays the cells out for columns x rows of a grid (at most the grid's)
    // shown with its top-left corner at (originX, originY), displayed dw x dh
    // pixels at `scale`.
    void Lay(const TileGrid& grid, int columns, int rows, int originX, int originY, int dw, int dh,
             double scale);

    bool Empty() const { return columns_.Count() < 1 || rows_.Count() < 1; }
    const AxisCells& Columns() const { return columns_; }
    const AxisCells& Rows() const { return rows_; }
    int HeaderWidth() const { return headerWidth_; }

    // Any cell; (j, k) must lie inside 0..Rows().Count() x 0..Columns().Count().
    CellRect Cell(int j, int k) const;

    // The cell (j, k) under window point (x, y), or none: the first header
    // cell from the left whose right edge is at or beyond x, likewise from the
    // top with bottom edges.
    std::optional<std::pair<int, int>> HitTest(int x, int y) const;

  private:
    int headerWidth_ = 0;
    AxisCells columns_;
    AxisCells rows_;
};

}  // namespace tessarin
