#include "ui/document/background_task.h"

#include <system_error>

namespace tessarin {

BackgroundTask::~BackgroundTask() {
    if (thread_.joinable()) thread_.join();
}

bool BackgroundTask::EndsWithin(std::chrono::milliseconds limit) {
    std::unique_lock lock(handover_, limit);
    return lock.owns_lock();
}

bool BackgroundTask::Start(std::function<void()> work, std::function<void()> done) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();  // finished already: its end has been delivered
    try {
        thread_ = std::thread([this, work = std::move(work), done = std::move(done)] {
            {
                std::lock_guard lock(handover_);
                work();
            }
            // Runs on the GUI thread; dropped if this object is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, done] {
                    { std::lock_guard lock(handover_); }
                    busy_ = false;
                    done();
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
