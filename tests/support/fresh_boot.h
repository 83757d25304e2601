#pragma once

#include <chrono>

namespace vaxo::test {

// The monotonic clock of a machine that booted a minute ago: where a test
// gives a component its clock, it starts here, whatever this machine's own
// clock reads, so that nothing may take the clock's zero for "long ago".
inline constexpr std::chrono::seconds kUptimeAfterBoot{60};
inline constexpr std::chrono::steady_clock::time_point kJustBooted{kUptimeAfterBoot};

}  // namespace vaxo::test
