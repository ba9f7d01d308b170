#include "split/block_grid.h"

#include <gtest/gtest.h>

#include "split/geometry.h"
#include "split/split_checks.h"

namespace tessarin {
namespace {

// One axis of settings: its unit and the value of that unit.
struct Value {
    SizeUnit unit;
    double value;
};

void Set(SizeUnit& unit, double* values, Value v) {
    unit = v.unit;
    values[UnitIndex(v.unit)] = v.value;
}

// Every unit, with values below one block, on the grid, at the edge and 0,
// snapped on a 100 x 60 image with a 16 x 8 grid. The oracle: the unit and
// value the settings hold afterwards, the grid they give lying on the block
// grid, and nothing else changing.
TEST(BlockGridSnap, EachUnitComesToTheNearestBlockAndKeepsItsUnitWhenItCan) {
    struct Case {
        const char* name;
        Value offsetX, offsetY, width, height;  // before
        Value expectOffsetX, expectOffsetY, expectWidth, expectHeight;
        bool changed;
    };
    const Value px0{SizeUnit::Pixel, 0};
    const Case cases[] = {
        {"pixels to the nearest multiple",
         {SizeUnit::Pixel, 13},
         {SizeUnit::Pixel, 3},
         {SizeUnit::Pixel, 23},
         {SizeUnit::Pixel, 13},
         {SizeUnit::Pixel, 16},
         {SizeUnit::Pixel, 8},
         {SizeUnit::Pixel, 16},
         {SizeUnit::Pixel, 16},
         true},
        {"below one block: one block, never 0",
         {SizeUnit::Pixel, 5},
         {SizeUnit::Pixel, 1},
         {SizeUnit::Pixel, 1},
         {SizeUnit::Pixel, 3},
         {SizeUnit::Pixel, 16},
         {SizeUnit::Pixel, 8},
         {SizeUnit::Pixel, 16},
         {SizeUnit::Pixel, 8},
         true},
        {"0 stays: no offset, no split", px0, px0, px0, px0, px0, px0, px0, px0, false},
        {"on the grid or reaching the edge: unchanged",
         {SizeUnit::Pixel, 32},
         {SizeUnit::Pixel, 60},
         {SizeUnit::Pixel, 90},
         {SizeUnit::Pixel, 5},
         {SizeUnit::Pixel, 32},
         {SizeUnit::Pixel, 60},
         {SizeUnit::Pixel, 90},
         {SizeUnit::Pixel, 5},
         false},
        // 10 % of 100 is 10 px -> 16 px = 16 %; 10 % of 60 is 6 px -> 8 px, and
        // ceil(60 * 13.333333 / 100) = 8.
        {"percent kept when a percent gives the size",
         {SizeUnit::Percent, 10},
         {SizeUnit::Percent, 10},
         {SizeUnit::Percent, 30},
         {SizeUnit::Percent, 1},
         {SizeUnit::Percent, 16},
         {SizeUnit::Percent, 13.333333},
         {SizeUnit::Percent, 32},
         {SizeUnit::Percent, 13.333333},
         true},
        // 3 tiles across 100 px are 34 px -> 32 px, which 4 tiles do not give
        // (25 px): pixels. 7 tiles down 60 px are 9 px -> 8 px = 8 tiles.
        {"count kept when a count gives the size, else pixels",
         px0,
         px0,
         {SizeUnit::Count, 3},
         {SizeUnit::Count, 7},
         px0,
         px0,
         {SizeUnit::Pixel, 32},
         {SizeUnit::Count, 8},
         true},
        // The count divides what the snapped offset strip leaves: 100 - 16 =
        // 84 in 5 tiles is 17 px -> 16 px, which 6 tiles give (ceil(84/6) = 14:
        // no), so pixels.
        {"count after the snapped offset",
         {SizeUnit::Pixel, 20},
         px0,
         {SizeUnit::Count, 5},
         px0,
         {SizeUnit::Pixel, 16},
         px0,
         {SizeUnit::Pixel, 16},
         px0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SplitSettings s;
        s.widthValue[UnitIndex(SizeUnit::Percent)] = 7;  // unused values stay as they are
        Set(s.offsetXUnit, s.offsetXValue, c.offsetX);
        Set(s.offsetYUnit, s.offsetYValue, c.offsetY);
        Set(s.widthUnit, s.widthValue, c.width);
        Set(s.heightUnit, s.heightValue, c.height);
        SplitSettings expected = s;
        Set(expected.offsetXUnit, expected.offsetXValue, c.expectOffsetX);
        Set(expected.offsetYUnit, expected.offsetYValue, c.expectOffsetY);
        Set(expected.widthUnit, expected.widthValue, c.expectWidth);
        Set(expected.heightUnit, expected.heightValue, c.expectHeight);

        EXPECT_EQ(SnapToBlockGrid(100, 60, BlockGrid{16, 8}, s), c.changed);
        EXPECT_EQ(s.offsetXUnit, expected.offsetXUnit);
        EXPECT_EQ(s.offsetYUnit, expected.offsetYUnit);
        EXPECT_EQ(s.widthUnit, expected.widthUnit);
        EXPECT_EQ(s.heightUnit, expected.heightUnit);
        for (int i = 0; i < 2; ++i) {
            EXPECT_DOUBLE_EQ(s.offsetXValue[i], expected.offsetXValue[i]) << i;
            EXPECT_DOUBLE_EQ(s.offsetYValue[i], expected.offsetYValue[i]) << i;
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_DOUBLE_EQ(s.widthValue[i], expected.widthValue[i]) << i;
            EXPECT_DOUBLE_EQ(s.heightValue[i], expected.heightValue[i]) << i;
        }
        EXPECT_TRUE(CheckGridAlignment(100, 60, s, BlockGrid{16, 8}).All());
    }
}

// What the window shows and asks: off-grid values are found, a snap puts them
// on the grid, and then the questions before a lossless split are not asked,
// also on an 8 x 8 grid where the fixed 16-pixel rule alone would ask.
TEST(BlockGridSnap, SnappedSettingsAreAlignedAndAskNothing) {
    struct Recorder final : SplitAsker {
        bool AskYesNo(const std::string&) override { return ++asked, true; }
        void Tell(const std::string&) override {}
        int asked = 0;
    };
    for (const BlockGrid block : {BlockGrid{8, 8}, BlockGrid{16, 16}, BlockGrid{32, 8}}) {
        SCOPED_TRACE(block.width);
        SplitSettings s;
        s.correctCut = false;
        s.offsetXValue[0] = 11;  // 8 on an 8 x 8 grid, where the 16-pixel rule would ask
        s.offsetYValue[0] = 7;
        s.widthValue[0] = 97;
        s.heightValue[0] = 61;
        const GridAlignment before = CheckGridAlignment(1000, 700, s, block);
        EXPECT_FALSE(before.offsetX || before.offsetY || before.tileWidth || before.tileHeight);
        ASSERT_TRUE(SnapToBlockGrid(1000, 700, block, s));
        EXPECT_TRUE(CheckGridAlignment(1000, 700, s, block).All());
        Recorder asker;
        EXPECT_TRUE(CheckJpegLosslessAlignment(s, asker, block));
        EXPECT_EQ(asker.asked, 0);
        EXPECT_FALSE(SnapToBlockGrid(1000, 700, block, s));  // a second snap changes nothing
    }
}

}  // namespace
}  // namespace tessarin
