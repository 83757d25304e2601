#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// A moment as ISO 8601 writes it in UTC, to the second: "2026-12-10T14:03:09Z".
std::string UtcStamp(std::chrono::system_clock::time_point when);
// Exactly that form, of a year from 1970 to 2200; nothing for any other
// text or an impossible date.
std::optional<std::chrono::system_clock::time_point> ParseUtcStamp(std::string_view text);

}  // namespace vaxo
