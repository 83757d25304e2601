#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "alarms/alarm_set.h"

namespace vaxo {

// One raise or clear to deliver, with the station it concerns.
struct Alert {
    AlarmEntry entry;
    std::string station;  // the station's file name, or its PS when untitled
};

// What a webhook receives: {"alarm", "subject", "title", "state": "raised" |
// "cleared", "at": ISO 8601 UTC, "text", "station"}.
nlohmann::json AlertJson(const Alert& alert);
// "Encoder not answering: its status line stays low", "Encoder not
// answering: cleared".
std::string AlertText(const Alert& alert);

// An RFC 5322 message of the alert, lines ending in CR LF; `serial` makes
// its Message-ID unique within the run.
std::string AlertMailText(const Alert& alert, const std::string& from,
                          const std::vector<std::string>& to, std::uint64_t serial);

}  // namespace vaxo
