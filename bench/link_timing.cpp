// Timing of the encoder link with the real clock, quiet and with two busy
// processes competing for the processor: from a trace of simulated sends, the
// median interval between line changes and the 1st percentile of the clock's
// high and low times (I2C standard mode needs 4.0 us high and 4.7 us low; the
// design hold is 3/350001 s = 8.571 us), and an untraced send against its
// floor (calibration + 25 pages x (490 design holds + 10 ms) + 1 ms per area).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "link/encoder_simulator.h"
#include "link/image_transfer.h"
#include "link/memory_write_protocol.h"
#include "link/port_trace.h"
#include "platform/port_layer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Line changes read back from a trace: intervals between consecutive
// data-register writes, and how long the clock stayed high and low.
struct LineTimes {
    std::vector<double> intervals, clockHigh, clockLow;  // microseconds
};

LineTimes Analyse(const std::string& trace) {
    constexpr double kPagePause = 1000.0;  // us: longer gaps are the memory's write cycle
    LineTimes times;
    std::istringstream lines(trace);
    long long previous = -1, clockSince = -1;
    int clock = -1;
    for (std::string first; lines >> first;) {
        std::string port, value;
        if (first == "R") {
            lines >> first >> port >> value;
            continue;
        }
        lines >> port >> value;
        const long long ns = std::stoll(first);
        const int level =
            vaxo::LineState::Of(static_cast<std::uint8_t>(std::stoul(value, nullptr, 16))).clock;
        if (previous >= 0 && (ns - previous) / 1e3 < kPagePause) {
            times.intervals.push_back((ns - previous) / 1e3);
        }
        if (level != clock) {
            if (clock >= 0 && (ns - clockSince) / 1e3 < kPagePause) {
                (clock ? times.clockHigh : times.clockLow).push_back((ns - clockSince) / 1e3);
            }
            clock = level;
            clockSince = ns;
        }
        previous = ns;
    }
    return times;
}

// Busy processes that share the processor with the send, as playout software would.
class Load {
  public:
    explicit Load(int processes) {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                for (;;) {
                    vaxo::CountdownLoop(1u << 30);
                }
            }
            children_.push_back(pid);
        }
    }
    ~Load() {
        for (pid_t pid : children_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

  private:
    std::vector<pid_t> children_;
};

// Notes when the calibration inside a send starts and ends: it is the only
// user of the wall clock's second.
class CalibrationWatch : public vaxo::SystemTiming {
  public:
    int SecondOfMinute() override {
        const auto now = Clock::now();
        if (first == Clock::time_point{}) {
            first = now;
        }
        last = now;
        return SystemTiming::SecondOfMinute();
    }
    double Calibration() const { return Seconds(last - first); }

    Clock::time_point first{};
    Clock::time_point last{};
};

// A send as the program makes one, with a calibration of its own first.
bool Send(vaxo::PortIo& port, vaxo::LinkTiming& timing) {
    vaxo::RdsParameterSet set;
    set.ENDPS = true;
    set.RT = "Timing check";
    vaxo::SendJob job;
    vaxo::EncodedFields fields;
    vaxo::BuildEncoderImage(set, 0, vaxo::ImageClock{vaxo::LocalNow(), '.'}, fields, job.image);
    job.cpuSpeed = vaxo::MeasureCpuSpeed(timing).value_or(vaxo::kCpuSpeedBase);
    return !vaxo::TransferImage(port, timing, job, [](int) {}).problem;
}

void BM_SimulatedSend(benchmark::State& state) {
    const Load load(static_cast<int>(state.range(0)));
    LineTimes all;
    double ratio = 0;
    for (auto _ : state) {
        vaxo::EncoderSimulator encoder;
        std::ostringstream trace;
        vaxo::PortTrace recorder(encoder, &trace, nullptr);
        vaxo::SystemTiming timing;
        if (!Send(recorder, timing)) {
            state.SkipWithError("the simulated send failed");
            return;
        }
        const LineTimes times = Analyse(trace.str());
        for (auto [to, from] : {std::pair{&all.intervals, &times.intervals},
                                {&all.clockHigh, &times.clockHigh},
                                {&all.clockLow, &times.clockLow}}) {
            to->insert(to->end(), from->begin(), from->end());
        }
        vaxo::EncoderSimulator untraced;
        CalibrationWatch watch;
        const auto start = Clock::now();
        Send(untraced, watch);
        const double took = Seconds(Clock::now() - start);
        const double hold = std::chrono::duration<double>(vaxo::kDesignHold).count();
        const double floor =
            watch.Calibration() + 25 * (vaxo::kWritesPerPage * hold + 0.010) + 2 * 0.001;
        ratio = std::max(ratio, took / floor);
    }
    state.counters["median_interval_us"] = Percentile(all.intervals, 0.5);
    state.counters["p1_clock_high_us"] = Percentile(all.clockHigh, 0.01);
    state.counters["p1_clock_low_us"] = Percentile(all.clockLow, 0.01);
    state.counters["send_to_floor"] = ratio;
}
BENCHMARK(BM_SimulatedSend)
    ->ArgName("busy_processes")
    ->Arg(0)
    ->Arg(2)
    ->Iterations(2)
    ->Unit(benchmark::kSecond);

}  // namespace
