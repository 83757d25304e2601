#include "net/drop_log.h"

namespace vaxo {

void DropLog::Dropped(const std::string& address, const std::string& what, Clock::time_point now) {
    Count& count = counts_[what];
    ++count.since;
    count.last = address;
    if (!count.told || now - *count.told >= kInterval) {
        Tell(what, count, now);
    }
}

void DropLog::Flush(Clock::time_point now) {
    for (auto& [what, count] : counts_) {
        if (count.since > 0 && (!count.told || now - *count.told >= kInterval)) {
            Tell(what, count, now);
        }
    }
}

void DropLog::FlushAll() {
    for (auto& [what, count] : counts_) {
        if (count.since > 0) {
            Tell(what, count, Clock::now());
        }
    }
}

void DropLog::Tell(const std::string& what, Count& count, Clock::time_point now) {
    log_("dropped " + std::to_string(count.since) + " " + what + " (" + count.last + " the last)");
    count.since = 0;
    count.told = now;
}

}  // namespace vaxo
