#include "ui/view/cut_lines.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tessarin {

namespace {

// Boundary n of one axis: window position origin + ceil((offset + n * cut) * scale).
// Positions never decrease with n, which lets both the drawing and the hit
// test jump straight to the first boundary that matters: at small scales
// millions of boundaries can share a window pixel.
struct Boundaries {
    int origin;
    double scale;
    int offset;
    int cut;

    double Position(int64_t n) const {
        return origin + std::ceil((offset + static_cast<double>(n) * cut) * scale);
    }
    // The smallest n >= 1 whose position is at least `at`.
    int64_t FirstAtOrAfter(double at) const {
        constexpr int64_t kLimit = int64_t{1} << 52;
        if (Position(1) >= at) return 1;
        // Bracket around the estimate, widening until it holds, then bisect.
        const double guess = ((at - origin) / scale - offset) / cut;
        int64_t hi = guess < 1 ? 2 : static_cast<int64_t>(std::min(guess, double(kLimit))) + 2;
        while (Position(hi) < at && hi < kLimit) hi = std::min(hi * 2, kLimit);
        int64_t lo = std::max<int64_t>(1, hi - 4);
        while (lo > 1 && Position(lo) >= at) lo = std::max<int64_t>(1, lo / 2);
        if (Position(lo) >= at) return lo;
        // Position(lo) < at <= Position(hi)
        while (hi - lo > 1) {
            const int64_t mid = lo + (hi - lo) / 2;
            (Position(mid) < at ? lo : hi) = mid;
        }
        return hi;
    }
};

int KindFor(int64_t n, int sign) {
    return sign * static_cast<int>(std::min<int64_t>(n + 1, INT_MAX));
}

bool Near(double line, int pointer) { return std::abs(line - pointer) <= kLineTolerance; }

struct AxisView {
    int origin;
    int displayed;
    int client;
    double scale;
    int imageSize;
    int offset;
    int cut;
};

bool HitOffset(const AxisView& a, int pointer) {
    if (a.offset > 0) return Near(a.origin + std::ceil(a.offset * a.scale), pointer);
    // Without an offset the line is the image's edge; when that edge lies at
    // or beyond the window's border, the border band grabs it.
    return Near(a.origin, pointer) || (a.origin <= 0 && pointer <= kBorderGrab);
}

// 0, or the boundary's kind with a positive sign.
int HitBoundary(const AxisView& a, int pointer) {
    if (static_cast<int64_t>(a.offset) + a.cut >= a.imageSize) {
        // One column after the offset: its boundary is the image's far edge.
        const int64_t edge = static_cast<int64_t>(a.origin) + a.displayed;
        if (std::llabs(edge - pointer) <= kLineTolerance ||
            (edge >= a.client && pointer >= a.client - kBorderGrab))
            return 2;
        return 0;
    }
    if (a.cut < 1) return 0;
    const Boundaries b{a.origin, a.scale, a.offset, a.cut};
    const int64_t n = b.FirstAtOrAfter(static_cast<double>(pointer) - kLineTolerance);
    const double at = b.Position(n);
    return at < a.client && Near(at, pointer) ? KindFor(n, 1) : 0;
}

double DerivedPixels(double base, int baseAxis, int derivedAxis) {
    if (baseAxis == derivedAxis) return base;
    const double v = static_cast<double>(derivedAxis) * base / baseAxis;
    return derivedAxis < baseAxis ? std::ceil(v) : std::trunc(v);
}

struct AxisRefs {
    SizeUnit& offsetUnit;
    double (&offsetValue)[2];
    SizeUnit& unit;
    double (&value)[3];
    double (&otherValue)[3];
    int size;
    int otherSize;
    int offset;  // effective, in pixels
};

void DragOffset(AxisRefs axis, int u) {
    u = std::max(u, 0);
    if (axis.offsetUnit == SizeUnit::Percent)
        axis.offsetValue[UnitIndex(SizeUnit::Percent)] = std::min(100.0, u * 100.0 / axis.size);
    else
        axis.offsetValue[UnitIndex(SizeUnit::Pixel)] = u;
}

void DragBoundary(AxisRefs axis, int64_t n, int u, bool matchAspect) {
    const int64_t d = std::max<int64_t>(u, axis.offset) - axis.offset;
    double& percent = axis.value[UnitIndex(SizeUnit::Percent)];
    double& count = axis.value[UnitIndex(SizeUnit::Count)];
    double& pixels = axis.value[UnitIndex(SizeUnit::Pixel)];
    switch (axis.unit) {
        case SizeUnit::Percent:
            percent = std::min(
                100.0, static_cast<double>(d) * 100.0 / (static_cast<double>(n) * axis.size));
            break;
        case SizeUnit::Count:
            // On or before the offset line there is no distance to divide by:
            // the count stays as it was.
            if (d > 0)
                count = static_cast<double>(
                    std::max<int64_t>(1, (static_cast<int64_t>(axis.size) - axis.offset) * n / d));
            break;
        default:
            pixels = static_cast<double>(d / n);
            break;
    }
    if (!matchAspect) return;
    switch (axis.unit) {
        case SizeUnit::Percent:
            axis.otherValue[UnitIndex(SizeUnit::Percent)] = percent;
            break;
        case SizeUnit::Count:
            axis.otherValue[UnitIndex(SizeUnit::Count)] = count;
            break;
        default:
            axis.otherValue[UnitIndex(SizeUnit::Pixel)] =
                DerivedPixels(pixels, axis.size, axis.otherSize);
            break;
    }
}

bool SameSizes(const SplitSettings& a, const SplitSettings& b) {
    return a.offsetXUnit == b.offsetXUnit && a.offsetYUnit == b.offsetYUnit &&
           std::equal(a.offsetXValue, a.offsetXValue + 2, b.offsetXValue) &&
           std::equal(a.offsetYValue, a.offsetYValue + 2, b.offsetYValue) &&
           std::equal(a.widthValue, a.widthValue + 3, b.widthValue) &&
           std::equal(a.heightValue, a.heightValue + 3, b.heightValue);
}

}  // namespace

std::vector<BoundaryLine> BoundaryLines(int origin, double scale, int offset, int cut, int client) {
    std::vector<BoundaryLine> lines;
    if (cut < 1 || !(scale > 0)) return lines;
    const Boundaries b{origin, scale, offset, cut};
    double previous = -2;
    for (int64_t n = b.FirstAtOrAfter(-1);;) {
        const double at = b.Position(n);
        if (at >= client || at <= previous) break;
        lines.push_back({static_cast<int>(at), n});
        previous = at;
        n = b.FirstAtOrAfter(at + 1);
    }
    return lines;
}

std::vector<int> BoundaryPositions(int origin, double scale, int offset, int cut, int client) {
    std::vector<int> positions;
    for (const BoundaryLine& line : BoundaryLines(origin, scale, offset, cut, client))
        positions.push_back(line.window);
    return positions;
}

int HitTestCutLines(const ViewModel& view, const TileGrid& grid, const LineHitGate& gate, int x,
                    int y) {
    if (gate.splitRunning || !view.HasImage() || !gate.lineDrag || gate.viewerMode ||
        !gate.cutLines)
        return 0;
    const double s = view.Scale();
    const AxisView horizontal{view.OriginX(),  view.DisplayedWidth(), view.ClientWidth(), s,
                              grid.imageWidth, grid.offsetX,          grid.tileWidth};
    const AxisView vertical{view.OriginY(),   view.DisplayedHeight(), view.ClientHeight(), s,
                            grid.imageHeight, grid.offsetY,           grid.tileHeight};
    if (HitOffset(horizontal, x)) return 1;
    if (HitOffset(vertical, y)) return -1;
    if (int kind = HitBoundary(horizontal, x)) return kind;
    return -HitBoundary(vertical, y);
}

bool DragCutLine(int kind, const ViewModel& view, int x, int y, SplitSettings& settings) {
    if (kind == 0 || !view.HasImage()) return false;
    const int w = view.ImageWidth();
    const int h = view.ImageHeight();
    const TileGrid grid = ComputeTileSizes(w, h, settings);
    const SplitSettings before = settings;
    const bool matchAspect = settings.adjustAspect != 0;
    AxisRefs horizontal{settings.offsetXUnit,
                        settings.offsetXValue,
                        settings.widthUnit,
                        settings.widthValue,
                        settings.heightValue,
                        w,
                        h,
                        grid.offsetX};
    AxisRefs vertical{settings.offsetYUnit,
                      settings.offsetYValue,
                      settings.heightUnit,
                      settings.heightValue,
                      settings.widthValue,
                      h,
                      w,
                      grid.offsetY};
    if (kind == 1)
        DragOffset(horizontal, view.WindowToImageX(x));
    else if (kind == -1)
        DragOffset(vertical, view.WindowToImageY(y));
    else if (kind > 1)
        DragBoundary(horizontal, int64_t{kind} - 1, view.WindowToImageX(x), matchAspect);
    else
        DragBoundary(vertical, -int64_t{kind} - 1, view.WindowToImageY(y), matchAspect);
    return !SameSizes(before, settings);
}

}  // namespace tessarin
