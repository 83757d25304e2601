#pragma once

#include <ostream>
#include <set>
#include <string>

#include "app/program_events.h"

namespace vaxo::ctl {

// What the headless program prints, each line with the local time: the port
// in use and one line per send on standard output; errors on standard error.
class RunLog {
  public:
    RunLog(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void Report(const ProgramEvent& event);
    void Error(const std::string& text);

  private:
    static void Line(std::ostream& stream, const std::string& text);
    void Sent(const SendFinished& send);
    void Port(const PortChanged& port);
    void Feed(const FeedReport& report);

    std::ostream& out_;
    std::ostream& err_;
    std::set<FeedSource> troubled_;
};

// "2026-12-08 04:17:40", the local time now.
std::string TimeStamp();

}  // namespace vaxo::ctl
