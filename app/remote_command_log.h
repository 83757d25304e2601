#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "app/program_events.h"

namespace vaxo {

// What the program tells of commands from outside without flooding its log:
// the first command of a kind (taken, or refused for one reason) from a
// client's address is told at once; the others of the next minute are
// counted and told as one line when the minute has passed.
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

  private:
    struct Tally {
        Clock::time_point since;
        long more = 0;
        RemoteCommand last;
    };

    Clock::duration interval_;
    std::map<std::string, Tally> tallies_;
};

// "text 192.0.2.7:51234 "PS=HELLO" changed PS", or "... refused: why".
std::string DescribeRemoteCommand(const RemoteCommand& command);

}  // namespace vaxo
