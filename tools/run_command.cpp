// The program without its window, for headless broadcast machines.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "app/control_program.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "link/encoder_simulator.h"
#include "link/port_trace.h"
#include "platform/stop_requests.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/locale_separator.h"

namespace vaxo::ctl {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kTimer1Interval{3000};
constexpr milliseconds kIdleCheck{100};

volatile sig_atomic_t stopRequested = 0;

void RequestStop() {
    stopRequested = 1;
}

std::string TimeStamp() {
    const std::tm local = LocalCalendar(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Writes errors and one line per send; there is no window to show anything.
class HeadlessFrontEnd : public ProgramFrontEnd {
  public:
    HeadlessFrontEnd(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void RequestExit() override { stopRequested = 1; }
    void LoadDefaultLanguage() override {}
    void ShowHelp() override {}
    void ShowErrorMessage(const std::string& text) override {
        err_ << TimeStamp() << ' ' << text << std::endl;
    }
    void HighPriorityRefused(const std::string& why) override { ShowErrorMessage(why); }
    void SetCaption(const std::string&) override {}
    void ApplyAlwaysOnTop(bool) override {}
    void ClearDecoderIdFocus() override {}
    void FollowDerivedState(const DerivedState&) override {}
    void StartSwitchingTimer(int intervalMs) override {
        timer2Interval = milliseconds(intervalMs);
        nextTimer2 = Clock::now() + timer2Interval;
    }
    void StopSwitchingTimer() override { nextTimer2 = Clock::time_point::max(); }

    Clock::time_point nextTimer2 = Clock::time_point::max();
    milliseconds timer2Interval{0};
    std::optional<std::string> ChooseStationToLoad() override { return std::nullopt; }
    std::optional<std::string> ChooseStationToSave(const std::string&) override {
        return std::nullopt;
    }
    void RestoreFromHandOver() override {}

    void ReportSend(bool ok, const RdsParameterSet& set, const EncoderLink& link) {
        out_ << TimeStamp() << (ok ? " ok" : " Error") << " bank " << set.STB << " RT=\""
             << Windows1250ToUtf8(set.ActualRT()) << "\" DPS=\"";
        for (std::size_t k = 0; k < 8; ++k) {
            out_ << (k ? "|" : "")
                 << Windows1250ToUtf8(set.ENDPS ? link.Image().SentDpsTexts[k] : "");
        }
        out_ << '"';
        if (!ok) {
            out_ << " reason=\"" << DescribeLinkProblem(link.LastProblem()) << '"';
        }
        out_ << std::endl;
    }

    void ReportPort(std::uint32_t base, const PortInUse& port) {
        out_ << TimeStamp() << " port " << LptName(base) << ": "
             << (port.problem ? DescribeLinkProblem(port.problem) : port.description) << std::endl;
    }

  private:
    std::ostream& out_;
    std::ostream& err_;
};

// Timer1 every three seconds, Timer2 as the core starts and stops it, and the
// hand-over check whenever nothing else is due.
void RunEventLoop(ControlProgram& program, HeadlessFrontEnd& timers) {
    auto nextTimer1 = Clock::now() + kTimer1Interval;
    while (!stopRequested) {
        const auto now = Clock::now();
        if (now >= nextTimer1) {
            nextTimer1 = now + kTimer1Interval;
            program.Timer1Timer();
        } else if (now >= timers.nextTimer2) {
            timers.nextTimer2 = now + timers.timer2Interval;
            program.Timer2Timer();
        } else {
            program.CheckHandOver();
            const auto until = std::min({nextTimer1, timers.nextTimer2, Clock::now() + kIdleCheck});
            const auto wait = std::chrono::duration_cast<milliseconds>(until - Clock::now());
            std::this_thread::sleep_for(std::max(wait, milliseconds(0)));
        }
    }
}

void ReportNewStation(const RdsParameterSet& set, std::ostream& err) {
    std::error_code error;
    if (!std::filesystem::exists(set.StationFileName, error) && !error) {
        err << TimeStamp() << " station file " << set.StationFileName
            << " does not exist: a new station" << std::endl;
    }
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CommandEnvironment& environment) {
    const ParsedOptions options(args, {.valued = {"trace"}, .optionalValued = {"simulate"}});
    if (options.Positional().size() > 1) {
        throw UsageError("run takes at most one station file");
    }
    std::unique_ptr<EncoderSimulator> simulator;
    if (const auto name = options.Value("simulate")) {
        const auto scenario = ParseEncoderScenario(name->empty() ? "healthy" : *name);
        if (!scenario) {
            throw UsageError("unknown scenario " + *name);
        }
        simulator = std::make_unique<EncoderSimulator>(*scenario);
    }
    PortLayer layer(simulator ? ForwardingPortBackends(*simulator) : environment.portBackends());
    std::unique_ptr<std::ofstream> traceFile;
    std::unique_ptr<PortTrace> trace;
    if (const auto path = options.Value("trace")) {
        traceFile = std::make_unique<std::ofstream>(*path, std::ios::binary);
        if (!*traceFile) {
            throw FileError("Cannot create file " + *path);
        }
        trace = std::make_unique<PortTrace>(layer, traceFile.get(), nullptr);
    }
    const auto timing = environment.timing();
    HeadlessFrontEnd frontEnd(out, err);
    const char separator = LocaleDecimalSeparator();
    ControlProgram program({frontEnd, layer, trace ? static_cast<PortIo&>(*trace) : layer, *timing,
                            [separator] {
                                return ImageClock{LocalNow(), separator};
                            },
                            ""});
    program.Link().SetSendObserver(
        [&](bool ok) { frontEnd.ReportSend(ok, program.Set(), program.Link()); });
    stopRequested = 0;
    CatchStopRequests(RequestStop);
    program.StartVAXO(options.Positional());
    if (program.HandedOver()) {
        const std::string handed = program.HandedOverCommandLine();
        err << TimeStamp() << " handed " << (handed.empty() ? "an empty command line" : handed)
            << " to the running copy" << std::endl;
        return 0;
    }
    if (!program.IsFirstInstance()) {
        err << TimeStamp() << " cannot start: " << program.SingleInstanceFailure() << std::endl;
        return 1;
    }
    ReportNewStation(program.Set(), err);
    frontEnd.ReportPort(program.Link().PortBase(), program.Link().PortInUseNow());
    RunEventLoop(program, frontEnd);
    const bool saved = program.ExitApp();
    program.EndProcess();
    return saved ? 0 : 1;
}

}  // namespace vaxo::ctl
