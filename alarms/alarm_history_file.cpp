#include "alarms/alarm_history_file.h"

#include <array>
#include <optional>

#include "base/text_lines.h"
#include "base/utc_stamp.h"

namespace vaxo {
namespace {

constexpr std::string_view kHeading = "# alarm history: UTC time, what, alarm, subject, text";

// Tabs and line ends would split the entry: texts come from files and
// clients.
std::string OneField(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return field;
}

std::optional<AlarmEntry::What> WhatNamed(std::string_view name) {
    for (const auto what :
         {AlarmEntry::What::Raised, AlarmEntry::What::Cleared, AlarmEntry::What::Acknowledged}) {
        if (name == WhatName(what)) {
            return what;
        }
    }
    return std::nullopt;
}

std::optional<AlarmEntry> ReadEntry(std::string_view line) {
    std::array<std::string_view, 5> fields;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const auto tab = line.find('\t');
        if ((tab == std::string_view::npos) != (index + 1 == fields.size())) {
            return std::nullopt;
        }
        fields[index] = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    const auto at = ParseUtcStamp(fields[0]);
    const auto what = WhatNamed(fields[1]);
    const auto kind = AlarmNamed(fields[2]);
    if (!at || !what || !kind) {
        return std::nullopt;
    }
    return AlarmEntry{*at, *what, {*kind, std::string(fields[3])}, std::string(fields[4])};
}

}  // namespace

std::string WriteAlarmHistory(const std::deque<AlarmEntry>& history) {
    std::string text(kHeading);
    text += '\n';
    for (const AlarmEntry& entry : history) {
        text += UtcStamp(entry.at) + '\t' + WhatName(entry.what) + '\t' +
                AlarmName(entry.key.kind) + '\t' + OneField(entry.key.subject) + '\t' +
                OneField(entry.text) + '\n';
    }
    return text;
}

AlarmHistoryRead ReadAlarmHistory(std::string_view text) {
    AlarmHistoryRead read;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (auto entry = ReadEntry(line)) {
            read.entries.push_back(std::move(*entry));
        } else {
            ++read.linesPassedOver;
        }
    }
    return read;
}

}  // namespace vaxo
