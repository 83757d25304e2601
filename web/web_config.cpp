#include "web/web_config.h"

#include <algorithm>

#include "net/asio_addresses.h"

namespace vaxo {

bool WebConfig::BeyondLoopback() const {
    return std::any_of(listeners.begin(), listeners.end(), [](const ListenerSetting& listener) {
        const auto address = AddressBytes(listener.host);
        return !address || !IsLoopback(address->bytes);
    });
}

bool WebConfig::Allows(const std::array<std::uint8_t, 16>& address) const {
    if (IsLoopback(address) || (allowed.empty() && insecure)) {
        return true;
    }
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const AddressRange& range) { return range.Contains(address); });
}

const std::vector<std::string>& WebValueOptionNames() {
    static const std::vector<std::string> names{"web", "web-cert", "web-key", "web-password-file"};
    return names;
}

std::optional<std::string> TakeWebOption(WebConfig& config, const std::string& name,
                                         const std::string& value, bool& known) {
    known = true;
    std::string why;
    if (name == "web") {
        if (auto listener =
                ParseListener(ListenerProtocol::Text, ListenerTransport::Tcp, value, why)) {
            config.listeners.push_back(std::move(*listener));
        }
    } else if (name == "web-cert") {
        config.certificateFile = value;
    } else if (name == "web-key") {
        config.keyFile = value;
    } else if (name == "web-insecure") {
        config.insecure = true;
    } else if (name == "web-password-file") {
        config.passwordFile = value;
    } else {
        known = false;
    }
    return why.empty() ? std::nullopt : std::optional(why);
}

std::optional<std::string> CheckWebConfig(const WebConfig& config) {
    if (config.certificateFile.empty() != config.keyFile.empty()) {
        return "--web-cert and --web-key go together";
    }
    if (config.Tls() && !WebTlsBuiltIn()) {
        return "this build serves no HTTPS: use --web on 127.0.0.1 behind a reverse proxy";
    }
    for (const ListenerSetting& listener : config.listeners) {
        const auto address = AddressBytes(listener.host);
        if (address && IsMulticast(address->bytes)) {
            return "--web " + listener.host + ": a multicast group serves no page";
        }
    }
    if (config.BeyondLoopback() && !config.Tls() && !config.insecure) {
        return "--web beyond this machine sends passwords in clear: give --web-cert and "
               "--web-key, or --web-insecure if the network is trusted";
    }
    if (config.BeyondLoopback() && config.allowed.empty() && !config.insecure) {
        return "--web beyond this machine needs --allow with the networks that may reach it, "
               "or --web-insecure to let any address";
    }
    return std::nullopt;
}

}  // namespace vaxo
