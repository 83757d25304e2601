#include "base/serial_worker.h"

#include <utility>

namespace vaxo {

SerialWorker::SerialWorker() : thread_([this] { Run(); }) {}

SerialWorker::~SerialWorker() {
    Stop();
}

void SerialWorker::Post(Job job) {
    {
        const MutexLock lock(mutex_);
        if (stopped_) {
            return;
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SerialWorker::AbandonCurrent() {
    const MutexLock lock(mutex_);
    if (running_) {
        current_.request_stop();
    }
}

void SerialWorker::Stop() {
    {
        const MutexLock lock(mutex_);
        stopped_ = true;
        queue_.clear();
        current_.request_stop();
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool SerialWorker::Busy() const {
    const MutexLock lock(mutex_);
    return running_ || !queue_.empty();
}

void SerialWorker::Run() {
    for (;;) {
        Job job;
        std::stop_token token;
        {
            const MutexLock lock(mutex_);
            wake_.wait(mutex_, [this]() REQUIRES(mutex_) { return stopped_ || !queue_.empty(); });
            if (stopped_) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
            current_ = std::stop_source();
            token = current_.get_token();
            running_ = true;
        }
        job(token);
        const MutexLock lock(mutex_);
        running_ = false;
    }
}

}  // namespace vaxo
