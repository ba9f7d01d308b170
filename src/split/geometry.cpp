#include "split/geometry.h"

#include <cmath>
#include <cstdint>

namespace tessarin {

namespace {

// A real value brought into [lo, hi] before it becomes an int, so that huge or
// NaN settings can never make the conversion undefined.
int ClampToInt(double v, int lo, int hi) {
    if (std::isnan(v)) return lo;
    if (v <= lo) return lo;
    if (v >= hi) return hi;
    return static_cast<int>(v);
}

// Offset strip: percent rounds up, pixels take the whole part; never above the
// axis size.
int OffsetAlong(int size, SizeUnit unit, const double (&value)[2]) {
    if (unit == SizeUnit::Percent) {
        return ClampToInt(
            std::ceil(static_cast<double>(size) * value[UnitIndex(SizeUnit::Percent)] / 100.0), 0,
            size);
    }
    return ClampToInt(std::trunc(value[UnitIndex(SizeUnit::Pixel)]), 0, size);
}

// Regular tile size. A zero size means "no split": the whole axis. The count
// unit divides what the offset strip leaves, rounding up, so the count is an
// upper bound.
int TileAlong(int size, int offset, SizeUnit unit, const double (&value)[3]) {
    if (unit == SizeUnit::Count) {
        double n = std::trunc(value[UnitIndex(SizeUnit::Count)]);
        if (std::isnan(n) || n < 1) n = 1;
        return ClampToInt(std::ceil(static_cast<double>(size - offset) / n), 0, size);
    }
    double t =
        unit == SizeUnit::Percent
            ? std::ceil(static_cast<double>(size) * value[UnitIndex(SizeUnit::Percent)] / 100.0)
            : std::trunc(value[UnitIndex(SizeUnit::Pixel)]);
    int tile = ClampToInt(t, 0, INT_MAX);
    return tile > 0 ? tile : size;
}

// Strips along one axis, offset strip included. Integer ceiling in 64 bits
// equals the real-number ceiling of the definition exactly.
int CountAlong(int size, int offset, int tile) {
    if (size <= 0) return 0;
    if (offset >= size) return 1;
    int64_t t = tile > 0 ? tile : size;  // a zero tile size takes the rest
    if (offset > 0) return static_cast<int>((size - offset + t - 1) / t + 1);
    return static_cast<int>((size + t - 1) / t);
}

// Start and length of strip `index` along one axis; empty beyond the axis.
void StripAt(int size, int offset, int tile, int index, int& start, int& length) {
    start = 0;
    length = 0;
    if (size <= 0 || index < 0) return;
    if (offset > 0 && index == 0) {
        length = std::min(offset, size);
        return;
    }
    int64_t t = tile > 0 ? tile : size;
    int64_t base = offset > 0 ? std::min(offset, size) : 0;
    int64_t regular = offset > 0 ? index - 1 : index;
    int64_t s = base + regular * t;
    if (s >= size) return;
    start = static_cast<int>(s);
    length = static_cast<int>(std::min<int64_t>(size, s + t) - s);
}

}  // namespace

TileGrid ComputeTileSizes(int width, int height, const SplitSettings& settings) {
    TileGrid grid;
    if (width < 1 || height < 1) return grid;
    grid.imageWidth = width;
    grid.imageHeight = height;
    grid.offsetX = OffsetAlong(width, settings.offsetXUnit, settings.offsetXValue);
    grid.offsetY = OffsetAlong(height, settings.offsetYUnit, settings.offsetYValue);
    grid.tileWidth = TileAlong(width, grid.offsetX, settings.widthUnit, settings.widthValue);
    grid.tileHeight = TileAlong(height, grid.offsetY, settings.heightUnit, settings.heightValue);
    return grid;
}

TileGrid ComputeGridCounts(int width, int height, const SplitSettings& settings) {
    TileGrid grid = ComputeTileSizes(width, height, settings);
    grid.columns = CountAlong(grid.imageWidth, grid.offsetX, grid.tileWidth);
    grid.rows = CountAlong(grid.imageHeight, grid.offsetY, grid.tileHeight);
    return grid;
}

TileRect TileRectAt(const TileGrid& grid, int column, int row) {
    TileRect rect;
    rect.column = column;
    rect.row = row;
    if (column < 0 || row < 0 || column >= grid.columns || row >= grid.rows) return rect;
    StripAt(grid.imageWidth, grid.offsetX, grid.tileWidth, column, rect.x, rect.width);
    StripAt(grid.imageHeight, grid.offsetY, grid.tileHeight, row, rect.y, rect.height);
    if (rect.width == 0 || rect.height == 0) rect.x = rect.y = rect.width = rect.height = 0;
    return rect;
}

AxisBreakdown ComputeAxisBreakdown(const TileGrid& grid, Axis axis) {
    const bool horizontal = axis == Axis::Horizontal;
    const int size = horizontal ? grid.imageWidth : grid.imageHeight;
    const int offset = std::max(0, horizontal ? grid.offsetX : grid.offsetY);
    AxisBreakdown b;
    b.offset = offset;
    if (offset >= size) {
        b.offsetOnly = true;
        return b;
    }
    const int rest = size - offset;
    const int tile = horizontal ? grid.tileWidth : grid.tileHeight;
    b.tileSize = tile > 0 ? tile : rest;
    b.fullTiles = rest / b.tileSize;
    b.remainder = rest % b.tileSize;
    return b;
}

std::string AxisBreakdownText(const TileGrid& grid, Axis axis) {
    const AxisBreakdown b = ComputeAxisBreakdown(grid, axis);
    std::string text =
        axis == Axis::Horizontal ? "【 分 割 内 訳 】 横：" : "　　　　　　　　　縦：";
    if (b.offsetOnly) return text + std::to_string(b.offset) + "(オ)";
    if (b.offset > 0) text += std::to_string(b.offset) + "(オ), ";
    text += std::to_string(b.tileSize) + "x" + std::to_string(b.fullTiles);
    if (b.remainder > 0) text += ", " + std::to_string(b.remainder) + "(余)";
    return text;
}

namespace {

// The derived pixel size: the other axis scaled by the proportions, rounded up
// when the derived axis is the shorter one and truncated when it is the longer.
double DerivedPixels(double basePixels, int baseAxis, int derivedAxis) {
    if (baseAxis == derivedAxis) return std::trunc(basePixels);
    double v = static_cast<double>(derivedAxis) * basePixels / static_cast<double>(baseAxis);
    return derivedAxis < baseAxis ? std::ceil(v) : std::trunc(v);
}

void CopyDimension(SizeUnit unit, const double (&from)[3], SizeUnit& toUnit, double (&to)[3],
                   int fromAxis, int toAxis) {
    toUnit = unit;
    switch (unit) {
        case SizeUnit::Percent:
            to[UnitIndex(SizeUnit::Percent)] = from[UnitIndex(SizeUnit::Percent)];
            break;
        case SizeUnit::Count:
            to[UnitIndex(SizeUnit::Count)] = from[UnitIndex(SizeUnit::Count)];
            break;
        default:
            to[UnitIndex(SizeUnit::Pixel)] =
                DerivedPixels(from[UnitIndex(SizeUnit::Pixel)], fromAxis, toAxis);
            break;
    }
}

}  // namespace

bool MatchAspect(int width, int height, SplitSettings& settings) {
    if (!settings.adjustAspect || width < 1 || height < 1) return false;
    if (settings.aspectBaseWidth) {
        CopyDimension(settings.widthUnit, settings.widthValue, settings.heightUnit,
                      settings.heightValue, width, height);
    } else {
        CopyDimension(settings.heightUnit, settings.heightValue, settings.widthUnit,
                      settings.widthValue, height, width);
    }
    return true;
}

}  // namespace tessarin
