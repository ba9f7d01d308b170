#include "split/block_grid.h"

#include <algorithm>
#include <cmath>

#include "split/geometry.h"

namespace tessarin {

namespace {

enum class Field { OffsetX, OffsetY, Width, Height };

bool Horizontal(Field f) { return f == Field::OffsetX || f == Field::Width; }
bool IsOffset(Field f) { return f == Field::OffsetX || f == Field::OffsetY; }

SizeUnit& UnitOf(SplitSettings& s, Field f) {
    switch (f) {
        case Field::OffsetX:
            return s.offsetXUnit;
        case Field::OffsetY:
            return s.offsetYUnit;
        case Field::Width:
            return s.widthUnit;
        case Field::Height:
            break;
    }
    return s.heightUnit;
}

// Offsets hold a pixel and a percent value, sizes a count as well.
double* ValuesOf(SplitSettings& s, Field f) {
    switch (f) {
        case Field::OffsetX:
            return s.offsetXValue;
        case Field::OffsetY:
            return s.offsetYValue;
        case Field::Width:
            return s.widthValue;
        case Field::Height:
            break;
    }
    return s.heightValue;
}

// The pixels the field comes to, by the grid arithmetic itself.
int Effective(const SplitSettings& s, Field f, int width, int height) {
    const TileGrid g = ComputeTileSizes(width, height, s);
    switch (f) {
        case Field::OffsetX:
            return g.offsetX;
        case Field::OffsetY:
            return g.offsetY;
        case Field::Width:
            return g.tileWidth;
        case Field::Height:
            break;
    }
    return g.tileHeight;
}

bool OnGrid(int value, int start, int size, int block) {
    return value % block == 0 || static_cast<long long>(start) + value >= size;
}

// Snaps one field; `start` is where its strips begin (the offset strip for a
// tile size, 0 for an offset).
bool SnapField(SplitSettings& s, Field f, int width, int height, int block, int start) {
    const int size = Horizontal(f) ? width : height;
    const int now = Effective(s, f, width, height);
    if (now == 0 || OnGrid(now, start, size, block)) return false;
    const long long want =
        std::max<long long>(block, std::llround(static_cast<double>(now) / block) * block);
    // Any size that reaches the edge cuts the same: one strip to the end.
    auto gives = [&](const SplitSettings& trial) {
        const long long got = Effective(trial, f, width, height);
        return got == want || (start + got >= size && start + want >= size);
    };
    SizeUnit& unit = UnitOf(s, f);
    double* values = ValuesOf(s, f);
    if (unit == SizeUnit::Percent) {
        // The six-decimal percents next to want / size: one of them gives it
        // whenever a percent can.
        const auto micro =
            static_cast<long long>(std::floor(static_cast<double>(want) * 100.0 / size * 1e6));
        for (long long k : {micro, micro + 1, micro - 1}) {
            const double percent = std::min(100.0, static_cast<double>(k) / 1e6);
            if (percent <= 0) continue;
            SplitSettings trial = s;
            ValuesOf(trial, f)[UnitIndex(SizeUnit::Percent)] = percent;
            if (gives(trial)) {
                values[UnitIndex(SizeUnit::Percent)] = percent;
                return true;
            }
        }
    } else if (unit == SizeUnit::Count && !IsOffset(f)) {
        const long long rest = size - start;
        const double count = static_cast<double>((rest + want - 1) / want);
        SplitSettings trial = s;
        ValuesOf(trial, f)[UnitIndex(SizeUnit::Count)] = count;
        if (gives(trial)) {
            values[UnitIndex(SizeUnit::Count)] = count;
            return true;
        }
    }
    unit = SizeUnit::Pixel;
    values[UnitIndex(SizeUnit::Pixel)] = static_cast<double>(want);
    return true;
}

}  // namespace

GridAlignment CheckGridAlignment(int width, int height, const SplitSettings& settings,
                                 BlockGrid block) {
    GridAlignment a;
    if (!block.Known() || width < 1 || height < 1) return a;
    const TileGrid g = ComputeTileSizes(width, height, settings);
    a.offsetX = OnGrid(g.offsetX, 0, width, block.width);
    a.offsetY = OnGrid(g.offsetY, 0, height, block.height);
    a.tileWidth = OnGrid(g.tileWidth, g.offsetX, width, block.width);
    a.tileHeight = OnGrid(g.tileHeight, g.offsetY, height, block.height);
    return a;
}

bool SnapToBlockGrid(int width, int height, BlockGrid block, SplitSettings& settings) {
    if (!block.Known() || width < 1 || height < 1) return false;
    bool changed = SnapField(settings, Field::OffsetX, width, height, block.width, 0);
    changed |= SnapField(settings, Field::OffsetY, width, height, block.height, 0);
    const TileGrid g = ComputeTileSizes(width, height, settings);
    changed |= SnapField(settings, Field::Width, width, height, block.width, g.offsetX);
    changed |= SnapField(settings, Field::Height, width, height, block.height, g.offsetY);
    return changed;
}

}  // namespace tessarin
