// Timing of the encoder link with the real clock: the calibrated hold against
// its design value of 3/350001 s, and a healthy simulated send against its
// floor (calibration + 25 pages x (490 holds + 10 ms) + 1 ms per area).
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "link/encoder_simulator.h"
#include "link/memory_write_protocol.h"
#include "link/port_trace.h"
#include "link/send_operation.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Mean time between consecutive writes of a page, read back from a trace.
double MeanWriteIntervalFromTrace(const std::string& trace) {
    std::istringstream lines(trace);
    long long previous = -1, sum = 0, count = 0;
    for (std::string kind; lines >> kind;) {
        std::string port, value;
        if (kind == "R") {
            lines >> kind >> port >> value;
            previous = -1;
            continue;
        }
        lines >> port >> value;
        const long long ns = std::stoll(kind);
        if (previous >= 0 && ns - previous < 1'000'000) {  // not across a page pause
            sum += ns - previous;
            ++count;
        }
        previous = ns;
    }
    return count ? static_cast<double>(sum) / static_cast<double>(count) / 1e9 : 0.0;
}

// Real timing that notes when the calibration inside a send starts and ends:
// it is the only user of the wall clock's second.
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

}  // namespace

int main() {
    vaxo::SystemTiming timing;
    const auto calibrationStart = Clock::now();
    const std::uint32_t cpuSpeed = vaxo::MeasureCpuSpeed(timing);
    const double calibration = Seconds(Clock::now() - calibrationStart);
    const std::uint32_t count = (cpuSpeed - vaxo::kCpuSpeedBase) / 3;

    constexpr int kHolds = 20000;
    const auto holdStart = Clock::now();
    for (int i = 0; i < kHolds; ++i) {
        vaxo::HoldDelay(timing, cpuSpeed);
    }
    const double hold = Seconds(Clock::now() - holdStart) / kHolds;
    const double designHold = 3.0 / 350001.0;
    std::printf("calibration: c = %u countdowns, took %.3f s\n", count, calibration);
    std::printf("hold: %.3f us measured, %.3f us design, ratio %.3f\n", hold * 1e6,
                designHold * 1e6, hold / designHold);

    vaxo::EncoderSimulator traced;
    std::ostringstream trace;
    vaxo::PortTrace recorder(traced, vaxo::kLpt1Base, &trace, nullptr);
    std::vector<vaxo::BitElement> area(1664, 1);
    vaxo::WriteImageBlock(recorder, timing, vaxo::ImageArea::Rt, area, cpuSpeed, 0,
                          vaxo::kLpt1Base);
    std::printf("write interval from a trace: %.3f us (hold plus the write and its record)\n",
                MeanWriteIntervalFromTrace(trace.str()) * 1e6);

    vaxo::RdsParameterSet set;
    set.ENDPS = true;
    set.RT = "Floor check";
    vaxo::EncoderSimulator encoder;
    vaxo::SendFrontEnd silent;
    CalibrationWatch watch;
    vaxo::EncoderLink link(set, encoder, watch, silent, [] {
        return vaxo::ImageClock{vaxo::LocalNow(), '.'};
    });
    const auto sendStart = Clock::now();
    const bool ok = link.UploadRDS();
    const double send = Seconds(Clock::now() - sendStart);
    const int pages = 12 + 13;
    // The send calibrated on its own: its hold is 3c + 1 turns of its own count.
    const std::string& countLine = set.LastSent[0][26];
    const double sendCount = std::stod(countLine.substr(countLine.find('=') + 1));
    const double secondsPerTurn = hold / (3.0 * count + 1);
    const double sendHold = (3.0 * sendCount + 1) * secondsPerTurn;
    const double writesFloor = pages * (vaxo::kWritesPerPage * sendHold + 0.010) + 2 * 0.001;
    const double floor = watch.Calibration() + writesFloor;
    std::printf("healthy simulated send (%s, %d pages): %.3f s, floor %.3f s, ratio %.4f\n",
                ok ? "ok" : "Error", pages, send, floor, send / floor);
    std::printf("  without its calibration (%.3f s): %.4f s against %.4f s, ratio %.4f\n",
                watch.Calibration(), send - watch.Calibration(), writesFloor,
                (send - watch.Calibration()) / writesFloor);
    return ok ? 0 : 1;
}
