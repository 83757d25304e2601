#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

namespace vaxo {

// A wall-clock reading of the operator's local time.
using LocalTime = std::chrono::local_time<std::chrono::milliseconds>;

// The local time now.
LocalTime LocalNow();

// The calendar fields of a moment in the local time zone.
std::tm LocalCalendar(std::time_t moment);

// "YYYY-MM-DD HH:MM:SS" in the local time zone, as the logs and pages show
// a moment.
std::string LocalStamp(std::chrono::system_clock::time_point when);

// "YYYY-MM-DD HH:MM:SS", or nothing when the text is not a valid time.
std::optional<LocalTime> ParseLocalTime(const std::string& text);

// The texts that replace "%%DATE%%" and "%%TIME%%" in dynamic PS: the time
// 0.00012 day (10.368 s) ahead, as "dd.mm.yy" and "hh-nn AM" / "hh-nn PM".
std::string DpsDateText(LocalTime now);
std::string DpsTimeText(LocalTime now);

}  // namespace vaxo
