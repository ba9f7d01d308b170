// The ways of asking for images in the window: the open dialog, files and
// folders dropped on it, next and previous file in the folder of the image on
// view. Each builds a list of paths and hands it to StartOpenRequest.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "ui/dialogs/message_presenter.h"
#include "ui/translation.h"
#include "ui/window/main_window.h"
#include "ui/window/path_expansion.h"

namespace tessarin {

namespace {

// The local files and folders of a drop, in drop order; other URLs are left out.
std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

}  // namespace

void MainWindow::RequestOpen(std::vector<std::string> paths) {
    if (openRequestSink_)
        openRequestSink_(std::move(paths));
    else
        StartOpenRequest(std::move(paths));
}

void MainWindow::OpenFileCommand() {
    // Busy while the dialog is up: a drop meanwhile is ignored. A load in
    // hand goes on meanwhile and keeps the window busy itself.
    const bool loading = LoadInHand();
    if (!loading) {
        EnterSplitState();
        controller_->ClearStopRequest();
    }
    OpenFileChoice choice = openFileAsker_(this, openFilterIndex_);
    openFilterIndex_ = choice.filterIndex;
    // The open request enters the busy state again for itself.
    if (!loading) RestoreIdleState();
    if (!choice.paths.empty()) RequestOpen(std::move(choice.paths));
}

void MainWindow::StepFile(StepDirection direction) {
    if (!document_->HasImage()) return;
    std::string target = NeighbourImageFile(document_->Image().path, direction);
    if (!target.empty()) RequestOpen({std::move(target)});
}

// While busy the window refuses drops, so the pointer shows that nothing
// would happen; a load in hand gives way to them.
void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if ((!controller_->Busy() || LoadInHand()) && !DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!controller_->Busy() || LoadInHand())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = DroppedPaths(event->mimeData());
    if ((controller_->Busy() && !LoadInHand()) || paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (LoadInHand())
        StopLoad([this, paths] { StartDrop(paths); });
    else
        StartDrop(std::move(paths));
}

void MainWindow::StartDrop(std::vector<std::string> paths) {
    if (controller_->Busy()) return;
    // Busy from the drop on; listing big folders must not stall the window.
    EnterSplitState();
    controller_->ClearStopRequest();
    if (!expansion_->Start(std::move(paths), [this](std::vector<std::string> files) {
            DropExpanded(std::move(files));
        })) {
        RestoreIdleState();
        messages_->ShowError(this, Tessarin::tr("スレッドの作成に失敗"));
    }
}

void MainWindow::DropExpanded(std::vector<std::string> paths) {
    // F3 while the folders were being listed cancels the drop.
    const bool cancelled = controller_->StopRequested();
    // The open request enters the busy state again for itself; nothing to
    // open (an empty folder) leaves the program idle.
    RestoreIdleState();
    if (!paths.empty() && !cancelled) RequestOpen(std::move(paths));
}

}  // namespace tessarin
