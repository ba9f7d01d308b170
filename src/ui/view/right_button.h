#pragma once
// What a release of the right button means: the popup menu, a swipe to the
// next or previous file, or nothing.

#include <cstdint>

namespace tessarin {

struct RightPress {
    bool pending = false;  // a right press has been seen and not yet released
    int x = 0;
    int y = 0;
    uint64_t time = 0;  // milliseconds
};

enum class RightRelease { Popup, NextFile, PreviousFile, Nothing };

// A swipe is a horizontal move of at least this many pixels...
inline constexpr int kSwipeDistance = 100;
// ...finished within this many milliseconds; a slower one is a click.
inline constexpr uint64_t kSwipeTime = 1500;
// In selection mode a release counts as a click only this soon after the
// press and this close to it; anything else was a rectangle selection.
inline constexpr uint64_t kSelectionClickTime = 2000;
inline constexpr int kClickSlop = 5;

RightRelease ClassifyRightRelease(const RightPress& press, int x, int y, uint64_t time,
                                  bool selectionMode, bool splitRunning);

}  // namespace tessarin
