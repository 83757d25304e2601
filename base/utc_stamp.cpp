#include "base/utc_stamp.h"

#include <cstdio>

namespace vaxo {
namespace {

using namespace std::chrono;

std::optional<int> Digits(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t at = from; at < from + count; ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[at] - '0');
    }
    return value;
}

}  // namespace

std::string UtcStamp(system_clock::time_point when) {
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(when - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::optional<system_clock::time_point> ParseUtcStamp(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    const auto y = Digits(text, 0, 4);
    const auto mo = Digits(text, 5, 2);
    const auto d = Digits(text, 8, 2);
    const auto h = Digits(text, 11, 2);
    const auto mi = Digits(text, 14, 2);
    const auto s = Digits(text, 17, 2);
    // The clock counts nanoseconds from 1970: about 292 years either way.
    if (!y || *y < 1970 || *y > 2200 || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 ||
        *s > 59) {
        return std::nullopt;
    }
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return sys_days{date} + hours{*h} + minutes{*mi} + seconds{*s};
}

}  // namespace vaxo
