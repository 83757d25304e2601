#include "alerts/alert_message.h"

#include <array>
#include <cstdio>

#include "app/alarm_words.h"
#include "base/utc_stamp.h"

namespace vaxo {
namespace {

// A header or body line may hold no line break of its own (a reason comes
// from files and clients); the subject is ASCII.
std::string OneLine(std::string text, bool ascii) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        } else if (ascii && byte > 0x7F) {
            c = '?';
        }
    }
    return text;
}

// "Thu, 10 Dec 2026 03:12:40 +0000"
std::string MailDate(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed",
                                                      "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(when - day)};
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d +0000",
                  kDays[weekday{day}.c_encoding()], static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

bool Raised(const Alert& alert) {
    return alert.entry.what == AlarmEntry::What::Raised;
}

}  // namespace

std::string AlertText(const Alert& alert) {
    const std::string heading = AlarmHeading(alert.entry.key);
    if (!Raised(alert)) {
        return heading + ": cleared";
    }
    return alert.entry.text.empty() ? heading : heading + ": " + alert.entry.text;
}

nlohmann::json AlertJson(const Alert& alert) {
    return {{"alarm", AlarmName(alert.entry.key.kind)},
            {"subject", alert.entry.key.subject},
            {"title", AlarmTitle(alert.entry.key.kind)},
            {"state", Raised(alert) ? "raised" : "cleared"},
            {"at", UtcStamp(alert.entry.at)},
            {"text", AlertText(alert)},
            {"station", alert.station}};
}

std::string AlertMailText(const Alert& alert, const std::string& from,
                          const std::vector<std::string>& to, std::uint64_t serial) {
    std::string recipients;
    for (const std::string& address : to) {
        recipients += (recipients.empty() ? "" : ", ") + address;
    }
    const std::string at = UtcStamp(alert.entry.at);
    std::string mail;
    mail += "Date: " + MailDate(alert.entry.at) + "\r\n";
    mail += "From: " + from + "\r\n";
    mail += "To: " + recipients + "\r\n";
    mail += "Message-ID: <vaxo." + at + "." + std::to_string(serial) + "." +
            from.substr(from.find('@') + 1) + ">\r\n";
    mail += "Subject: " +
            OneLine(std::string("RDS alarm ") + (Raised(alert) ? "raised" : "cleared") + ": " +
                        AlarmHeading(alert.entry.key) + " - " + alert.station,
                    true) +
            "\r\n";
    mail +=
        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n";
    mail += OneLine(AlertText(alert), false) + "\r\n\r\n";
    mail += "Station: " + OneLine(alert.station, false) + "\r\n";
    mail += "At: " + at + " (UTC)\r\n";
    mail += "Alarm: " + AlarmId(alert.entry.key) + "\r\n";
    return mail;
}

}  // namespace vaxo
