#include <systemd/sd-daemon.h>

#include "platform/service_manager.h"

namespace vaxo {

void TellServiceReady() {
    static_cast<void>(sd_notify(0, "READY=1\nSTATUS=on air"));
}

void TellServiceStopping() {
    static_cast<void>(sd_notify(0, "STOPPING=1"));
}

std::optional<std::chrono::milliseconds> ServiceWatchdogInterval() {
    std::uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) <= 0 || microseconds == 0) {
        return std::nullopt;
    }
    return std::max(std::chrono::milliseconds(1),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::microseconds(microseconds) / 2));
}

void TellServiceAlive() {
    static_cast<void>(sd_notify(0, "WATCHDOG=1"));
}

}  // namespace vaxo
