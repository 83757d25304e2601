#pragma once

#include <memory>
#include <optional>
#include <string>

#include "alerts/alert_config.h"
#include "alerts/alert_message.h"

namespace vaxo {

// Why a delivery failed, and whether trying again cannot help (a webhook
// that answers 404, a mail server that refuses the login).
struct AlertFailure {
    std::string why;
    bool permanent = false;
};

// Carries one alert to one target: the webhooks in their order, then the
// mail server. Called on the sender's thread only.
class AlertTransport {
  public:
    virtual ~AlertTransport() = default;
    virtual std::optional<AlertFailure> Deliver(const Alert& alert, std::size_t target) = 0;
};

// Whether this build can deliver (libcurl is in it).
bool AlertsBuiltIn();
// The webhooks and the mail through libcurl; none in a build without it.
std::unique_ptr<AlertTransport> MakeCurlTransport(const AlertConfig& config);

}  // namespace vaxo
