#pragma once

#include <optional>
#include <string>
#include <vector>

#include <array>
#include <cstdint>

#include "net/listener_setting.h"

namespace vaxo {

// Where the web page is served, and how.
struct WebConfig {
    std::vector<ListenerSetting> listeners;  // --web HOST:PORT
    std::string certificateFile;             // --web-cert: with the key, HTTPS
    std::string keyFile;                     // --web-key
    bool insecure = false;                   // --web-insecure: plain HTTP beyond loopback
    std::string passwordFile;                // --web-password-file; empty: beside the settings
    std::vector<AddressRange> allowed;       // --allow, shared with the other listeners

    bool Empty() const { return listeners.empty(); }
    bool Tls() const { return !certificateFile.empty(); }
    // Listeners on an address other than loopback.
    bool BeyondLoopback() const;
    // Clients from the machine itself and from the allowed ranges; without
    // an allow list, with --web-insecure, any.
    bool Allows(const std::array<std::uint8_t, 16>& address) const;
};

// Reads one option (--web, --web-cert, --web-key, --web-insecure,
// --web-password-file) into the configuration; the reason when its value
// is wrong. `known` is false for an option of another kind.
std::optional<std::string> TakeWebOption(WebConfig& config, const std::string& name,
                                         const std::string& value, bool& known);
const std::vector<std::string>& WebValueOptionNames();  // all but --web-insecure

// Why the configuration may not run, or nothing: a certificate needs its
// key and a build with TLS; beyond loopback the page needs an allow list
// (--allow) and HTTPS, or --web-insecure for what is missing.
std::optional<std::string> CheckWebConfig(const WebConfig& config);

// Whether this build can serve HTTPS.
bool WebTlsBuiltIn();

}  // namespace vaxo
