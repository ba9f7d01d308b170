// Right-button gestures on the image: swipes to the next or previous file
// and the popup menu.

#include <QMenu>

#include "ui/window/action_handler.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

namespace tessarin {

void MainWindow::OnRightGesture(RightRelease meaning, QPoint globalPos) {
    switch (meaning) {
        case RightRelease::Popup:
            PopupMenu()->popup(globalPos);
            break;
        case RightRelease::NextFile:
            actions_->OnCommand(cmd::kNextFile);
            break;
        case RightRelease::PreviousFile:
            actions_->OnCommand(cmd::kPreviousFile);
            break;
        case RightRelease::Nothing:
            break;
    }
}

}  // namespace tessarin
