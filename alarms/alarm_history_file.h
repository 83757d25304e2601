#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "alarms/alarm_set.h"

namespace vaxo {

inline constexpr const char* kAlarmHistoryFileName = "vaxow.alarms";
// A longer file is no history this program wrote (1,000 entries fit many
// times over): it is kept aside, not read.
inline constexpr std::size_t kAlarmHistoryFileLimit = 1 << 20;

// The alarm history file: a comment line, then one entry a line, its fields
// separated by tabs: the moment in UTC, what happened, the alarm's name, its
// subject (may be empty) and the text.
//   2026-12-10T03:12:40Z	raised	encoder_not_answering		its status line stays high
std::string WriteAlarmHistory(const std::deque<AlarmEntry>& history);

struct AlarmHistoryRead {
    std::vector<AlarmEntry> entries;
    std::size_t linesPassedOver = 0;  // lines that are no entry
};
// Never throws; a line that is no entry is passed over and counted.
AlarmHistoryRead ReadAlarmHistory(std::string_view text);

}  // namespace vaxo
