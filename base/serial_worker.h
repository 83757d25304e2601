#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace vaxo {

// One thread beside the caller's that runs jobs one at a time, in the order
// they were posted. A job is told through its stop token when it is to be
// abandoned: by AbandonCurrent, or because the worker stops.
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

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::stop_source current_;
    bool running_ = false;
    bool stopped_ = false;
    std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace vaxo
