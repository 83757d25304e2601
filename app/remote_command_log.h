#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "events/program_events.h"

namespace vaxo {

// What the program tells of commands from outside. Every change taken is
// told at once with its origin: no flood of other commands can hide one.
// Refusals are gathered per client address: the first of a minute is told
// at once, the rest counted and told as one line when the minute has
// passed; beyond kAddressLimit addresses in a minute, the refusals of the
// others are counted together. What is still counted at the end is told by
// FlushAll.
class RemoteCommandLog {
  public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        std::string text;
        bool refusal = false;
    };

    explicit RemoteCommandLog(Clock::duration interval = std::chrono::minutes(1))
        : interval_(interval) {}

    std::vector<Line> Note(const RemoteCommand& command, Clock::time_point now);
    // The counts whose minute has passed.
    std::vector<Line> Flush(Clock::time_point now);
    std::vector<Line> FlushAll();

    static constexpr std::size_t kAddressLimit = 1024;

  private:
    struct Tally {
        Clock::time_point since;
        long more = 0;
        RemoteCommand last;
    };
    std::vector<Line> FlushWhere(const std::function<bool(Clock::time_point since)>& due);

    Clock::duration interval_;
    std::map<std::string, Tally> tallies_;  // by address
    std::optional<Tally> beyond_;           // the refusals of addresses beyond the limit
};

// "text 192.0.2.7:51234 "PS=HELLO" changed PS", or "... refused: why".
std::string DescribeRemoteCommand(const RemoteCommand& command);

}  // namespace vaxo
