#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

namespace vaxo {

// A periodic timer of the loop the program runs on.
class LoopTimer {
  public:
    virtual ~LoopTimer() = default;
    // Counts a full interval from now, again and again, until stopped.
    virtual void Start(std::chrono::milliseconds interval) = 0;
    virtual void Stop() = 0;
};

// The event loop the program runs on: the window's toolkit or the headless
// one. Everything of the program happens on the loop's thread; other threads
// hand work to it with Post.
class CoreHost {
  public:
    virtual ~CoreHost() = default;
    // Runs the task on the loop's thread, after what is already waiting.
    // Safe from any thread.
    virtual void Post(std::function<void()> task) = 0;
    // A timer that calls `fire` on the loop's thread; stopped at first.
    // `purpose` says what it is for ("live text", "radiotext switching",
    // "calibration"), for a loop that shows or names its timers.
    virtual std::unique_ptr<LoopTimer> MakeTimer(std::string_view purpose,
                                                 std::function<void()> fire) = 0;
};

}  // namespace vaxo
