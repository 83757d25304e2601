#include "app/alarm_words.h"

#include "base/local_time.h"

namespace vaxo {

std::string AlarmHeading(const AlarmKey& key) {
    std::string heading = AlarmTitle(key.kind);
    if (!key.subject.empty()) {
        heading += " (" + key.subject + ')';
    }
    return heading;
}

std::string DescribeAlarmEntry(const AlarmEntry& entry) {
    switch (entry.what) {
        case AlarmEntry::What::Raised:
            return "alarm raised: " + AlarmHeading(entry.key) +
                   (entry.text.empty() ? "" : ": " + entry.text);
        case AlarmEntry::What::Cleared:
            return "alarm cleared: " + AlarmHeading(entry.key);
        case AlarmEntry::What::Acknowledged:
            return "alarm acknowledged by " + entry.text + ": " + AlarmHeading(entry.key);
    }
    return "";
}

std::string DescribeActiveAlarm(const ActiveAlarm& alarm) {
    std::string text = AlarmHeading(alarm.key) + " since " + LocalStamp(alarm.since);
    if (!alarm.reason.empty()) {
        text += ": " + alarm.reason;
    }
    if (alarm.acknowledged) {
        text += "; acknowledged by " + alarm.acknowledged->text;
    }
    return text;
}

}  // namespace vaxo
