#pragma once
// The viewer's mouse modes as small tools. At each press of the left or the
// right button the viewer picks one from what lies under the pointer and the
// mode it is in, hands it the moves and the release, and drops it: a left
// drag scrolls the image or drags the cut line under the press, a right drag
// in selection mode inverts the tiles under a rectangle, and any other right
// press is a swipe to the next or previous file or a click for the menu.

#include <QPoint>
#include <QtGlobal>

#include "ui/view/right_button.h"
#include "ui/view/selection_gestures.h"

namespace tessarin {

class ViewerWidget;

class ViewTool {
  public:
    explicit ViewTool(ViewerWidget& view) : view_(view) {}
    virtual ~ViewTool() = default;
    ViewTool(const ViewTool&) = delete;
    ViewTool& operator=(const ViewTool&) = delete;

    virtual void Press(QPoint pos, quint64 time) = 0;
    virtual void Move(QPoint pos) = 0;
    // The button came up at `pos` (`globalPos` on the screen).
    virtual void Release(QPoint pos, QPoint globalPos, quint64 time) = 0;
    // The button came up where the view did not see it (a popup took the mouse).
    virtual void Abandon() = 0;
    // The rectangle the overlay shows while the tool runs, or null.
    virtual const SelectionRectF* Rectangle() const { return nullptr; }

  protected:
    ViewerWidget& view_;
};

// A left drag. In selection mode a short one is also a click on the overlay.
class LeftDragTool : public ViewTool {
  public:
    using ViewTool::ViewTool;
    void Press(QPoint pos, quint64 time) override;
    void Release(QPoint pos, QPoint globalPos, quint64 time) override;
    void Abandon() override { End(); }

  protected:
    // The selection map follows the grid the drag may have changed.
    virtual void End();

  private:
    QPoint pressPos_;
    quint64 pressTime_ = 0;
};

class ScrollTool : public LeftDragTool {
  public:
    using LeftDragTool::LeftDragTool;
    void Move(QPoint pos) override;
};

// Drags the cut line of `kind` (a hit test's result) for the whole drag.
class CutLineTool : public LeftDragTool {
  public:
    CutLineTool(ViewerWidget& view, int kind) : LeftDragTool(view), kind_(kind) {}
    void Move(QPoint pos) override;

  protected:
    // The settings are saved once per drag, not at every move.
    void End() override;

  private:
    int kind_;
    bool edited_ = false;
};

// A right press: what its release means goes to the window.
class SwipeTool : public ViewTool {
  public:
    using ViewTool::ViewTool;
    void Press(QPoint pos, quint64 time) override;
    void Move(QPoint) override {}
    void Release(QPoint pos, QPoint globalPos, quint64 time) override;
    void Abandon() override {}

  protected:
    RightRelease Classify(QPoint pos, quint64 time) const;

  private:
    RightPress press_;
};

// A right press in selection mode: the rectangle selection, and still the menu.
class RectangleSelectTool : public SwipeTool {
  public:
    using SwipeTool::SwipeTool;
    void Press(QPoint pos, quint64 time) override;
    void Move(QPoint pos) override;
    void Release(QPoint pos, QPoint globalPos, quint64 time) override;
    void Abandon() override { FinishRectangle(true); }
    const SelectionRectF* Rectangle() const override;

  private:
    // Keeps the rectangle's result or puts the flags back; the rectangle
    // disappears either way.
    void FinishRectangle(bool keep);

    RectangleSelection rectangle_;
    bool dragging_ = false;
};

}  // namespace tessarin
