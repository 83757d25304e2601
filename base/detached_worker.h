#pragma once

#include <functional>
#include <memory>

namespace vaxo {

// One thread that runs jobs one at a time, in the order they were posted,
// and that its owner never waits for: a job stuck in a system call (a read
// from a mount that stopped answering) keeps only the thread, which ends
// once the job comes back. The thread lives as long as the worker, so a
// job costs no thread of its own.
class DetachedWorker {
  public:
    using Job = std::function<void()>;

    DetachedWorker();
    DetachedWorker(const DetachedWorker&) = delete;
    DetachedWorker& operator=(const DetachedWorker&) = delete;
    // Drops the queued jobs; the running one finishes on its own.
    ~DetachedWorker();

    void Post(Job job);

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace vaxo
