// Any bytes as an alarm history file: the reader neither crashes nor takes
// more than the input could hold, and what a restart makes of it is written
// back and read again to the same entries.
#include <cstdint>
#include <cstdlib>

#include "alarms/alarm_history_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vaxo::AlarmHistoryRead read =
        vaxo::ReadAlarmHistory({reinterpret_cast<const char*>(data), size});
    if (read.entries.size() + read.linesPassedOver > size) {
        std::abort();
    }
    const vaxo::AlarmSet alarms(read.entries);
    const auto& history = alarms.History();
    const vaxo::AlarmHistoryRead again = vaxo::ReadAlarmHistory(vaxo::WriteAlarmHistory(history));
    if (again.linesPassedOver != 0 ||
        !std::equal(again.entries.begin(), again.entries.end(), history.begin(), history.end())) {
        std::abort();
    }
    return 0;
}
