#include "web/request_checks.h"

#include <algorithm>
#include <optional>
#include <string>

#include "net/asio_addresses.h"

namespace vaxo {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// "example:8080" -> "example", "[::1]:8080" -> "::1"; nothing for a text
// that is no host.
std::optional<std::string> HostName(std::string_view host) {
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            return std::nullopt;
        }
        return std::string(host.substr(1, close - 1));
    }
    const std::size_t colon = host.find(':');
    if (colon != std::string_view::npos && host.find(':', colon + 1) != std::string_view::npos) {
        return std::nullopt;  // an IPv6 address without brackets names no host
    }
    return std::string(host.substr(0, colon));
}

bool NamesLoopback(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    while (!lower.empty() && lower.back() == '.') {
        lower.pop_back();
    }
    if (lower == "localhost" || lower.ends_with(".localhost")) {
        return true;
    }
    const auto address = AddressBytes(lower);
    return address && IsLoopback(address->bytes);
}

}  // namespace

bool HostAllowed(std::string_view host, bool loopbackListener, std::string_view listenerHost) {
    if (!loopbackListener || host.empty()) {
        return true;
    }
    const auto name = HostName(host);
    if (!name || name->empty()) {
        return false;
    }
    return NamesLoopback(*name) || SameText(*name, listenerHost);
}

bool CrossSitePost(std::string_view origin, std::string_view fetchSite, std::string_view host) {
    if (!fetchSite.empty()) {
        return !SameText(fetchSite, "same-origin");
    }
    if (origin.empty()) {
        return false;
    }
    const std::size_t scheme = origin.find("://");
    if (scheme == std::string_view::npos) {
        return true;  // "null", or nothing an origin can be
    }
    return !SameText(origin.substr(scheme + 3), host);
}

ClientKey ClientKeyOfText(std::string_view address) {
    std::string text(address);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    const auto bytes = AddressBytes(text);
    return bytes ? ClientKeyOf(bytes->bytes) : ClientKey{};
}

}  // namespace vaxo
