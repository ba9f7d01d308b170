#include "ui/view/selection_gestures.h"

#include <algorithm>

#include "ui/view/view_model.h"

namespace tessarin {

int SingleClickDelay(int doubleClickInterval, uint64_t pressTime, uint64_t now) {
    const int64_t wait =
        int64_t{doubleClickInterval} + static_cast<int64_t>(pressTime) - static_cast<int64_t>(now);
    if (wait <= -10) return 0;
    return static_cast<int>(std::min<int64_t>(wait + 10, 60000));
}

bool ToggleSelectionAt(const OverlayLayout& layout, SelectionMap& map, int x, int y) {
    const auto cell = layout.HitTest(x, y);
    return cell && map.ToggleSelectionCell(cell->first, cell->second);
}

void RectangleSelection::Start(const OverlayLayout& layout, double scale, SelectionMap& map, int x,
                               int y) {
    if (layout.Empty()) return;
    map.SnapshotSelection();
    startX_ = SaturateToInt((static_cast<double>(x) - layout.Columns().Low(1)) / scale);
    startY_ = SaturateToInt((static_cast<double>(y) - layout.Rows().Low(1)) / scale);
    active_ = true;
}

void RectangleSelection::Update(const OverlayLayout& layout, double scale, SelectionMap& map, int x,
                                int y) {
    if (!active_ || layout.Empty()) return;
    const AxisCells& columns = layout.Columns();
    const AxisCells& rows = layout.Rows();
    const int sx = SaturateToInt(startX_ * scale + columns.Low(1));
    const int sy = SaturateToInt(startY_ * scale + rows.Low(1));
    const int left = std::min(sx, x), right = std::max(sx, x);
    const int top = std::min(sy, y), bottom = std::max(sy, y);
    rect_ = {static_cast<float>(left), static_cast<float>(top),
             static_cast<float>(int64_t{right} - left + 1),
             static_cast<float>(int64_t{bottom} - top + 1)};
    map.RestoreSelectionSnapshot();
    if (right < columns.Low(1) || left > columns.High(columns.Count()) || bottom < rows.Low(1) ||
        top > rows.High(rows.Count()))
        return;
    auto reaching = [](const AxisCells& axis, int at) {
        const int k = axis.FirstReaching(at);
        return k == 0 ? axis.Count() : k;
    };
    const int k1 = reaching(columns, left), k2 = reaching(columns, right);
    const int j1 = reaching(rows, top), j2 = reaching(rows, bottom);
    for (int j = j1; j <= j2; ++j)
        for (int k = k1; k <= k2; ++k) {
            auto& flag = map.Cell(j, k).flag;
            flag.store(flag.load(std::memory_order_relaxed) ? 0 : 1, std::memory_order_relaxed);
        }
    map.RecomputeHeaderFlags();
}

void RectangleSelection::Finish(bool keep, SelectionMap& map) {
    if (active_ && !keep) map.RestoreSelectionSnapshot();
    active_ = false;
    rect_ = SelectionRectF{};
}

}  // namespace tessarin
