#include "ui/path_expansion.h"

#include <new>
#include <system_error>

#include "split/path_list.h"

namespace tessarin {

PathExpansion::PathExpansion(QObject* parent) : QObject(parent) {}

PathExpansion::~PathExpansion() {
    if (thread_.joinable()) thread_.join();
}

bool PathExpansion::Start(std::vector<std::string> paths, Done done) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();  // finished already: its result has been delivered
    done_ = std::move(done);
    try {
        thread_ = std::thread([this, paths = std::move(paths)] {
            std::vector<std::string> files;
            try {
                files = ExpandFolders(paths);
            } catch (const std::bad_alloc&) {
                // A list that does not fit in memory opens nothing.
                files.clear();
            }
            {
                std::lock_guard lock(resultMutex_);
                result_ = std::move(files);
            }
            // Runs on the GUI thread; dropped if this object is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    std::vector<std::string> files;
                    {
                        std::lock_guard lock(resultMutex_);
                        files.swap(result_);
                    }
                    busy_ = false;
                    done_(std::move(files));
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return false;
    }
    busy_ = true;
    return true;
}

}  // namespace tessarin
