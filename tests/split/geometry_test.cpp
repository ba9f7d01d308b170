#include "split/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace tessarin {
namespace {

struct AxisLayout {
    SizeUnit unit = SizeUnit::Pixel;
    double value = 0;
    SizeUnit offsetUnit = SizeUnit::Pixel;
    double offset = 0;
};

void SetWidth(SplitSettings& s, const AxisLayout& a) {
    s.widthUnit = a.unit;
    s.widthValue[UnitIndex(a.unit)] = a.value;
    s.offsetXUnit = a.offsetUnit;
    s.offsetXValue[UnitIndex(a.offsetUnit)] = a.offset;
}

void SetHeight(SplitSettings& s, const AxisLayout& a) {
    s.heightUnit = a.unit;
    s.heightValue[UnitIndex(a.unit)] = a.value;
    s.offsetYUnit = a.offsetUnit;
    s.offsetYValue[UnitIndex(a.offsetUnit)] = a.offset;
}

std::vector<int> ColumnWidths(const TileGrid& grid) {
    std::vector<int> widths;
    ForEachTile(grid, [&](const TileRect& r) {
        if (r.row == 0) widths.push_back(r.width);
    });
    return widths;
}

std::vector<int> RowHeights(const TileGrid& grid) {
    std::vector<int> heights;
    ForEachTile(grid, [&](const TileRect& r) {
        if (r.column == 0) heights.push_back(r.height);
    });
    return heights;
}

struct AxisCase {
    const char* name;
    int size;
    AxisLayout layout;
    std::vector<int> strips;
    const char* breakdown;  // after "横："
};

class AxisGrid : public testing::TestWithParam<AxisCase> {};

// Each case runs on both axes: the arithmetic is the same, only the panel
// prefix differs.
TEST_P(AxisGrid, StripsCountsAndBreakdown) {
    const AxisCase& c = GetParam();
    SplitSettings s;
    SetWidth(s, c.layout);
    SetHeight(s, c.layout);
    const TileGrid grid = ComputeGridCounts(c.size, c.size, s);
    EXPECT_EQ(ColumnWidths(grid), c.strips);
    EXPECT_EQ(RowHeights(grid), c.strips);
    EXPECT_EQ(grid.columns, static_cast<int>(c.strips.size()));
    EXPECT_EQ(grid.rows, static_cast<int>(c.strips.size()));
    EXPECT_EQ(AxisBreakdownText(grid, Axis::Horizontal),
              std::string("【 分 割 内 訳 】 横：") + c.breakdown);
    EXPECT_EQ(AxisBreakdownText(grid, Axis::Vertical),
              std::string("　　　　　　　　　縦：") + c.breakdown);
}

const SizeUnit kPx = SizeUnit::Pixel;
const SizeUnit kPct = SizeUnit::Percent;
const SizeUnit kCount = SizeUnit::Count;

INSTANTIATE_TEST_SUITE_P(
    Geometry, AxisGrid,
    testing::Values(
        AxisCase{"Pixel300", 1000, {kPx, 300}, {300, 300, 300, 100}, "300x3, 100(余)"},
        AxisCase{"Offset100Pixel300",
                 1000,
                 {kPx, 300, kPx, 100},
                 {100, 300, 300, 300},
                 "100(オ), 300x3"},
        AxisCase{"Offset126Pixel500",
                 1001,
                 {kPx, 500, kPct, 12.5},
                 {126, 500, 375},
                 "126(オ), 500x1, 375(余)"},
        AxisCase{"PixelZero", 1000, {kPx, 0}, {1000}, "1000x1"},
        AxisCase{"PercentZero", 1000, {kPct, 0}, {1000}, "1000x1"},
        AxisCase{"Percent33", 1000, {kPct, 33}, {330, 330, 330, 10}, "330x3, 10(余)"},
        AxisCase{"Percent100", 1000, {kPct, 100}, {1000}, "1000x1"},
        AxisCase{"Count4Of1001", 1001, {kCount, 4}, {251, 251, 251, 248}, "251x3, 248(余)"},
        AxisCase{"Count6Of10", 10, {kCount, 6}, {2, 2, 2, 2, 2}, "2x5"},
        AxisCase{"CountBelowOne", 10, {kCount, 0.5}, {10}, "10x1"},
        AxisCase{"CountAfterOffset",
                 1000,
                 {kCount, 3, kPct, 10},
                 {100, 300, 300, 300},
                 "100(オ), 300x3"},
        AxisCase{"OffsetBeyondImage", 1000, {kPx, 300, kPx, 5000}, {1000}, "1000(オ)"},
        AxisCase{"CountWithFullOffset", 1000, {kCount, 3, kPct, 100}, {1000}, "1000(オ)"},
        AxisCase{"TileWiderThanImage", 1000, {kPx, 2000}, {1000}, "2000x0, 1000(余)"},
        AxisCase{"OffsetAndWideTile",
                 1000,
                 {kPx, 2000, kPx, 100},
                 {100, 900},
                 "100(オ), 2000x0, 900(余)"},
        AxisCase{"OnePixelImage", 1, {kPct, 50}, {1}, "1x1"}),
    [](const testing::TestParamInfo<AxisCase>& c) { return std::string(c.param.name); });

TEST(Geometry, SizesAndOffsetsOfTheRecord) {
    SplitSettings s;
    SetWidth(s, {kCount, 3, kPct, 12.5});
    SetHeight(s, {kPx, 100.9, kPx, 7.8});
    const TileGrid g = ComputeGridCounts(1001, 250, s);
    EXPECT_EQ(g.offsetX, 126);    // ceil(125.125)
    EXPECT_EQ(g.tileWidth, 292);  // ceil(875 / 3)
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(g.offsetY, 7);       // whole part
    EXPECT_EQ(g.tileHeight, 100);  // whole part
    EXPECT_EQ(g.rows, 4);          // 7, 100, 100, 43
    // Only the value of the selected unit counts.
    s.widthValue[UnitIndex(kPx)] = 17;
    s.offsetXValue[UnitIndex(kPx)] = 5;
    EXPECT_EQ(ComputeGridCounts(1001, 250, s).tileWidth, 292);
}

// Large images: the products exceed 32 bits in the original arithmetic, the
// results must still be the exact real-number values.
TEST(Geometry, LargeImagesKeepExactArithmetic) {
    SplitSettings s;
    SetWidth(s, {kPct, 33});
    SetHeight(s, {kCount, 7});
    TileGrid g = ComputeGridCounts(100000, 100000, s);
    EXPECT_EQ(g.tileWidth, 33000);
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(ColumnWidths(g), (std::vector<int>{33000, 33000, 33000, 1000}));
    EXPECT_EQ(g.tileHeight, 14286);
    EXPECT_EQ(g.rows, 7);
    EXPECT_EQ(RowHeights(g).back(), 100000 - 6 * 14286);

    SetWidth(s, {kCount, 3, kPct, 33});
    g = ComputeGridCounts(100000, 100000, s);
    EXPECT_EQ(g.offsetX, 33000);
    EXPECT_EQ(g.tileWidth, 22334);
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(ColumnWidths(g), (std::vector<int>{33000, 22334, 22334, 22332}));

    SetWidth(s, {kPct, 50, kPct, 100});
    g = ComputeGridCounts(2000000000, 3, s);
    EXPECT_EQ(g.offsetX, 2000000000);
    EXPECT_EQ(g.tileWidth, 1000000000);
    EXPECT_EQ(g.columns, 1);
    SetWidth(s, {kCount, 3, kPx, 0});
    g = ComputeGridCounts(2000000000, 3, s);
    EXPECT_EQ(g.tileWidth, 666666667);
    EXPECT_EQ(ColumnWidths(g), (std::vector<int>{666666667, 666666667, 666666666}));
}

// Values no dialog would give must still produce a finite, exact tiling.
TEST(Geometry, AbsurdValuesStayInRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, inf, -inf, 1e300, -1e300, -5.0, 4294967296.0}) {
        for (SizeUnit unit : {kPx, kPct, kCount}) {
            for (SizeUnit offsetUnit : {kPx, kPct}) {
                SplitSettings s;
                SetWidth(s, {unit, v, offsetUnit, v});
                SetHeight(s, {unit, v, offsetUnit, v});
                const TileGrid g = ComputeGridCounts(37, 23, s);
                EXPECT_GE(g.offsetX, 0);
                EXPECT_LE(g.offsetX, 37);
                EXPECT_GE(g.tileWidth, 0);
                EXPECT_GE(g.columns, 1);
                int64_t area = 0;
                int count = 0;
                ForEachTile(g, [&](const TileRect& r) {
                    area += int64_t{r.width} * r.height;
                    ++count;
                });
                EXPECT_EQ(count, g.columns * g.rows) << v;
                EXPECT_EQ(area, 37 * 23) << v;
            }
        }
    }
    EXPECT_EQ(ComputeGridCounts(0, 100, SplitSettings{}).columns, 0);
    int visits = 0;
    ForEachTile(ComputeGridCounts(100, 0, SplitSettings{}), [&](const TileRect&) { ++visits; });
    EXPECT_EQ(visits, 0);
}

// The walk must end and tile the image for any grid, even one not made by
// ComputeGridCounts.
TEST(Geometry, HandMadeGridsTerminate) {
    for (int tile : {-5, 0, 1, 7, 1000}) {
        for (int offset : {-3, 0, 4, 50, 1000}) {
            TileGrid g;
            g.imageWidth = g.imageHeight = 50;
            g.tileWidth = g.tileHeight = tile;
            g.offsetX = g.offsetY = offset;
            int64_t area = 0;
            ForEachTile(g, [&](const TileRect& r) {
                ASSERT_GT(r.width, 0);
                ASSERT_GT(r.height, 0);
                area += int64_t{r.width} * r.height;
            });
            EXPECT_EQ(area, 2500) << tile << " " << offset;
        }
    }
}

TEST(Geometry, BoolVisitorStopsEarly) {
    SplitSettings s;
    SetWidth(s, {kPx, 10});
    SetHeight(s, {kPx, 10});
    std::vector<std::pair<int, int>> seen;
    ForEachTile(ComputeGridCounts(30, 30, s), [&](const TileRect& r) {
        seen.emplace_back(r.column, r.row);
        return seen.size() < 4;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {0, 1}}));
}

// Random settings: the tiles cover the image exactly once, come in row order,
// number columns x rows, and agree with TileRectAt.
TEST(Geometry, RandomSettingsTileTheImageExactly) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int iteration = 0; iteration < 400; ++iteration) {
        const int w = pick(1, 90);
        const int h = pick(1, 90);
        auto randomAxis = [&](int size) {
            AxisLayout a;
            a.unit = static_cast<SizeUnit>(pick(0, 2));
            a.value = a.unit == kPct     ? pick(0, 1000) / 10.0
                      : a.unit == kCount ? pick(1, size + 5)
                                         : pick(0, size + 10);
            a.offsetUnit = static_cast<SizeUnit>(pick(0, 1));
            a.offset =
                pick(0, 3) == 0 ? 0 : (a.offsetUnit == kPct ? pick(0, 100) : pick(0, size + 5));
            return a;
        };
        SplitSettings s;
        SetWidth(s, randomAxis(w));
        SetHeight(s, randomAxis(h));
        const TileGrid g = ComputeGridCounts(w, h, s);
        std::vector<int> cover(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
        int count = 0;
        int expectedColumn = 0;
        int expectedRow = 0;
        ForEachTile(g, [&](const TileRect& r) {
            if (r.row != expectedRow) {
                EXPECT_EQ(expectedColumn, g.columns);
                ++expectedRow;
                expectedColumn = 0;
            }
            EXPECT_EQ(r.row, expectedRow);
            EXPECT_EQ(r.column, expectedColumn);
            ++expectedColumn;
            ++count;
            const TileRect at = TileRectAt(g, r.column, r.row);
            EXPECT_EQ(std::tie(at.x, at.y, at.width, at.height),
                      std::tie(r.x, r.y, r.width, r.height));
            for (int y = r.y; y < r.y + r.height; ++y)
                for (int x = r.x; x < r.x + r.width; ++x)
                    ++cover[static_cast<size_t>(y) * static_cast<size_t>(w) +
                            static_cast<size_t>(x)];
        });
        ASSERT_EQ(count, g.columns * g.rows) << "iteration " << iteration;
        for (int c : cover) ASSERT_EQ(c, 1) << "iteration " << iteration;
        EXPECT_EQ(TileRectAt(g, g.columns, 0).width, 0);
        EXPECT_EQ(TileRectAt(g, 0, -1).height, 0);
    }
}

struct AspectCase {
    int width;
    int height;
    double base;
    double derived;
};

class AspectPixels : public testing::TestWithParam<AspectCase> {};

TEST_P(AspectPixels, WidthBase) {
    const AspectCase& c = GetParam();
    SplitSettings s;
    s.adjustAspect = 1;
    s.aspectBaseWidth = 1;
    s.widthValue[0] = c.base;
    s.heightUnit = kCount;
    s.heightValue[1] = 42;
    s.heightValue[2] = 9;
    EXPECT_TRUE(MatchAspect(c.width, c.height, s));
    EXPECT_EQ(s.heightUnit, kPx);
    EXPECT_EQ(s.heightValue[0], c.derived);
    EXPECT_EQ(s.heightValue[1], 42);  // the other units keep their values
    EXPECT_EQ(s.heightValue[2], 9);
}

// The mirror image: swap the image and derive the width from the height.
TEST_P(AspectPixels, HeightBase) {
    const AspectCase& c = GetParam();
    SplitSettings s;
    s.adjustAspect = 1;
    s.aspectBaseWidth = 0;
    s.heightValue[0] = c.base;
    s.widthUnit = kPct;
    EXPECT_TRUE(MatchAspect(c.height, c.width, s));
    EXPECT_EQ(s.widthUnit, kPx);
    EXPECT_EQ(s.widthValue[0], c.derived);
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, AspectPixels,
    testing::Values(AspectCase{400, 300, 100, 75}, AspectCase{300, 400, 100, 133},
                    AspectCase{300, 301, 100, 100}, AspectCase{301, 300, 100, 100},
                    AspectCase{500, 500, 100.7, 100}, AspectCase{100000, 99999, 99999, 99999},
                    AspectCase{100000, 50000, 99999, 50000}),
    [](const testing::TestParamInfo<AspectCase>& c) {
        return std::to_string(c.param.width) + "x" + std::to_string(c.param.height);
    });

TEST(Geometry, AspectCopiesPercentAndCount) {
    SplitSettings s;
    s.adjustAspect = 1;
    s.widthUnit = kPct;
    s.widthValue[1] = 12.5;
    s.heightValue[0] = 77;
    ASSERT_TRUE(MatchAspect(640, 480, s));
    EXPECT_EQ(s.heightUnit, kPct);
    EXPECT_EQ(s.heightValue[1], 12.5);
    EXPECT_EQ(s.heightValue[0], 77);

    s.aspectBaseWidth = 0;
    s.heightUnit = kCount;
    s.heightValue[2] = 6;
    ASSERT_TRUE(MatchAspect(640, 480, s));
    EXPECT_EQ(s.widthUnit, kCount);
    EXPECT_EQ(s.widthValue[2], 6);
    EXPECT_EQ(s.widthValue[1], 12.5);
}

TEST(Geometry, AspectRunsOnlyWhenOnWithAnImage) {
    SplitSettings s;
    s.widthValue[0] = 100;
    EXPECT_FALSE(MatchAspect(400, 300, s));
    EXPECT_EQ(s.heightValue[0], 0);
    s.adjustAspect = 1;
    EXPECT_FALSE(MatchAspect(0, 300, s));
    EXPECT_FALSE(MatchAspect(400, 0, s));
    EXPECT_EQ(s.heightValue[0], 0);
}

}  // namespace
}  // namespace tessarin
