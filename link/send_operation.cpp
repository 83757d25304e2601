#include "link/send_operation.h"

#include <span>
#include <utility>

#include "link/memory_write_protocol.h"
#include "record/station_fields.h"

namespace vaxo {
namespace {

constexpr long kGuardSeconds = 1;  // a click this many whole seconds after a send is ignored
constexpr int kLastPsAttempt = 2;  // the attempt after it is never confirmed
constexpr int kLastAttempt = 4;

std::span<const BitElement> Elements(const EncoderImage& image, ImageArea area) {
    if (area == ImageArea::Ps) {
        return image.PsArea;
    }
    return image.RtArea;
}

}  // namespace

EncoderLink::EncoderLink(RdsParameterSet& set, PortIo& port, LinkTiming& timing,
                         SendFrontEnd& frontEnd, std::function<ImageClock()> clock)
    : set_(set), port_(port), timing_(timing), frontEnd_(frontEnd), clock_(std::move(clock)) {}

void EncoderLink::UPClick() {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(timing_.Now() - set_.LastSendTime);
    if (elapsed.count() <= kGuardSeconds) {
        return;
    }
    set_.UpdateTextAb();
    static_cast<void>(UploadRDS());  // the front end has shown the outcome
    set_.LastSendTime = timing_.Now();
}

bool EncoderLink::UploadRDS() {
    frontEnd_.SendStarted();
    frontEnd_.SetProgress(10);
    set_.SendPending = false;
    BuildEncoderImage(set_, clock_(), fields_, image_);
    set_.NotifyChanged();
    frontEnd_.SetProgress(20);
    frontEnd_.HandlePendingEvents();
    blockWrites_ = 0;
    lastProblem_ = Transfer();
    const bool ok = !lastProblem_;
    if (!ok) {
        frontEnd_.SendFailed();
    }
    frontEnd_.SetProgress(0);
    frontEnd_.SendFinished();
    if (observer_) {
        observer_(ok);
    }
    return ok;
}

// Calibration, the first wait and both areas; on success the bank's record.
// A port that cannot be opened fails at once: no wait could succeed on it.
LinkProblem EncoderLink::Transfer() {
    const int bankBit = set_.STB == 1 ? 0 : 1;
    if (const PortInUse port = port_.OpenPort(portBase_); port.problem) {
        return port.problem;
    }
    const std::uint32_t cpuSpeed = MeasureCpuSpeed(timing_);
    frontEnd_.SetProgress(50);
    LinkFault fault = WaitForEncoder(port_, timing_, portBase_);
    const MonotonicTime start = timing_.Now();
    if (fault == LinkFault::None) {
        frontEnd_.SetProgress(100);
        fault = WriteAreas(cpuSpeed, bankBit);
    }
    if (fault != LinkFault::None) {
        return {fault, LptName(portBase_)};
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(timing_.Now() - start);
    set_.LastSent[static_cast<std::size_t>(bankBit)] =
        RecordOfSend((cpuSpeed - kCpuSpeedBase) / 3, took.count());
    ShowLastSent();
    if (set_.EXAL) {
        frontEnd_.RequestExit();
    }
    return {};
}

// One counter of attempts runs over both areas: the first area gets at most
// three writes, two of them confirmable; five block writes in all.
LinkFault EncoderLink::WriteAreas(std::uint32_t cpuSpeed, int bankBit) {
    int attempts = 0;
    const LinkFault ps = WriteArea(ImageArea::Ps, cpuSpeed, bankBit, attempts, 0, kLastPsAttempt);
    if (ps != LinkFault::None) {
        return ps;
    }
    return WriteArea(ImageArea::Rt, cpuSpeed, bankBit, attempts, 1, kLastAttempt);
}

// Writes one area until the status line confirms it. A new encoder wait comes
// before every attempt once `attempts` exceeds waitAfter; the attempt that
// takes the count past lastAttempt is made but never confirmed.
LinkFault EncoderLink::WriteArea(ImageArea area, std::uint32_t cpuSpeed, int bankBit, int& attempts,
                                 int waitAfter, int lastAttempt) {
    LinkFault waited = LinkFault::None;
    for (;;) {
        if (attempts > waitAfter) {
            waited = WaitForEncoder(port_, timing_, portBase_);
        }
        if (waited == LinkFault::None) {
            WriteImageBlock(port_, timing_, area, Elements(image_, area), cpuSpeed, bankBit,
                            portBase_);
            ++blockWrites_;
        }
        ++attempts;
        if (attempts > lastAttempt) {
            return waited != LinkFault::None ? waited : LinkFault::WriteNotConfirmed;
        }
        if (waited != LinkFault::None) {
            return waited;
        }
        if (ReadEncoderStatus(port_, portBase_ + 1u)) {
            return LinkFault::None;
        }
    }
}

// The station file's forms where a key is shared; the current radiotext, the
// texts the dynamic PS table got and the A/B flag of this send are its own.
LastSentRecord EncoderLink::RecordOfSend(std::uint32_t calibrationCount,
                                         long long milliseconds) const {
    LastSentRecord record;
    std::size_t line = 0;
    record[line++] = StationFieldLine(set_, "PS");
    record[line++] = "RT=" + set_.ActualRT();
    for (std::size_t k = 0; k < 8; ++k) {
        record[line++] =
            "DPS" + std::to_string(k + 1) + "=" + (set_.ENDPS ? image_.SentDpsTexts[k] : "");
    }
    for (const char* key : {"PTY", "MS", "TP", "TA", "PI", "DI", "AF1", "AF2", "AF3", "AF4", "AF5",
                            "AF6", "AF7", "DPSP"}) {
        record[line++] = StationFieldLine(set_, key);
    }
    record[line++] = std::string("RTAB=") + (set_.TextAbFlag == 1 ? "1" : "0");
    record[line++] = StationFieldLine(set_, "MBS");
    record[line++] = "CPUSPEED=" + std::to_string(calibrationCount);
    record[line++] = "SENDTIME=" + std::to_string(milliseconds) + " ms";
    return record;
}

void EncoderLink::ShowLastSent() {
    frontEnd_.ShowLastSent(set_.LastSent[shownBank_ == 2 ? 1 : 0]);
}

void EncoderLink::PORTClick() {
    portBase_ = set_.PORT == 1 ? kLpt2Base : kLpt1Base;
}

}  // namespace vaxo
