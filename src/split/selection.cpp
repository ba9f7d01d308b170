#include "split/selection.h"

#include <algorithm>
#include <climits>
#include <new>

namespace tessarin {

namespace {

// Tiles are read by workers while the GUI thread writes them, but no other
// memory is published through a flag, so relaxed ordering is enough.
constexpr auto kRelaxed = std::memory_order_relaxed;

// Index of cell (j, k) in a map `stride` cells wide; none of them is negative.
size_t CellIndex(int j, int k, int stride) {
    return static_cast<size_t>(j) * static_cast<size_t>(stride) + static_cast<size_t>(k);
}

}  // namespace

bool SelectionMap::Allocate(int rowCapacity, int stride) {
    const int64_t count = static_cast<int64_t>(rowCapacity) * stride;
    // Cell indices are ints.
    if (rowCapacity < 1 || stride < 1 || count > INT_MAX) return false;
    std::unique_ptr<SelectionCell[]> cells(new (std::nothrow)
                                               SelectionCell[static_cast<size_t>(count)]);
    if (!cells) return false;
    const int keepRows = std::min(rowCapacity, rowCapacity_);
    const int keepColumns = std::min(stride, stride_);
    for (int j = 0; j < keepRows; ++j) {
        for (int k = 0; k < keepColumns; ++k) {
            const SelectionCell& from = cells_[CellIndex(j, k, stride_)];
            SelectionCell& to = cells[CellIndex(j, k, stride)];
            to.flag.store(from.flag.load(kRelaxed), kRelaxed);
        }
    }
    cells_ = std::move(cells);
    rowCapacity_ = rowCapacity;
    stride_ = stride;
    return true;
}

void SelectionMap::Enter(int columns, int rows) {
    Leave();
    columns = std::clamp(columns, 0, INT_MAX - 1);
    rows = std::clamp(rows, 0, INT_MAX - 1);
    if (!Allocate(rows + 1, columns + 1)) {
        Leave();
        return;
    }
    columns_ = columns;
    rows_ = rows;
    active_ = true;
}

void SelectionMap::Leave() {
    active_ = false;
    cells_.reset();
    stride_ = rowCapacity_ = columns_ = rows_ = 0;
    snapshot_.clear();
    snapshot_.shrink_to_fit();
    snapshotStride_ = snapshotRows_ = 0;
}

void SelectionMap::ResizeSelectionMap(int columns, int rows) {
    if (!active_) return;
    columns = std::clamp(columns, 0, INT_MAX - 1);
    rows = std::clamp(rows, 0, INT_MAX - 1);
    const int stride = std::max(stride_, columns + 1);
    const int rowCapacity = std::max(rowCapacity_, rows + 1);
    // When the larger map cannot be had, the old one stays and the grid is
    // limited to it below.
    if (stride != stride_ || rowCapacity != rowCapacity_)
        static_cast<void>(Allocate(rowCapacity, stride));
    columns_ = std::min(columns, stride_ - 1);
    rows_ = std::min(rows, rowCapacity_ - 1);
    PropagateHeaderFlags();
}

bool SelectionMap::Flag(int64_t index) const {
    return cells_[static_cast<size_t>(index)].flag.load(kRelaxed) != 0;
}

void SelectionMap::SetFlag(int64_t index, bool value) {
    cells_[static_cast<size_t>(index)].flag.store(value ? 1 : 0, kRelaxed);
}

void SelectionMap::SetAll(bool value) {
    for (int64_t i = 0, n = CellCount(); i < n; ++i) SetFlag(i, value);
}

void SelectionMap::PropagateHeaderFlags() {
    if (!cells_) return;
    if (Flag(0)) {
        SetAll(true);
        return;
    }
    for (int k = 1; k < stride_; ++k) {
        if (!Flag(k)) continue;
        for (int j = 1; j < rowCapacity_; ++j) SetFlag(static_cast<int64_t>(j) * stride_ + k, true);
    }
    for (int j = 1; j < rowCapacity_; ++j) {
        const int64_t header = static_cast<int64_t>(j) * stride_;
        if (!Flag(header)) continue;
        for (int k = 1; k < stride_; ++k) SetFlag(header + k, true);
    }
}

void SelectionMap::RecomputeHeaderFlags() {
    if (!cells_) return;
    // A header over no tiles at all stays clear, so an empty grid never
    // selects the whole capacity.
    bool all = columns_ > 0 && rows_ > 0;
    for (int k = 1; k <= columns_; ++k) {
        bool set = rows_ > 0;
        for (int j = 1; j <= rows_ && set; ++j) set = Flag(static_cast<int64_t>(j) * stride_ + k);
        SetFlag(k, set);
        all = all && set;
    }
    for (int j = 1; j <= rows_; ++j) {
        const int64_t header = static_cast<int64_t>(j) * stride_;
        bool set = columns_ > 0;
        for (int k = 1; k <= columns_ && set; ++k) set = Flag(header + k);
        SetFlag(header, set);
        all = all && set;
    }
    SetFlag(0, all);
    PropagateHeaderFlags();
}

bool SelectionMap::ToggleSelectionCell(int j, int k) {
    if (!active_ || !cells_ || j < 0 || k < 0 || j > rows_ || k > columns_) return false;
    const int i = j * stride_ + k;
    if (i == 0) {
        SetAll(!Flag(0));
        return true;
    }
    if (i <= columns_) {
        const bool value = !Flag(i);
        for (int64_t at = i, n = CellCount(); at < n; at += stride_) SetFlag(at, value);
    } else if (i % stride_ != 0) {
        SetFlag(i, !Flag(i));
    } else {
        const bool value = !Flag(i);
        for (int column = 0; column < stride_; ++column)
            SetFlag(static_cast<int64_t>(i) + column, value);
    }
    RecomputeHeaderFlags();
    return true;
}

int SelectionMap::CountSelectedTiles() const {
    if (!active_ || !cells_) return 0;
    int count = 0;
    for (int j = 1; j <= rows_; ++j)
        for (int k = 1; k <= columns_; ++k)
            count += Flag(static_cast<int64_t>(j) * stride_ + k) ? 1 : 0;
    return count;
}

bool SelectionMap::IsTileSelected(int column, int row) const {
    if (!active_ || !cells_ || column < 0 || row < 0) return false;
    if (static_cast<int64_t>(column) + 1 >= stride_ ||
        static_cast<int64_t>(row) + 1 >= rowCapacity_)
        return false;
    return Flag((static_cast<int64_t>(row) + 1) * stride_ + column + 1);
}

void SelectionMap::SnapshotSelection() {
    if (!cells_) return;
    const int64_t n = CellCount();
    snapshot_.resize(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) snapshot_[static_cast<size_t>(i)] = Flag(i) ? 1 : 0;
    snapshotStride_ = stride_;
    snapshotRows_ = rowCapacity_;
}

void SelectionMap::RestoreSelectionSnapshot() {
    if (!cells_ || snapshot_.empty()) return;
    // The map may have grown since the snapshot; cells keep their positions.
    const int rows = std::min(snapshotRows_, rowCapacity_);
    const int columns = std::min(snapshotStride_, stride_);
    for (int j = 0; j < rows; ++j)
        for (int k = 0; k < columns; ++k)
            SetFlag(static_cast<int64_t>(j) * stride_ + k,
                    snapshot_[CellIndex(j, k, snapshotStride_)] != 0);
}

SelectionCell& SelectionMap::Cell(int j, int k) { return cells_[CellIndex(j, k, stride_)]; }

const SelectionCell& SelectionMap::Cell(int j, int k) const {
    return cells_[CellIndex(j, k, stride_)];
}

}  // namespace tessarin
