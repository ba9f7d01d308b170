#include "ui/window/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tessarin {

namespace {

// X11 cannot make windows larger than this.
constexpr int kMaxWindowSize = 32767;

int SizeOr(int saved, int fallback) {
    return saved == kUseDefault ? fallback : std::clamp(saved, 1, kMaxWindowSize);
}

}  // namespace

Placement PlaceWindow(const WindowState& state, const QList<QRect>& screens,
                      const QRect& primaryAvailable) {
    const QSize fallback(std::max(320, primaryAvailable.width() * 3 / 4),
                         std::max(240, primaryAvailable.height() * 3 / 4));
    Placement placement;
    const QSize size(SizeOr(state.width, fallback.width()),
                     SizeOr(state.height, fallback.height()));
    placement.geometry = QRect(QPoint(0, 0), size);
    if (state.left == kUseDefault || state.top == kUseDefault) return placement;

    const QRect saved(QPoint(state.left, state.top), size);
    const bool onSomeScreen = std::any_of(screens.begin(), screens.end(),
                                          [&](const QRect& s) { return s.intersects(saved); });
    placement.hasPosition = true;
    if (onSomeScreen) {
        placement.geometry = saved;
    } else {
        const QSize fitted = size.boundedTo(primaryAvailable.size());
        placement.geometry = QRect(QPoint(0, 0), fitted);
        placement.geometry.moveCenter(primaryAvailable.center());
    }
    return placement;
}

void PlaceAndShow(QWidget& window, const std::string& mainSettingsPath) {
    const int onBoot = ReadWindowPosOnBoot(mainSettingsPath);
    WindowState state;
    if (onBoot == kWindowPosRestore) state = ReadWindowState(mainSettingsPath);

    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->geometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect available = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);

    const Placement placement = PlaceWindow(state, screens, available);
    if (placement.hasPosition)
        window.setGeometry(placement.geometry);
    else
        window.resize(placement.geometry.size());

    const bool maximized = ReadWindowPosOnBoot(mainSettingsPath) == kWindowPosMaximized ||
                           (onBoot == kWindowPosRestore && state.maximized);
    if (maximized)
        window.showMaximized();
    else
        window.show();
}

WindowState CaptureWindowState(const QWidget& window) {
    WindowState state;
    state.maximized = window.isMaximized();
    QRect normal = window.normalGeometry();
    if (!normal.isValid()) normal = window.geometry();
    state.left = normal.x();
    state.top = normal.y();
    state.width = normal.width();
    state.height = normal.height();
    return state;
}

}  // namespace tessarin
