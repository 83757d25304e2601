#include "netcontrol/drop_log.h"

namespace vaxo {

void DropLog::Dropped(const std::string& address, const std::string& what, Clock::time_point now) {
    Count& count = counts_[what];
    ++count.since;
    if (count.told == Clock::time_point{} || now - count.told >= kInterval) {
        log_("dropped " + std::to_string(count.since) + " " + what + " (" + address + " the last)");
        count.since = 0;
        count.told = now;
    }
}

}  // namespace vaxo
