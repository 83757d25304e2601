#include "alerts/alert_config.h"

#include <algorithm>
#include <initializer_list>

namespace vaxo {
namespace {

bool Printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}

// What follows "scheme://" in a printable URL of one of the schemes.
std::optional<std::string_view> AfterScheme(std::string_view url,
                                            std::initializer_list<std::string_view> schemes) {
    if (!Printable(url)) {
        return std::nullopt;
    }
    for (const std::string_view scheme : schemes) {
        if (url.starts_with(scheme)) {
            return url.substr(scheme.size());
        }
    }
    return std::nullopt;
}

// The authority of "scheme://authority/path?query".
std::string_view Authority(std::string_view rest) {
    return rest.substr(0, rest.find_first_of("/?#"));
}

std::string_view HostOf(std::string_view authority) {
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        return close == std::string_view::npos ? std::string_view()
                                               : authority.substr(1, close - 1);
    }
    return authority.substr(0, authority.rfind(':'));
}

std::optional<std::string> WhyNoAuthority(std::string_view authority) {
    if (authority.find('@') != std::string_view::npos) {
        return "it names a user: give the password in a file instead";
    }
    if (HostOf(authority).empty()) {
        return "it names no host";
    }
    const auto colon = authority.rfind(':');
    const auto close = authority.rfind(']');
    if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(std::string(port)) > 65535 || std::stoi(std::string(port)) == 0) {
            return "its port is no port";
        }
    }
    return std::nullopt;
}

}  // namespace

bool UrlHostIsLoopback(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) {
        return false;
    }
    const std::string_view host = HostOf(Authority(std::string_view(url).substr(scheme + 3)));
    // 127.0.0.0/8 written as four numbers: "127.example" is a name anywhere.
    const bool numeric = std::all_of(host.begin(), host.end(),
                                     [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
                         std::count(host.begin(), host.end(), '.') == 3;
    return host == "localhost" || host == "::1" || (numeric && host.starts_with("127."));
}

std::optional<std::string> WhyNoWebhook(const std::string& url) {
    const auto rest = AfterScheme(url, {"https://", "http://"});
    if (!rest) {
        return "a webhook is an http:// or https:// URL, without spaces or control characters";
    }
    if (const auto why = WhyNoAuthority(Authority(*rest))) {
        return "the webhook URL " + url + ": " + *why;
    }
    return std::nullopt;
}

std::optional<std::string> WhyNoMailServer(const std::string& url) {
    const auto rest = AfterScheme(url, {"smtps://", "smtp://"});
    if (!rest) {
        return "a mail server is smtps://HOST[:PORT] or smtp://HOST[:PORT], without spaces or "
               "control characters";
    }
    const std::string_view authority = Authority(*rest);
    if (authority.size() != rest->size() && rest->substr(authority.size()) != "/") {
        return "the mail server URL " + url + " names only the server";
    }
    if (const auto why = WhyNoAuthority(authority)) {
        return "the mail server URL " + url + ": " + *why;
    }
    return std::nullopt;
}

std::optional<std::string> WhyNoMailAddress(const std::string& address) {
    const auto at = address.find('@');
    if (!Printable(address) || address.find_first_of("<>,;\"()") != std::string::npos ||
        at == std::string::npos || at == 0 || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string::npos || address.size() > 254) {
        return "\"" + address + "\" is no mail address (local@domain)";
    }
    return std::nullopt;
}

}  // namespace vaxo
