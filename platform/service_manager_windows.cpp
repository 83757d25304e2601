#include "platform/service_manager.h"

namespace vaxo {

// A Windows service would answer its control manager itself; the program
// runs as none.
void TellServiceReady() {}

void TellServiceStopping() {}

std::optional<std::chrono::milliseconds> ServiceWatchdogInterval() {
    return std::nullopt;
}

void TellServiceAlive() {}

}  // namespace vaxo
