#include "base/detached_worker.h"

#include <condition_variable>
#include <deque>
#include <thread>
#include <utility>

#include "base/mutex.h"

namespace vaxo {

struct DetachedWorker::State {
    Mutex mutex;
    std::condition_variable_any wake;
    std::deque<Job> queue GUARDED_BY(mutex);
    bool stopped GUARDED_BY(mutex) = false;

    void Run() {
        for (;;) {
            Job job;
            {
                const MutexLock lock(mutex);
                wake.wait(mutex, [this]() REQUIRES(mutex) { return stopped || !queue.empty(); });
                if (stopped) {
                    return;
                }
                job = std::move(queue.front());
                queue.pop_front();
            }
            job();
        }
    }
};

DetachedWorker::DetachedWorker() : state_(std::make_shared<State>()) {
    std::thread([state = state_] { state->Run(); }).detach();
}

DetachedWorker::~DetachedWorker() {
    {
        const MutexLock lock(state_->mutex);
        state_->stopped = true;
        state_->queue.clear();
    }
    state_->wake.notify_all();
}

void DetachedWorker::Post(Job job) {
    {
        const MutexLock lock(state_->mutex);
        state_->queue.push_back(std::move(job));
    }
    state_->wake.notify_one();
}

}  // namespace vaxo
