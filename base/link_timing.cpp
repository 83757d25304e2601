#include "base/link_timing.h"

#include <ctime>
#include <thread>

#include "base/local_time.h"

namespace vaxo {

[[gnu::noinline]] void CountdownLoop(std::uint32_t iterations) {
    for (std::uint32_t left = iterations; left != 0; --left) {
        // Hides the counter from the optimiser: the loop can be neither
        // removed nor folded into fewer turns.
        asm volatile("" : "+r"(left));
    }
}

MonotonicTime SystemTiming::Now() {
    return std::chrono::steady_clock::now();
}

int SystemTiming::SecondOfMinute() {
    return LocalCalendar(std::time(nullptr)).tm_sec;
}

void SystemTiming::Sleep(std::chrono::milliseconds pause) {
    std::this_thread::sleep_for(pause);
}

void SystemTiming::Countdown(std::uint32_t iterations) {
    CountdownLoop(iterations);
}

}  // namespace vaxo
