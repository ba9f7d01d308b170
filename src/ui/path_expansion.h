#pragma once
// Replacing the folders of a drop by their files without blocking the
// window: a folder of ten thousand files is listed on a thread of its own,
// and the list comes back to the GUI thread.

#include <QObject>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessarin {

class PathExpansion : public QObject {
    Q_OBJECT

  public:
    using Done = std::function<void(std::vector<std::string> paths)>;

    explicit PathExpansion(QObject* parent = nullptr);
    // Waits for a listing in flight; its result is dropped.
    ~PathExpansion() override;

    // Starts ExpandFolders on `paths`; `done` receives the result on the GUI
    // thread. False, with nothing started, while another expansion runs or
    // when no thread can be had.
    bool Start(std::vector<std::string> paths, Done done);

  private:
    std::thread thread_;
    bool busy_ = false;
    Done done_;  // GUI thread only
    // The listing's result, handed over under a lock of our own so that the
    // hand-over does not rest on the event queue's locking alone.
    std::mutex resultMutex_;
    std::vector<std::string> result_;
};

}  // namespace tessarin
