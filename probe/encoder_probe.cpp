#include "probe/encoder_probe.h"

#include "base/overloaded.h"
#include "platform/link_fault.h"

namespace vaxo {

EncoderProbe::EncoderProbe(CoreHost& host, LinkTiming& timing, EventHub& events,
                           SendScheduler& sends)
    : timing_(timing),
      events_(events),
      sends_(sends),
      timer_(host.MakeTimer("encoder probe", [this] { Probe(); })),
      listening_(events.Listen([this](const ProgramEvent& event) { Heard(event); })) {}

EncoderProbe::~EncoderProbe() {
    Stop();
}

void EncoderProbe::Start() {
    started_ = timing_.Now();
    timer_->Start(std::chrono::duration_cast<std::chrono::milliseconds>(kEvery));
    Probe();
}

void EncoderProbe::Stop() {
    timer_->Stop();
    started_.reset();
}

void EncoderProbe::Probe() {
    if (!started_) {
        return;
    }
    if (const PortInUse& port = sends_.Link().Port(); port.problem) {
        Become(EncoderAnswer::State::NotAnswering, DescribeLinkProblem(port.problem));
        return;
    }
    // A send that runs reads the line itself; its end is heard below.
    static_cast<void>(sends_.ReadStatus(kReads, [this, alive = std::weak_ptr<bool>(alive_)](
                                                    const EncoderLink::StatusSample& sample) {
        if (!alive.expired()) {
            Took(sample);
        }
    }));
}

void EncoderProbe::Took(const EncoderLink::StatusSample& sample) {
    const MonotonicTime now = timing_.Now();
    if (sample.low) {
        lastLow_ = now;
    }
    if (sample.high) {
        lastHigh_ = now;
    }
    Judge();
}

void EncoderProbe::Heard(const ProgramEvent& event) {
    if (const auto* finished = std::get_if<SendFinished>(&event); finished && !finished->problem) {
        lastLow_ = lastHigh_ = timing_.Now();  // the encoder confirmed what it took
        Judge();
    }
}

void EncoderProbe::Judge() {
    if (!started_) {
        return;
    }
    const MonotonicTime now = timing_.Now();
    const auto recent = [&](const std::optional<MonotonicTime>& at) {
        return at && now - *at <= kWindow;
    };
    if (recent(lastLow_) && recent(lastHigh_)) {
        Become(EncoderAnswer::State::Answering, "");
    } else if (now - *started_ >= kWindow && (recent(lastLow_) || recent(lastHigh_))) {
        Become(EncoderAnswer::State::NotAnswering,
               recent(lastHigh_) ? "its status line stays high" : "its status line stays low");
    }
}

void EncoderProbe::Become(EncoderAnswer::State state, std::string reason) {
    if (answer_.state == state && answer_.reason == reason) {
        return;
    }
    answer_ = {state, std::move(reason), std::chrono::system_clock::now()};
    events_.Emit(EncoderAnswerChanged{answer_});
}

}  // namespace vaxo
