#pragma once
// Threads a reader may hand part of its work to: the run's own (a split's
// thread pool), so that a run starts its threads once, not for every file.

#include <functional>

namespace tessarin {

class TaskRunner {
  public:
    virtual ~TaskRunner() = default;
    // Runs `task` at once on a thread that runs nothing else meanwhile, so
    // that the caller may wait for it; false, and nothing runs, when no
    // thread can be had. `task` must not throw, and ends before the runner
    // goes.
    virtual bool Run(std::function<void()> task) = 0;
};

}  // namespace tessarin
