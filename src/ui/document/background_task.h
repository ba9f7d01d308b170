#pragma once
// One piece of work at a time on a thread of its own, whose end is delivered
// on the GUI thread: what the window's loads and folder listings share.

#include <QObject>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace tessarin {

class BackgroundTask : public QObject {
  public:
    explicit BackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for work in flight; its delivery is dropped.
    ~BackgroundTask() override;

    // Runs `work` on a new thread, then `done` on the GUI thread, which sees
    // everything `work` wrote. False, with nothing started, while a task runs
    // or when no thread can be had.
    bool Start(std::function<void()> work, std::function<void()> done);
    bool Busy() const { return busy_; }
    // Whether the work in flight, if any, ends within `limit`.
    bool EndsWithin(std::chrono::milliseconds limit);

  private:
    std::thread thread_;
    bool busy_ = false;  // GUI thread only
    // Held by the work while it runs and taken by the delivery, so that the
    // hand-over does not rest on the event queue's locking alone.
    std::timed_mutex handover_;
};

}  // namespace tessarin
