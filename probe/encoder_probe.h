#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "base/core_host.h"
#include "base/link_timing.h"
#include "events/event_hub.h"
#include "sending/send_scheduler.h"

namespace vaxo {

// Whether the encoder answers, known between sends too: every kEvery its
// status line is read a few times on the link thread (reads only: nothing
// is written, nothing wears). The encoder answers while its line has been
// seen at both levels within kWindow, as a ready encoder's goes low and high
// again and again; a line seen at one level only for kWindow (stuck high,
// stuck low, no encoder at all), or a port that cannot be used, is an
// encoder that does not answer, told within kWindow + kEvery. A send's own
// checks stand beside it: a confirmed send counts as the line seen at both
// levels. Changes are told as EncoderAnswerChanged. On the loop's thread.
class EncoderProbe {
  public:
    EncoderProbe(CoreHost& host, LinkTiming& timing, EventHub& events, SendScheduler& sends);
    EncoderProbe(const EncoderProbe&) = delete;
    EncoderProbe& operator=(const EncoderProbe&) = delete;
    ~EncoderProbe();

    void Start();
    void Stop();
    const EncoderAnswer& Answer() const { return answer_; }

    static constexpr auto kEvery = std::chrono::seconds(2);
    static constexpr auto kWindow = std::chrono::seconds(10);
    static constexpr int kReads = 8;

  private:
    void Probe();
    void Took(const EncoderLink::StatusSample& sample);
    void Heard(const ProgramEvent& event);
    void Judge();
    void Become(EncoderAnswer::State state, std::string reason);

    LinkTiming& timing_;
    EventHub& events_;
    SendScheduler& sends_;
    std::unique_ptr<LoopTimer> timer_;
    Subscription listening_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::optional<MonotonicTime> started_;
    std::optional<MonotonicTime> lastLow_;
    std::optional<MonotonicTime> lastHigh_;
    EncoderAnswer answer_;
};

}  // namespace vaxo
