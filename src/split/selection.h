#pragma once
// Per-tile flags of the output-image selection mode, with a header row and a
// header column. Cell (0, 0) is the header of everything, (0, k) the header of
// tile column k - 1, (j, 0) the header of tile row j - 1, and (j, k) the tile
// in column k - 1, row j - 1; the cell index of (j, k) is j * Stride() + k.
//
// Threads: the map is changed on the GUI thread only. While a split runs the
// tile workers read single flags through IsTileSelected, and the GUI thread
// may still toggle flags (a click during a split changes which later tiles are
// written); the flags are atomics so that this is free of data races. Enter,
// Leave and ResizeSelectionMap reallocate the cells and change the grid size
// the workers read: they must never run while a split runs (the window
// disables the mode toggle and every grid change during a split).

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "settings/split_settings.h"

namespace tessarin {

struct SelectionCell {
    std::atomic<int32_t> flag{0};
};

class SelectionMap {
  public:
    // Starts the mode for a grid of columns x rows with nothing selected. If
    // the map cannot be allocated the mode stays off.
    void Enter(int columns, int rows);
    // Ends the mode; every flag is lost.
    void Leave();
    bool IsActive() const { return active_; }

    // Follows a new grid size. The capacity only grows: tiles that leave the
    // grid keep their flags and return with them. Does nothing when the mode
    // is off. If a larger map cannot be allocated, the old one stays and the
    // grid is limited to it.
    void ResizeSelectionMap(int columns, int rows);
    // Sets every cell under a set header, over the whole capacity.
    void PropagateHeaderFlags();
    // Derives the header flags from the tiles of the current grid, then
    // propagates them.
    void RecomputeHeaderFlags();
    // The single-click action on cell (j, k) of the current grid: the corner
    // flips everything, a header its column or row, a tile itself. Returns
    // whether the cell lies in the grid (the caller repaints).
    bool ToggleSelectionCell(int j, int k);
    // Selected tiles of the current grid.
    int CountSelectedTiles() const;
    // Flag of tile (column, row); false outside the map or when the mode is
    // off. Safe to call from tile workers while the GUI thread toggles flags.
    bool IsTileSelected(int column, int row) const;
    // Copies every flag aside (replacing an older copy) and back. Restoring
    // after the map has grown puts each flag back at its row and column;
    // cells the copy did not cover keep their flags.
    void SnapshotSelection();
    void RestoreSelectionSnapshot();

    int Stride() const { return stride_; }
    int RowCapacity() const { return rowCapacity_; }
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    // Cell (j, k): row j, column k of the map, headers at 0. Both must lie
    // inside the capacity.
    SelectionCell& Cell(int j, int k);
    const SelectionCell& Cell(int j, int k) const;

  private:
    [[nodiscard]] bool Allocate(int rowCapacity, int stride);
    bool Flag(int64_t index) const;
    void SetFlag(int64_t index, bool value);
    void SetAll(bool value);
    int64_t CellCount() const { return static_cast<int64_t>(rowCapacity_) * stride_; }

    bool active_ = false;
    int stride_ = 0;
    int rowCapacity_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    std::unique_ptr<SelectionCell[]> cells_;
    std::vector<uint8_t> snapshot_;
    int snapshotStride_ = 0;
    int snapshotRows_ = 0;
};

}  // namespace tessarin
