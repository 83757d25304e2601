#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <stop_token>
#include <thread>

#include "base/mutex.h"

namespace vaxo {

// One thread beside the caller's that runs jobs one at a time, in the order
// they were posted. A job is told through its stop token when it is to be
// abandoned: by AbandonCurrent, or because the worker stops. Every member
// may be called from any thread but the worker's own (Stop waits for it).
class SerialWorker {
  public:
    using Job = std::function<void(std::stop_token)>;

    SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;
    // Stops: the running job is asked to give up, queued ones are dropped.
    ~SerialWorker();

    void Post(Job job);
    // Asks the running job, if any, to give up; the queued ones still run.
    void AbandonCurrent();
    // Abandons the running job, drops the queued ones and waits for the
    // thread to end. Posting afterwards does nothing.
    void Stop();
    // Whether a job runs or waits.
    bool Busy() const;

  private:
    void Run();

    mutable Mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Job> queue_ GUARDED_BY(mutex_);
    std::stop_source current_ GUARDED_BY(mutex_);
    bool running_ GUARDED_BY(mutex_) = false;
    bool stopped_ GUARDED_BY(mutex_) = false;
    std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace vaxo
