// A build without libcurl (the Windows one) delivers no alerts.
#include "alerts/alert_transport.h"

namespace vaxo {

bool AlertsBuiltIn() {
    return false;
}

std::unique_ptr<AlertTransport> MakeCurlTransport(const AlertConfig&) {
    return nullptr;
}

}  // namespace vaxo
