#pragma once
// The cut lines on the image: where they lie in the window, which one is
// under the pointer, and what dragging one does to the split settings.
//
// Hit kinds: 0 nothing; 1 the x-offset line, -1 the y-offset line; n + 1 the
// n-th column boundary after the offset, -(n + 1) the n-th row boundary.

#include <cstdint>
#include <vector>

#include "settings/split_settings.h"
#include "split/geometry.h"
#include "ui/view/view_model.h"

namespace tessarin {

// Tolerance on each side of a line, and the band along the window's border
// that grabs an edge lying at or beyond it.
inline constexpr int kLineTolerance = 3;
inline constexpr int kBorderGrab = 9;

// Window positions origin + ceil((offset + n * cut) * scale), n = 1, 2, ...,
// below `client`, each position once and skipping those left of the window
// (below -1: a 2-pixel line there has no pixel inside). Empty when cut < 1.
std::vector<int> BoundaryPositions(int origin, double scale, int offset, int cut, int client);
// The same with each line's boundary number n: the line lies at image pixel
// offset + n * cut.
struct BoundaryLine {
    int window;
    int64_t n;
};
std::vector<BoundaryLine> BoundaryLines(int origin, double scale, int offset, int cut, int client);

struct LineHitGate {
    bool splitRunning = false;
    bool lineDrag = false;    // "分割線ドラッグ＆ドロップ"
    bool viewerMode = false;  // "ビューアモード"
    bool cutLines = false;    // "分割線"
};

// The hit kind under window point (x, y); tests the x-offset line, the
// y-offset line, the column boundaries from the left, then the row
// boundaries from the top.
int HitTestCutLines(const ViewModel& view, const TileGrid& grid, const LineHitGate& gate, int x,
                    int y);

// Moves the line of hit kind `kind` to window point (x, y) by rewriting the
// offset or the cut size of `settings` in its unit; with aspect matching on
// the other dimension follows. Returns whether a value changed.
bool DragCutLine(int kind, const ViewModel& view, int x, int y, SplitSettings& settings);

}  // namespace tessarin
