#pragma once

#include <string>

#include "alarms/alarm_set.h"

namespace vaxo {

// "Live-text file unreadable (radiotext)"
std::string AlarmHeading(const AlarmKey& key);
// "alarm raised: Encoder not answering: its status line stays high",
// "alarm cleared: ...", "alarm acknowledged by web 192.0.2.7: ..."
std::string DescribeAlarmEntry(const AlarmEntry& entry);
// "Encoder not answering since 2026-12-10 03:12:40: its status line stays
// high; acknowledged by web 192.0.2.7"
std::string DescribeActiveAlarm(const ActiveAlarm& alarm);

}  // namespace vaxo
