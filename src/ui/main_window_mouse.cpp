// Right-button gestures on the image: swipes to the next or previous file,
// the end of a rectangle selection, and the popup menu.

#include <QMenu>

#include "ui/command_ids.h"
#include "ui/main_window.h"
#include "ui/viewer_widget.h"

namespace tessarin {

void MainWindow::OnRightPressed(QPoint pos, quint64 timestamp) {
    rightPress_ = RightPress{true, pos.x(), pos.y(), timestamp};
}

void MainWindow::OnRightReleased(QPoint pos, QPoint globalPos, quint64 timestamp) {
    const RightRelease meaning = ClassifyRightRelease(rightPress_, pos.x(), pos.y(), timestamp,
                                                      InSelectionMode(), controller_->Busy());
    rightPress_.pending = false;
    // In selection mode a click shows the menu and undoes what the press
    // began; anything longer keeps the rectangle's selection.
    if (InSelectionMode()) view_->FinishRectangleSelection(meaning != RightRelease::Popup);
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

}  // namespace tessarin
