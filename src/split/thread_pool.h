#pragma once
// The threads a run's work goes to: the tile workers and the decoding of the
// next band. A run (a batch, one command, one split in the window) makes one
// pool and hands it to every file it cuts, so threads are started once, not
// for every file and band; the pool grows to the most threads asked for at
// once and joins them when it goes.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/task_runner.h"

namespace tessarin {

class ThreadPool final : public TaskRunner {
  public:
    ThreadPool() = default;
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Has at least `count` threads; false when not all could be started
    // (those that were stay).
    bool Reserve(int count);
    int Threads() const;
    // Runs `task` on an idle thread, or on one started for it: a task that
    // other threads wait for (a reader's second decoder) never waits in the
    // queue behind theirs.
    bool Run(std::function<void()> task) override;

  private:
    friend class TaskGroup;
    void Post(std::function<void()> task);
    void Work();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    int idle_ = 0;  // threads waiting for a task
    bool closing_ = false;
};

// Tasks run on a pool and waited for together. The waiting thread never runs
// a task itself, and no task may wait for another, so no order of the queue
// can stall it.
class TaskGroup {
  public:
    explicit TaskGroup(ThreadPool& pool) : pool_(pool) {}
    // Waits for every task it started.
    ~TaskGroup() { Wait(); }
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    // Runs `task` on a thread of the pool, which then has at least `threads`
    // threads (0: one more than the tasks running now); false, and nothing
    // runs, when it has none to give. `task` must not throw.
    bool Start(std::function<void()> task, int threads = 0);
    void Wait();

  private:
    ThreadPool& pool_;
    std::mutex mutex_;
    std::condition_variable done_;
    int running_ = 0;
};

}  // namespace tessarin
