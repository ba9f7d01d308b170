#include "ui/view/right_button.h"

#include <cstdlib>

namespace tessarin {

RightRelease ClassifyRightRelease(const RightPress& press, int x, int y, uint64_t time,
                                  bool selectionMode, bool splitRunning) {
    if (!press.pending) return RightRelease::Popup;
    const uint64_t held = time >= press.time ? time - press.time : 0;
    const int dx = x - press.x;
    const int dy = y - press.y;
    if (selectionMode) {
        const bool click =
            held <= kSelectionClickTime && std::abs(dx) < kClickSlop && std::abs(dy) < kClickSlop;
        return click ? RightRelease::Popup : RightRelease::Nothing;
    }
    if (held > kSwipeTime) return RightRelease::Popup;
    if (dx >= kSwipeDistance) return splitRunning ? RightRelease::Nothing : RightRelease::NextFile;
    if (dx <= -kSwipeDistance)
        return splitRunning ? RightRelease::Nothing : RightRelease::PreviousFile;
    return RightRelease::Popup;
}

}  // namespace tessarin
