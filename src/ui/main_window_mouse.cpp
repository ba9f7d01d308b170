// Mouse gestures on the image: right-button swipes and the popup menu, fit on
// the middle button, 1:1 on a left double-click.

#include <QMenu>

#include "ui/command_ids.h"
#include "ui/image_view.h"
#include "ui/main_window.h"

namespace tessarin {

void MainWindow::OnRightPressed(QPoint pos, quint64 timestamp) {
    rightPress_ = RightPress{true, pos.x(), pos.y(), timestamp};
}

void MainWindow::OnRightReleased(QPoint pos, QPoint globalPos, quint64 timestamp) {
    const RightRelease meaning = ClassifyRightRelease(rightPress_, pos.x(), pos.y(), timestamp,
                                                      InSelectionMode(), splitRunning_);
    rightPress_.pending = false;
    switch (meaning) {
        case RightRelease::Popup:
            PopupMenu()->popup(globalPos);
            break;
        case RightRelease::NextFile:
            OnCommand(cmd::kNextFile);
            break;
        case RightRelease::PreviousFile:
            OnCommand(cmd::kPreviousFile);
            break;
        case RightRelease::Nothing:
            break;
    }
}

void MainWindow::OnMiddleReleased() {
    zoom_.steps = FitZoomSteps(view_->width(), view_->height(), image_.width, image_.height,
                               settings_.scaleChangeRate);
    ApplyZoom();
}

void MainWindow::OnLeftDoubleClicked() {
    zoom_.steps = 0;
    ApplyZoom();
}

}  // namespace tessarin
