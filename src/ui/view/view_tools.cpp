#include "ui/view/view_tools.h"

#include <cstdlib>

#include "ui/view/cut_lines.h"
#include "ui/view/viewer_widget.h"

namespace tessarin {

void LeftDragTool::Press(QPoint pos, quint64 time) {
    pressPos_ = pos;
    pressTime_ = time;
    view_.model_.BeginDrag(pos.x(), pos.y());
}

void LeftDragTool::Release(QPoint pos, QPoint, quint64 time) {
    if (view_.InSelectionMode() && std::abs(pos.x() - pressPos_.x()) < kClickSlop &&
        std::abs(pos.y() - pressPos_.y()) < kClickSlop)
        view_.StartClickTimer(pressTime_, pressPos_, time);
    End();
}

void LeftDragTool::End() {
    view_.ResizeSelection();
    view_.pendingRepaint_.stop();
    view_.update();
}

void ScrollTool::Move(QPoint pos) {
    if (view_.model_.DragTo(pos.x(), pos.y())) view_.DragScrollRepaint();
}

void CutLineTool::Move(QPoint pos) {
    if (view_.HasImage() &&
        DragCutLine(kind_, view_.model_, pos.x(), pos.y(), *view_.binding_.settings)) {
        edited_ = true;
        view_.ResizeSelection();
        view_.update();
    }
}

void CutLineTool::End() {
    LeftDragTool::End();
    if (edited_) emit view_.splitSettingsEdited();
}

void SwipeTool::Press(QPoint pos, quint64 time) {
    press_ = RightPress{true, pos.x(), pos.y(), time};
}

RightRelease SwipeTool::Classify(QPoint pos, quint64 time) const {
    return ClassifyRightRelease(press_, pos.x(), pos.y(), time, view_.InSelectionMode(),
                                view_.SplitRunning());
}

void SwipeTool::Release(QPoint pos, QPoint globalPos, quint64 time) {
    emit view_.rightGesture(Classify(pos, time), globalPos);
}

void RectangleSelectTool::Press(QPoint pos, quint64 time) {
    SwipeTool::Press(pos, time);
    view_.LayOverlay(view_.Grid());
    rectangle_.Start(view_.overlay_, view_.model_.Scale(), *view_.binding_.selection, pos.x(),
                     pos.y());
    dragging_ = true;
}

void RectangleSelectTool::Move(QPoint pos) {
    if (!dragging_ || !view_.InSelectionMode()) return;
    view_.LayOverlay(view_.Grid());
    rectangle_.Update(view_.overlay_, view_.model_.Scale(), *view_.binding_.selection, pos.x(),
                      pos.y());
    view_.update();
}

void RectangleSelectTool::Release(QPoint pos, QPoint globalPos, quint64 time) {
    const RightRelease meaning = Classify(pos, time);
    // A click shows the menu and undoes what the press began; anything
    // longer keeps the rectangle's selection.
    FinishRectangle(meaning != RightRelease::Popup);
    emit view_.rightGesture(meaning, globalPos);
}

const SelectionRectF* RectangleSelectTool::Rectangle() const {
    return rectangle_.Active() ? &rectangle_.Rect() : nullptr;
}

void RectangleSelectTool::FinishRectangle(bool keep) {
    SelectionMap* map = view_.binding_.selection;
    if (map && map->IsActive())
        rectangle_.Finish(keep, *map);
    else
        rectangle_ = RectangleSelection{};
    dragging_ = false;
    view_.update();
}

}  // namespace tessarin
