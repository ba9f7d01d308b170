#pragma once
// The main window's size and position: restored at start-up as the start-up
// placement asks, captured when the window closes.

#include <QList>
#include <QRect>
#include <string>

#include "settings/app_preferences.h"

class QWidget;

namespace tessarin {

struct Placement {
    QRect geometry;            // client area in screen coordinates
    bool hasPosition = false;  // false: only the size is given, the window system places it
};

// Where a window of the saved state goes, given the screens' geometries and
// the primary screen's available area: kUseDefault sizes become three
// quarters of that area; a rectangle that touches no screen (a monitor has
// been unplugged) is centred on the primary screen instead.
Placement PlaceWindow(const WindowState& state, const QList<QRect>& screens,
                      const QRect& primaryAvailable);

// Places and shows the window as WINDOW_POS_ON_BOOT says: 0 the window
// system's choice, 1 maximised, 2 the saved state (maximised if it was).
void PlaceAndShow(QWidget& window, const std::string& mainSettingsPath);

// The window's maximised flag and its restored (not maximised, not
// minimised) geometry.
WindowState CaptureWindowState(const QWidget& window);

}  // namespace tessarin
