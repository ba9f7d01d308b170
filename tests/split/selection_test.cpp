#include "split/selection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>

namespace tessarin {
namespace {

// Clicks map cell (j, k).
bool Click(SelectionMap& map, int j, int k) { return map.ToggleSelectionCell(j, k); }
bool ClickTile(SelectionMap& map, int column, int row) { return Click(map, row + 1, column + 1); }
bool ClickColumnHeader(SelectionMap& map, int column) { return Click(map, 0, column + 1); }
bool ClickRowHeader(SelectionMap& map, int row) { return Click(map, row + 1, 0); }

// All flags of the capacity, one text row per map row, headers included.
std::string Flags(const SelectionMap& map) {
    std::string text;
    for (int j = 0; j < map.RowCapacity(); ++j) {
        for (int k = 0; k < map.Stride(); ++k) text += map.Cell(j, k).flag.load() ? '1' : '0';
        text += '\n';
    }
    return text;
}

class Selection : public testing::Test {
  protected:
    void Start(int columns, int rows) { map.Enter(columns, rows); }
    void Resize(int columns, int rows) { map.ResizeSelectionMap(columns, rows); }
    SelectionMap map;
};

TEST_F(Selection, EnteringSelectsNothing) {
    Start(3, 2);
    EXPECT_TRUE(map.IsActive());
    EXPECT_EQ(map.Stride(), 4);
    EXPECT_EQ(map.RowCapacity(), 3);
    EXPECT_EQ(map.CountSelectedTiles(), 0);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_FALSE(map.IsTileSelected(c, r));
}

TEST_F(Selection, AllHeaderSelectsAndClearsTheWholeCapacity) {
    Start(3, 2);
    Resize(1, 1);
    EXPECT_TRUE(Click(map, 0, 0));
    EXPECT_EQ(Flags(map), "1111\n1111\n1111\n");
    EXPECT_EQ(map.CountSelectedTiles(), 1);
    EXPECT_TRUE(Click(map, 0, 0));
    EXPECT_EQ(Flags(map), "0000\n0000\n0000\n");
}

TEST_F(Selection, TilesOfAColumnSetItsHeaderAndAllColumnsSetTheAllHeader) {
    Start(3, 2);
    ClickTile(map, 2, 0);
    EXPECT_EQ(Flags(map), "0000\n0001\n0000\n");
    ClickTile(map, 2, 1);
    EXPECT_EQ(Flags(map), "0001\n0001\n0001\n");
    ClickTile(map, 0, 0);
    ClickTile(map, 0, 1);
    ClickTile(map, 1, 0);
    EXPECT_EQ(Flags(map), "0101\n1111\n0101\n");  // row 0 complete: its header too
    ClickTile(map, 1, 1);
    EXPECT_EQ(Flags(map), "1111\n1111\n1111\n");
    EXPECT_EQ(map.CountSelectedTiles(), 6);
    // Clearing one tile clears its row, its column and the all header.
    ClickTile(map, 1, 1);
    EXPECT_EQ(Flags(map), "0101\n1111\n0101\n");
}

TEST_F(Selection, ColumnHeaderWritesDownTheWholeCapacity) {
    Start(3, 4);
    Resize(3, 2);  // rows 2 and 3 now lie outside the grid
    ClickColumnHeader(map, 1);
    EXPECT_EQ(Flags(map), "0010\n0010\n0010\n0010\n0010\n");
    EXPECT_EQ(map.CountSelectedTiles(), 2);
    EXPECT_TRUE(map.IsTileSelected(1, 3));
    ClickColumnHeader(map, 1);
    EXPECT_EQ(Flags(map), "0000\n0000\n0000\n0000\n0000\n");
}

TEST_F(Selection, RowHeaderWritesTheWholeMapRow) {
    Start(4, 2);
    Resize(2, 2);
    ClickRowHeader(map, 1);
    EXPECT_EQ(Flags(map), "00000\n00000\n11111\n");
    EXPECT_EQ(map.CountSelectedTiles(), 2);
    ClickRowHeader(map, 0);
    // Both rows complete: every column header of the grid, then everything.
    EXPECT_EQ(Flags(map), "11111\n11111\n11111\n");
    // Clearing row 1 recomputes the headers of the grid's columns only: the
    // headers of columns 2 and 3, outside the grid, stay set and propagate.
    ClickRowHeader(map, 1);
    EXPECT_EQ(Flags(map), "00011\n11111\n00011\n");
    EXPECT_EQ(map.CountSelectedTiles(), 2);
}

TEST_F(Selection, HeadersFollowTheCurrentGridOnly) {
    Start(3, 2);
    Resize(2, 2);
    ClickTile(map, 0, 0);
    ClickTile(map, 0, 1);
    // Column 0 is complete in the grid; tile (2, 1) outside it plays no part.
    EXPECT_EQ(Flags(map), "0100\n0100\n0100\n");
}

TEST_F(Selection, ShrinkingAndGrowingKeepsFlags) {
    Start(3, 2);
    ClickTile(map, 2, 1);
    Resize(2, 2);
    EXPECT_EQ(map.CountSelectedTiles(), 0);
    EXPECT_EQ(map.Stride(), 4);
    Resize(3, 2);
    EXPECT_TRUE(map.IsTileSelected(2, 1));
    EXPECT_EQ(map.CountSelectedTiles(), 1);
}

TEST_F(Selection, GrowingKeepsPositionsAndPropagatesHeaders) {
    Start(2, 3);
    ClickTile(map, 1, 2);
    ClickRowHeader(map, 0);
    EXPECT_EQ(Flags(map), "000\n111\n000\n001\n");
    Resize(4, 4);
    EXPECT_EQ(map.Stride(), 5);
    EXPECT_EQ(map.RowCapacity(), 5);
    // Row 0's header reaches the new columns; tile (1, 2) stays where it was.
    EXPECT_EQ(Flags(map), "00000\n11111\n00000\n00100\n00000\n");
    EXPECT_EQ(map.CountSelectedTiles(), 5);
    Resize(2, 6);
    EXPECT_EQ(map.Stride(), 5);
    EXPECT_EQ(map.RowCapacity(), 7);
    EXPECT_TRUE(map.IsTileSelected(3, 0));
    EXPECT_TRUE(map.IsTileSelected(1, 2));
    EXPECT_FALSE(map.IsTileSelected(1, 5));
    // A column header set before a growth reaches the new rows.
    ClickColumnHeader(map, 0);
    Resize(2, 8);
    EXPECT_TRUE(map.IsTileSelected(0, 7));
    EXPECT_FALSE(map.IsTileSelected(1, 7));
}

TEST_F(Selection, ClicksOutsideTheGridChangeNothing) {
    Start(4, 3);
    ClickTile(map, 1, 1);
    Resize(2, 1);
    const std::string before = Flags(map);
    for (auto [j, k] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{0, 3}, std::pair{2, 1},
                        std::pair{3, 1}, std::pair{INT_MAX, INT_MAX}})
        EXPECT_FALSE(Click(map, j, k)) << j << "," << k;
    EXPECT_EQ(Flags(map), before);
}

TEST_F(Selection, SnapshotRestoresFlags) {
    Start(3, 2);
    ClickTile(map, 0, 0);
    map.SnapshotSelection();
    ClickTile(map, 1, 1);
    ClickColumnHeader(map, 2);
    map.RestoreSelectionSnapshot();
    EXPECT_EQ(Flags(map), "0000\n0100\n0000\n");
    // A snapshot older than a growth of the map restores by position; cells
    // it did not cover keep their flags.
    ClickTile(map, 2, 1);
    map.SnapshotSelection();
    Resize(5, 3);
    ClickTile(map, 2, 1);
    ClickTile(map, 4, 2);
    map.RestoreSelectionSnapshot();
    EXPECT_TRUE(map.IsTileSelected(2, 1));
    EXPECT_TRUE(map.IsTileSelected(4, 2));
}

TEST_F(Selection, OutOfRangeAndInactive) {
    EXPECT_FALSE(map.IsTileSelected(0, 0));
    EXPECT_FALSE(Click(map, 0, 0));
    map.ResizeSelectionMap(3, 3);  // mode off: nothing happens
    EXPECT_FALSE(map.IsActive());
    EXPECT_EQ(map.Stride(), 0);

    Start(2, 2);
    Click(map, 0, 0);
    EXPECT_FALSE(map.IsTileSelected(-1, 0));
    EXPECT_FALSE(map.IsTileSelected(0, -1));
    EXPECT_FALSE(map.IsTileSelected(2, 0));
    EXPECT_FALSE(map.IsTileSelected(0, 2));
    EXPECT_FALSE(map.IsTileSelected(INT_MAX, INT_MAX));
    map.Leave();
    EXPECT_FALSE(map.IsActive());
    EXPECT_FALSE(map.IsTileSelected(0, 0));
    Start(2, 2);
    EXPECT_EQ(map.CountSelectedTiles(), 0);
}

// A grid too large for a map leaves the mode off, or the old map in place.
TEST_F(Selection, HugeGridsAreRefused) {
    map.Enter(100000, 100000);
    EXPECT_FALSE(map.IsActive());
    map.Enter(INT_MAX, INT_MAX);
    EXPECT_FALSE(map.IsActive());
    Start(2, 2);
    ClickTile(map, 1, 1);
    map.ResizeSelectionMap(INT_MAX, INT_MAX);
    EXPECT_EQ(map.Stride(), 3);
    EXPECT_EQ(map.Columns(), 2);
    EXPECT_EQ(map.Rows(), 2);
    EXPECT_TRUE(map.IsTileSelected(1, 1));
}

TEST_F(Selection, EmptyGridSelectsNothing) {
    Start(0, 0);
    map.RecomputeHeaderFlags();
    EXPECT_EQ(Flags(map), "0\n");
    EXPECT_EQ(map.CountSelectedTiles(), 0);
}

// A worker reads flags while the GUI thread clicks: no data race (run under
// ThreadSanitizer), and every read sees one of the two values.
TEST_F(Selection, WorkerReadsWhileTheGuiToggles) {
    Start(6, 5);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread worker([&] {
        while (!done.load()) {
            for (int r = 0; r < 5; ++r)
                for (int c = 0; c < 6; ++c) reads += map.IsTileSelected(c, r) ? 1 : 0;
        }
    });
    for (int i = 0; i < 3000; ++i) {
        switch (i % 4) {
            case 0:
                ClickTile(map, i % 6, i % 5);
                break;
            case 1:
                ClickColumnHeader(map, i % 6);
                break;
            case 2:
                ClickRowHeader(map, i % 5);
                break;
            default:
                Click(map, 0, 0);
                break;
        }
    }
    done = true;
    worker.join();
    SUCCEED() << reads.load();
}

}  // namespace
}  // namespace tessarin
