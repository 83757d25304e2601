#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/core_host.h"

namespace vaxo::test {

// A loop the test turns by hand: posted work waits until the test runs it,
// and timers only note what the program asks of them (the test fires them,
// or, given a clock, FireDue fires those whose time has come).
class ManualHost : public CoreHost {
  public:
    ManualHost() = default;
    explicit ManualHost(std::function<std::chrono::steady_clock::time_point()> clock)
        : clock_(std::move(clock)) {}

    void Post(std::function<void()> task) override {
        {
            const std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_all();
    }

    std::unique_ptr<LoopTimer> MakeTimer(std::string_view purpose,
                                         std::function<void()> fire) override {
        auto timer = std::make_unique<Timer>(*this, std::string(purpose));
        fires_[std::string(purpose)] = std::move(fire);
        return timer;
    }

    // Runs what is posted, on this thread, until `done` holds; false when
    // that took longer than `limit`, which only guards against a hang: the
    // link's work runs on virtual time, but a busy machine or a sanitizer
    // may take long over it.
    template <typename Done>
    bool RunUntil(Done done, std::chrono::milliseconds limit = std::chrono::minutes(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            RunPending();
            if (done()) {
                return true;
            }
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
                return false;
            }
        }
    }

    std::size_t Pending() {
        const std::lock_guard lock(mutex_);
        return tasks_.size();
    }

    void RunPending() {
        for (;;) {
            std::function<void()> task;
            {
                const std::lock_guard lock(mutex_);
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    void Fire(const std::string& purpose) { fires_.at(purpose)(); }
    // The interval of a running timer, or nothing when it is stopped.
    std::optional<std::chrono::milliseconds> Running(const std::string& purpose) const {
        const auto found = running_.find(purpose);
        return found == running_.end() ? std::nullopt : std::optional(found->second);
    }

    // Fires every running timer whose interval has passed on the clock, in
    // the order they fall due, each again for every interval that passed.
    void FireDue() {
        for (;;) {
            const auto now = clock_();
            std::optional<std::pair<std::chrono::steady_clock::time_point, std::string>> first;
            for (const auto& [purpose, due] : due_) {
                if (due <= now && (!first || due < first->first)) {
                    first = std::pair{due, purpose};
                }
            }
            if (!first) {
                return;
            }
            due_[first->second] = first->first + running_.at(first->second);
            Fire(first->second);
        }
    }

    // "<purpose> <interval ms>" for each start, "<purpose> stop" for each
    // stop of a running timer.
    std::vector<std::string> timerEvents;

  private:
    class Timer : public LoopTimer {
      public:
        Timer(ManualHost& host, std::string purpose) : host_(host), purpose_(std::move(purpose)) {}
        void Start(std::chrono::milliseconds interval) override {
            running_ = true;
            host_.running_[purpose_] = interval;
            if (host_.clock_) {
                host_.due_[purpose_] = host_.clock_() + interval;
            }
            host_.timerEvents.push_back(purpose_ + " " + std::to_string(interval.count()));
        }
        void Stop() override {
            if (running_) {
                host_.timerEvents.push_back(purpose_ + " stop");
            }
            running_ = false;
            host_.running_.erase(purpose_);
            host_.due_.erase(purpose_);
        }

      private:
        ManualHost& host_;
        std::string purpose_;
        bool running_ = false;
    };

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
    std::map<std::string, std::function<void()>> fires_;
    std::map<std::string, std::chrono::milliseconds> running_;
    std::function<std::chrono::steady_clock::time_point()> clock_;
    std::map<std::string, std::chrono::steady_clock::time_point> due_;
};

}  // namespace vaxo::test
