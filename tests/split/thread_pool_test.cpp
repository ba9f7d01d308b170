#include "split/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>

namespace tessarin {
namespace {

// A task handed to Run starts while every thread of the pool is busy with a
// task that waits for it: Run never queues it behind them.
TEST(ThreadPool, RunStartsATaskWhileEveryOtherThreadIsBusy) {
    ThreadPool pool;
    std::binary_semaphore ran(0);
    std::counting_semaphore<2> release(0);
    {
        TaskGroup busy(pool);
        for (int i = 0; i < 2; ++i) EXPECT_TRUE(busy.Start([&] { release.acquire(); }, 2));
        EXPECT_TRUE(pool.Run([&] { ran.release(); }));
        // Without a thread of its own the task would wait for ever.
        EXPECT_TRUE(ran.try_acquire_for(std::chrono::minutes(1)));
        release.release(2);
    }
    EXPECT_EQ(pool.Threads(), 3);
}

}  // namespace
}  // namespace tessarin
