#include "base/local_time.h"

#include <cstdio>
#include <ctime>

namespace vaxo {
namespace {

using namespace std::chrono;

// 0.00012 day ahead, so a marker shows the time at which the text is on air.
constexpr milliseconds kMarkerLead{10368};

std::string TwoDigits(long value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02ld", value % 100);
    return text;
}

}  // namespace

std::tm LocalCalendar(std::time_t moment) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &moment);
#else
    localtime_r(&moment, &local);
#endif
    return local;
}

std::string LocalStamp(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalCalendar(std::chrono::system_clock::to_time_t(when));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

LocalTime LocalNow() {
    const auto now = system_clock::now();
    const std::time_t epochSeconds = system_clock::to_time_t(now);
    const std::tm local = LocalCalendar(epochSeconds);
    const auto day = local_days{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
    const auto fraction = duration_cast<milliseconds>(now.time_since_epoch()) % 1000;
    return day + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec} + fraction;
}

std::optional<LocalTime> ParseLocalTime(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
        6) {
        return std::nullopt;
    }
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    if (!date.ok() || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) {
        return std::nullopt;
    }
    return local_days{date} + hours{h} + minutes{mi} + seconds{s} + milliseconds{0};
}

std::string DpsDateText(LocalTime now) {
    const year_month_day date{floor<days>(now + kMarkerLead)};
    return TwoDigits(static_cast<unsigned>(date.day())) + "." +
           TwoDigits(static_cast<unsigned>(date.month())) + "." +
           TwoDigits(static_cast<int>(date.year()));
}

std::string DpsTimeText(LocalTime now) {
    const auto shifted = now + kMarkerLead;
    const hh_mm_ss clock{shifted - floor<days>(shifted)};
    const long hour = clock.hours().count();
    const long hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return TwoDigits(hour12) + "-" + TwoDigits(clock.minutes().count()) +
           (hour < 12 ? " AM" : " PM");
}

}  // namespace vaxo
