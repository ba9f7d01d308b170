#include "split/thread_pool.h"

namespace tessarin {

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

bool ThreadPool::Reserve(int count) {
    std::lock_guard lock(mutex_);
    try {
        while (static_cast<int>(threads_.size()) < count)
            threads_.emplace_back(&ThreadPool::Work, this);
    } catch (...) {
        return false;  // no thread, or no memory for one
    }
    return true;
}

int ThreadPool::Threads() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(threads_.size());
}

void ThreadPool::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

bool ThreadPool::Run(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        try {
            // Each queued task takes one of the idle threads.
            if (static_cast<size_t>(idle_) <= tasks_.size())
                threads_.emplace_back(&ThreadPool::Work, this);
            tasks_.push_back(std::move(task));
        } catch (...) {
            return false;  // no thread, or no memory for one
        }
    }
    wake_.notify_one();
    return true;
}

void ThreadPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
            --idle_;
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

bool TaskGroup::Start(std::function<void()> task, int threads) {
    int wanted = threads;
    {
        std::lock_guard lock(mutex_);
        if (wanted <= 0) wanted = running_ + 1;
    }
    if (!pool_.Reserve(wanted) && pool_.Threads() == 0) return false;
    try {
        {
            std::lock_guard lock(mutex_);
            ++running_;
        }
        pool_.Post([this, task = std::move(task)] {
            task();
            std::lock_guard lock(mutex_);
            if (--running_ == 0) done_.notify_all();
        });
    } catch (...) {
        std::lock_guard lock(mutex_);
        --running_;
        return false;
    }
    return true;
}

void TaskGroup::Wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
}

}  // namespace tessarin
