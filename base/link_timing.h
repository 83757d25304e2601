#pragma once

#include <chrono>
#include <cstdint>

namespace vaxo {

using MonotonicTime = std::chrono::steady_clock::time_point;

// The clocks and waits of the encoder link. Tests put a fake clock in place,
// so that a five-second time-out takes no real time.
//
// Threads: the link's thread and the program's loop read the clock at once
// (a send's waits, the loop's hold and budget), so every implementation may
// be called from both; SystemTiming keeps no state.
class LinkTiming {
  public:
    virtual ~LinkTiming() = default;
    // Elapsed time; never jumps when the wall clock is set.
    virtual MonotonicTime Now() = 0;
    // Second of the minute of the wall clock (0..59), for the calibration.
    virtual int SecondOfMinute() = 0;
    virtual void Sleep(std::chrono::milliseconds pause) = 0;
    // The busy-wait of the calibration and the hold: `iterations` turns of
    // one empty loop.
    virtual void Countdown(std::uint32_t iterations) = 0;
};

// The busy loop itself. Both the calibration and the hold run this one
// function, so that an iteration costs the same in both.
void CountdownLoop(std::uint32_t iterations);

class SystemTiming : public LinkTiming {
  public:
    MonotonicTime Now() override;
    int SecondOfMinute() override;
    void Sleep(std::chrono::milliseconds pause) override;
    void Countdown(std::uint32_t iterations) override;
};

}  // namespace vaxo
