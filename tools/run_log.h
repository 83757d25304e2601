#pragma once

#include <cstdint>
#include <ostream>
#include <set>
#include <string>

#include "app/recent_log.h"
#include "app/remote_command_log.h"
#include "events/program_events.h"

namespace vaxo::ctl {

// What the headless program prints, each line with the local time: the port
// in use, one line per send and the changes network clients made on standard
// output; errors and refused commands on standard error.
class RunLog {
  public:
    // Every line goes to `recent` too, when there is one (the page's log view).
    RunLog(std::ostream& out, std::ostream& err, RecentLog* recent = nullptr)
        : out_(out), err_(err), recent_(recent) {}

    void Report(const ProgramEvent& event);
    void Error(const std::string& text);
    // What went as it should, on standard output.
    void Note(const std::string& text);
    // "listening: text TCP 127.0.0.1:4000", "listening: web http://[::1]:8080/".
    void Listening(const std::string& where);
    // Tells the counts of refused network commands whose minute has passed;
    // at the end, all of them.
    void FlushRemote();
    void FlushAllRemote();

  private:
    void Line(std::ostream& stream, const std::string& text);
    void Sent(const SendFinished& send);
    void Port(const PortChanged& port);
    void Feed(const FeedReport& report);
    void Encoder(const EncoderAnswer& answer);
    void Remote(const std::vector<RemoteCommandLog::Line>& lines);

    std::ostream& out_;
    std::ostream& err_;
    RecentLog* recent_;
    std::set<FeedSource> troubled_;
    bool encoderLost_ = false;
    RemoteCommandLog remote_;
};

// "2026-12-08 04:17:40", the local time now.
std::string TimeStamp();

}  // namespace vaxo::ctl
