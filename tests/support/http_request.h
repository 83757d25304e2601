#pragma once

#include <cstdint>
#include <string>

namespace vaxo::test {

// One request to the web page on loopback, as the browser sends it: the
// page's own origin, the session cookie and the form's token when given, a
// form (no token) or a field change (token) as the body; the connection is
// closed after the answer; a call with the token carries JSON.
inline std::string HttpRequestText(std::uint16_t port, const std::string& method,
                                   const std::string& path, const std::string& cookie,
                                   const std::string& token, const std::string& body) {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    std::string request = method + " " + path + " HTTP/1.1\r\nHost: " + host +
                          "\r\nConnection: close\r\nOrigin: http://" + host + "\r\n";
    if (!cookie.empty()) {
        request += "Cookie: " + cookie + "\r\n";
    }
    if (!token.empty()) {
        request += "X-CSRF-Token: " + token + "\r\n";
    }
    if (method == "POST") {
        request +=
            "Content-Type: " +
            std::string(token.empty() ? "application/x-www-form-urlencoded" : "application/json") +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return request + "\r\n" + body;
}

// The session cookie ("vaxo_session=…") an answer sets, and the form token
// a page carries.
inline std::string SessionCookie(const std::string& answer) {
    const auto at = answer.find("vaxo_session=");
    return at == std::string::npos ? "" : answer.substr(at, answer.find(';', at) - at);
}

inline std::string FormToken(const std::string& page) {
    const std::string marker = "csrf-token\" content=\"";
    const auto at = page.find(marker);
    if (at == std::string::npos) {
        return "";
    }
    const auto start = at + marker.size();
    return page.substr(start, page.find('"', start) - start);
}

}  // namespace vaxo::test
