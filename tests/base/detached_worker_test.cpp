// A worker whose owner never waits: jobs run in order on one thread, and
// dropping the worker while a job is stuck returns at once, drops what was
// queued, and lets the stuck job finish later.
#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "base/detached_worker.h"

namespace vaxo {
namespace {

TEST(DetachedWorkerTest, RunsJobsInOrderAndLeavesAStuckOneBehindWithoutWaiting) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> stuckStarted;
    std::promise<std::thread::id> stuckEnded;
    auto order = std::make_shared<std::vector<int>>();
    std::promise<void> thirdRan;
    {
        DetachedWorker worker;
        worker.Post([order] { order->push_back(1); });
        worker.Post([order] { order->push_back(2); });
        worker.Post([order, &thirdRan] {
            order->push_back(3);
            thirdRan.set_value();
        });
        thirdRan.get_future().wait();
        EXPECT_EQ(*order, (std::vector<int>{1, 2, 3}));

        worker.Post([&stuckStarted, &stuckEnded, released] {
            stuckStarted.set_value();
            released.wait();
            stuckEnded.set_value(std::this_thread::get_id());
        });
        worker.Post([order] { order->push_back(4); });
        stuckStarted.get_future().wait();
    }  // returns although the job is stuck
    release.set_value();
    EXPECT_NE(stuckEnded.get_future().get(), std::this_thread::get_id());
    EXPECT_EQ(*order, (std::vector<int>{1, 2, 3})) << "the queued job was dropped";
}

}  // namespace
}  // namespace vaxo
