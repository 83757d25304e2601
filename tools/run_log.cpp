#include "tools/run_log.h"

#include <ctime>

#include "base/code_page.h"
#include "base/local_time.h"
#include "base/overloaded.h"

namespace vaxo::ctl {
namespace {

// The value of a record line "KEY=value".
std::string ValueOf(const std::string& line) {
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? "" : line.substr(equals + 1);
}

}  // namespace

std::string TimeStamp() {
    const std::tm local = LocalCalendar(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

void RunLog::Report(const ProgramEvent& event) {
    std::visit(Overloaded{
                   [this](const SendFinished& send) { Sent(send); },
                   [this](const PortChanged& port) { Port(port); },
                   [this](const ErrorReported& error) { Error(error.text); },
                   [this](const PriorityRefused& refused) { Error(refused.why); },
                   [](const auto&) {},
               },
               event);
}

void RunLog::Error(const std::string& text) {
    err_ << TimeStamp() << ' ' << text << std::endl;
}

// Line 2 of the record is the radiotext, lines 3 to 10 the dynamic PS texts.
void RunLog::Sent(const SendFinished& send) {
    out_ << TimeStamp() << (send.problem ? " Error" : " ok") << " bank " << send.bank << " RT=\""
         << Windows1250ToUtf8(ValueOf(send.record[1])) << "\" DPS=\"";
    for (std::size_t k = 0; k < 8; ++k) {
        out_ << (k ? "|" : "") << Windows1250ToUtf8(ValueOf(send.record[2 + k]));
    }
    out_ << '"';
    if (send.problem) {
        out_ << " reason=\"" << DescribeLinkProblem(send.problem) << '"';
    }
    out_ << std::endl;
}

void RunLog::Port(const PortChanged& port) {
    out_ << TimeStamp() << " port " << LptName(port.base) << ": "
         << (port.port.problem ? DescribeLinkProblem(port.port.problem) : port.port.description)
         << std::endl;
}

}  // namespace vaxo::ctl
