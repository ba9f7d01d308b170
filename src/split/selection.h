#pragma once
// Per-tile flags of the output-image selection mode, with a header row and a
// header column. Changed on the GUI thread; tile workers read single flags
// while a split runs, so the flags are atomics.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "settings/split_settings.h"

namespace tessarin {

struct SelectionCell {
    std::atomic<int32_t> flag{0};
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class SelectionMap {
public:
    // The grid the map follows: columns and rows of the current image's grid.
    void Enter(int columns, int rows);
    void Leave();
    bool IsActive() const { return active_; }

    void ResizeSelectionMap(int columns, int rows);
    void PropagateHeaderFlags();
    void RecomputeHeaderFlags();
    // Cell index under a point of the view, or -1.
    int HitTestSelection(int x, int y) const;
    // Returns whether a cell was hit (the caller repaints).
    bool ToggleSelectionAt(int x, int y);
    int CountSelectedTiles() const;
    bool IsTileSelected(int column, int row) const;
    void SnapshotSelection();
    void RestoreSelectionSnapshot();

    int Stride() const { return stride_; }
    int RowCapacity() const { return rowCapacity_; }
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    // Cell (j, k): row j, column k of the map, headers at 0.
    SelectionCell& Cell(int j, int k);
    const SelectionCell& Cell(int j, int k) const;
    void SetRect(int j, int k, int left, int top, int right, int bottom);

private:
    bool active_ = false;
    int stride_ = 0;
    int rowCapacity_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    std::unique_ptr<SelectionCell[]> cells_;
    std::vector<uint8_t> snapshot_;
};

}  // namespace tessarin
