#pragma once
// The mouse gestures of the output-image selection mode, without any widget:
// when a left click counts as a single click, and the rectangle selection
// with the right button.

#include <cstdint>

#include "split/selection.h"
#include "ui/view/overlay_layout.h"

namespace tessarin {

// A left click toggles the cell under it only once the double-click time has
// passed without a double click. Milliseconds to wait after the release at
// `now` for a press at `pressTime`.
int SingleClickDelay(int doubleClickInterval, uint64_t pressTime, uint64_t now);

// The cell under (x, y) of the last laid-out overlay, toggled as a single
// click does: a tile, a whole row or column, or everything. Returns whether
// a cell was hit.
bool ToggleSelectionAt(const OverlayLayout& layout, SelectionMap& map, int x, int y);

struct SelectionRectF {
    float left = -10;
    float top = -10;
    float width = 0;
    float height = 0;
};

// Inverts the tiles under a rectangle dragged with the right button, starting
// each time from the flags as they were at the press.
class RectangleSelection {
  public:
    // Takes the snapshot and keeps the press in image units relative to the
    // first tile column and row, so that the rectangle stays on the image
    // when it scrolls.
    void Start(const OverlayLayout& layout, double scale, SelectionMap& map, int x, int y);
    void Update(const OverlayLayout& layout, double scale, SelectionMap& map, int x, int y);
    // Ends the gesture, keeping its result or putting the flags back.
    void Finish(bool keep, SelectionMap& map);

    bool Active() const { return active_; }
    // What the overlay fills while the gesture runs.
    const SelectionRectF& Rect() const { return rect_; }

  private:
    bool active_ = false;
    int startX_ = 0;
    int startY_ = 0;
    SelectionRectF rect_;
};

}  // namespace tessarin
