#pragma once

#include <string>
#include <string_view>

namespace vaxo {

inline constexpr const char* kSessionCookie = "vaxo_session";

inline bool IsApi(std::string_view path) {
    return path.starts_with("/api/");
}

// The session cookie; `clear` ends it in the browser.
std::string SessionCookie(const std::string& value, bool tls, bool clear = false);

// Who a sign-in is for its failures: an address, or an IPv6 /64.
std::string SignInClient(const std::string& client);

}  // namespace vaxo
