#include "split/block_grid.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/command_mode.h"
#include "split/split_checks.h"

namespace tessarin {
namespace {

// Offsets and sizes as the command mode writes them: "13 3 10% 7n" is
// /xo 13 /yo 3 /x 10% /y 7n.
SplitSettings Parse(const std::string& text) {
    std::istringstream in(text);
    std::string xo, yo, x, y;
    in >> xo >> yo >> x >> y;
    SplitSettings s;
    ApplyOffsetOption(xo, s.offsetXUnit, s.offsetXValue);
    ApplyOffsetOption(yo, s.offsetYUnit, s.offsetYValue);
    ApplySizeOption(x, s.widthUnit, s.widthValue);
    ApplySizeOption(y, s.heightUnit, s.heightValue);
    return s;
}

std::string Describe(const SplitSettings& s) {
    std::ostringstream out;
    out.precision(9);
    auto put = [&](SizeUnit unit, const double* values) {
        out << values[UnitIndex(unit)]
            << (unit == SizeUnit::Percent ? "%"
                : unit == SizeUnit::Count ? "n"
                                          : "")
            << " ";
    };
    put(s.offsetXUnit, s.offsetXValue);
    put(s.offsetYUnit, s.offsetYValue);
    put(s.widthUnit, s.widthValue);
    put(s.heightUnit, s.heightValue);
    return out.str();
}

// Every unit on a 100 x 60 image with 16 x 8 blocks: the nearest block, at
// least one, the unit kept only where it gives the size exactly, and the
// grid aligned afterwards.
TEST(BlockGridSnap, EachUnitComesToTheNearestBlockAndKeepsItsUnitWhenItCan) {
    const struct {
        const char *before, *after;
    } cases[] = {
        {"13 3 23 13", "16 8 16 16 "},  // pixels; offsets first, sizes after them
        {"5 1 1 3", "16 8 16 8 "},      // below one block: one block
        {"0 0 0 0", "0 0 0 0 "},        // no offset, no split: nothing to move
        {"32 60 90 5", "32 60 90 5 "},  // on the grid or reaching the edge
        {"10% 10% 30% 1%", "16% 13.333333% 32% 13.333333% "},
        {"0 0 3n 7n", "0 0 32 8n "},  // 4 tiles would be 25 px: pixels
        {"20 0 5n 0", "16 0 16 0 "},  // 84 px left: 6 tiles are 14 px
    };
    for (const auto& c : cases) {
        SplitSettings s = Parse(c.before);
        EXPECT_EQ(SnapToBlockGrid(100, 60, BlockGrid{16, 8}, s),
                  std::string(c.before) + " " != c.after);
        EXPECT_EQ(Describe(s), c.after) << c.before;
        EXPECT_TRUE(CheckGridAlignment(100, 60, s, BlockGrid{16, 8}).All()) << c.before;
    }
}

// Off-grid values are found and snapped, after which a lossless split asks
// nothing, also on an 8 x 8 grid where the fixed 16-pixel rule alone would.
TEST(BlockGridSnap, SnappedSettingsAskNothing) {
    struct Recorder final : SplitAsker {
        bool AskYesNo(const std::string&) override { return ++asked, true; }
        void Tell(const std::string&) override {}
        int asked = 0;
    };
    for (const BlockGrid block : {BlockGrid{8, 8}, BlockGrid{16, 16}, BlockGrid{32, 8}}) {
        SCOPED_TRACE(block.width);
        SplitSettings s = Parse("11 7 97 61");  // 11 becomes 8 on an 8 x 8 grid
        s.formatOptions.Set("OPTION", "CORRECT_CUT", false);
        const GridAlignment before = CheckGridAlignment(1000, 700, s, block);
        EXPECT_FALSE(before.offsetX || before.offsetY || before.tileWidth || before.tileHeight);
        ASSERT_TRUE(SnapToBlockGrid(1000, 700, block, s));
        Recorder asker;
        EXPECT_TRUE(CheckJpegLosslessAlignment(s, asker, block));
        EXPECT_EQ(asker.asked, 0);
        EXPECT_FALSE(SnapToBlockGrid(1000, 700, block, s));
    }
}

}  // namespace
}  // namespace tessarin
