#pragma once

#include <chrono>
#include <optional>

namespace vaxo {

// What the service manager that started the program (systemd, for a
// service of Type=notify) is told of it: nothing when none asked, and
// nothing on Windows.

// The listeners are up: the start is over ("READY=1").
void TellServiceReady();
// The program ends ("STOPPING=1").
void TellServiceStopping();
// How often the service manager wants to hear that the program lives: half
// its watchdog time, or none when it does not watch.
std::optional<std::chrono::milliseconds> ServiceWatchdogInterval();
// The program's loop turns ("WATCHDOG=1"); told from the loop's own timer,
// so that a loop that hangs falls silent and is restarted.
void TellServiceAlive();

}  // namespace vaxo
