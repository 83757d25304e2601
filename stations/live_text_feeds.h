#pragma once

#include <functional>

#include "base/link_timing.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// The two timers that keep radiotext and dynamic PS in step without the
// operator: Timer1 follows the text files (and a send a station file asked
// for), Timer2 rotates the radiotexts.
class LiveTextFeeds {
  public:
    // `upload` is the send; `now` the monotonic clock for LastSendTime.
    LiveTextFeeds(RdsParameterSet& set, std::function<bool()> upload,
                  std::function<MonotonicTime()> now);

    // One tick of the live-text timer (every 3000 ms); at most one send.
    void Timer1Timer();
    // One tick of the switching timer: the next non-empty radiotext, and a send.
    void Timer2Timer();

  private:
    void Send();

    RdsParameterSet& set_;
    std::function<bool()> upload_;
    std::function<MonotonicTime()> now_;
};

}  // namespace vaxo
