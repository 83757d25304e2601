#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "base/link_timing.h"
#include "tests/support/fresh_boot.h"

namespace vaxo::test {

// Virtual time for the encoder link: every clock reading, pause and countdown
// advances it, so time-outs of seconds pass in microseconds of real time.
// The link's thread and the loop's read it at once.
//
// Its clock reads as on a machine that booted `uptime` ago (a minute, unless
// a test says otherwise), whatever this machine's own clock reads.
class FakeLinkTiming : public LinkTiming {
  public:
    explicit FakeLinkTiming(std::chrono::nanoseconds uptime = kUptimeAfterBoot)
        : start_(MonotonicTime{} + std::chrono::duration_cast<MonotonicTime::duration>(uptime)) {}

    // A countdown turn costs this much virtual time; 350,001 turns take 10 ms,
    // so a calibration counts about 100 countdowns a second.
    double nanosecondsPerTurn = 10'000'000.0 / 350'001.0;
    // While frozen, clock readings take no time: a wait that polls the clock
    // never times out, and only a stop ends it.
    std::atomic<bool> frozen{false};

    // A clock reading takes time too: 1 µs, and twice as long as the one
    // before (up to 1 ms) while nothing else happens between them, so that a
    // wait of seconds that polls the clock takes thousands of readings, not
    // millions, whatever the machine or the sanitizer.
    MonotonicTime Now() override {
        const std::lock_guard lock(mutex_);
        if (frozen) {
            return start_ + elapsed_;
        }
        elapsed_ += reading_;
        reading_ = std::min<std::chrono::nanoseconds>(2 * reading_, std::chrono::milliseconds(1));
        return start_ + elapsed_;
    }
    int SecondOfMinute() override {
        const std::lock_guard lock(mutex_);
        elapsed_ += std::chrono::microseconds(1);
        return static_cast<int>(
            (wallOffsetSeconds_ +
             std::chrono::duration_cast<std::chrono::seconds>(elapsed_).count()) %
            60);
    }
    void Sleep(std::chrono::milliseconds pause) override {
        const std::lock_guard lock(mutex_);
        reading_ = kFirstReading;
        elapsed_ += pause;
        slept_ += pause;
    }
    void Countdown(std::uint32_t iterations) override {
        const std::lock_guard lock(mutex_);
        turns_ += iterations;
        reading_ = kFirstReading;
        elapsed_ +=
            std::chrono::nanoseconds(static_cast<long long>(iterations * nanosecondsPerTurn));
    }

    void Advance(std::chrono::nanoseconds by) {
        const std::lock_guard lock(mutex_);
        reading_ = kFirstReading;
        elapsed_ += by;
    }
    std::chrono::nanoseconds Elapsed() const {
        const std::lock_guard lock(mutex_);
        return elapsed_;
    }
    std::chrono::milliseconds Slept() const {
        const std::lock_guard lock(mutex_);
        return slept_;
    }
    unsigned long long Turns() const {
        const std::lock_guard lock(mutex_);
        return turns_;
    }

  private:
    static constexpr std::chrono::nanoseconds kFirstReading = std::chrono::microseconds(1);

    mutable std::mutex mutex_;
    const MonotonicTime start_;
    std::chrono::nanoseconds elapsed_{0};
    std::chrono::nanoseconds reading_ = kFirstReading;
    std::chrono::milliseconds slept_{0};
    unsigned long long turns_ = 0;
    long long wallOffsetSeconds_ = 17;
};

}  // namespace vaxo::test
