#include "tools/run_log.h"

#include <ctime>

#include "app/alarm_words.h"
#include "app/wear_words.h"
#include "base/code_page.h"
#include "base/local_time.h"
#include "base/overloaded.h"
#include "base/visible_text.h"

namespace vaxo::ctl {
namespace {

// The value of a record line "KEY=value".
std::string ValueOf(const std::string& line) {
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? "" : line.substr(equals + 1);
}

}  // namespace

std::string TimeStamp() {
    return LocalStamp(std::chrono::system_clock::now());
}

void RunLog::Report(const ProgramEvent& event) {
    std::visit(Overloaded{
                   [this](const SendFinished& send) { Sent(send); },
                   [this](const PortChanged& port) { Port(port); },
                   [this](const FeedChanged& feed) { Feed(feed.report); },
                   [this](const ErrorReported& error) { Error(error.text); },
                   [this](const PriorityRefused& refused) { Error(refused.why); },
                   [this](const SendsHeld& held) { Error(DescribeSendsHeld(held)); },
                   [this](const WearWarning& warning) {
                       Error("warning: " + DescribeWearWarning(warning));
                   },
                   [this](const EncoderAnswerChanged& changed) { Encoder(changed.answer); },
                   [this](const AlarmChanged& changed) {
                       const std::string told = DescribeAlarmEntry(changed.entry);
                       if (changed.entry.what == AlarmEntry::What::Raised) {
                           Error(told);
                       } else {
                           Line(out_, told);
                       }
                   },
                   [this](const RemoteCommand& command) {
                       Remote(remote_.Note(command, RemoteCommandLog::Clock::now()));
                   },
                   [](const auto&) {},
               },
               event);
}

// A stream that failed once (a full disk, a reader gone) is tried again with
// the next line: the log goes on when the trouble ends.
void RunLog::Line(std::ostream& stream, const std::string& text) {
    std::string line = TimeStamp() + ' ';
    line += WithInvisiblesShown(text);
    stream.clear();
    stream << line << '\n';
    stream.flush();
    if (recent_) {
        recent_->Add(std::move(line));
    }
}

void RunLog::Error(const std::string& text) {
    Line(err_, text);
}

void RunLog::Note(const std::string& text) {
    Line(out_, text);
}

void RunLog::Listening(const std::string& where) {
    Line(out_, "listening: " + where);
}

void RunLog::FlushRemote() {
    Remote(remote_.Flush(RemoteCommandLog::Clock::now()));
}

void RunLog::FlushAllRemote() {
    Remote(remote_.FlushAll());
}

// Changes on standard output, refusals on standard error.
void RunLog::Remote(const std::vector<RemoteCommandLog::Line>& lines) {
    for (const auto& line : lines) {
        Line(line.refusal ? err_ : out_, line.text);
    }
}

// Line 2 of the record is the radiotext, lines 3 to 10 the dynamic PS texts.
void RunLog::Sent(const SendFinished& send) {
    std::string line = std::string(send.problem ? "Error" : "ok") + " bank " +
                       std::to_string(send.bank) + " RT=\"" +
                       Windows1250ToUtf8(ValueOf(send.record[1])) + "\" DPS=\"";
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        if (k) {
            line += '|';
        }
        line += Windows1250ToUtf8(ValueOf(send.record[2 + k]));
    }
    line += '"';
    if (send.problem) {
        line += " reason=\"" + DescribeLinkProblem(send.problem) + '"';
    }
    Line(out_, line);
}

void RunLog::Port(const PortChanged& port) {
    Line(out_,
         "port " + LptName(port.base) + ": " +
             (port.port.problem ? DescribeLinkProblem(port.port.problem) : port.port.description));
}

// Told when the encoder stops answering and when it answers again; an
// encoder that answers from the start is the rule, not news.
void RunLog::Encoder(const EncoderAnswer& answer) {
    if (answer.state == EncoderAnswer::State::NotAnswering) {
        Line(err_, "encoder not answering: " + answer.reason);
        encoderLost_ = true;
    } else if (answer.state == EncoderAnswer::State::Answering && encoderLost_) {
        Line(out_, "encoder answers again");
        encoderLost_ = false;
    }
}

// Told once for each change of a feed's state: trouble, and its end.
void RunLog::Feed(const FeedReport& report) {
    const std::string name =
        (report.source == FeedSource::Radiotext ? "radiotext file " : "dynamic PS file ") +
        report.file;
    if (FeedInTrouble(report)) {
        Line(err_, name + " passed over: " + FeedPassedOverReason(report));
        troubled_.insert(report.source);
    } else if (report.outcome == LiveTextRead::Outcome::Read &&
               troubled_.erase(report.source) != 0) {
        Line(err_, name + " is read again");
    }
}

}  // namespace vaxo::ctl
