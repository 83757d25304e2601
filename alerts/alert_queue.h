#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "alerts/alert_message.h"
#include "base/link_timing.h"

namespace vaxo {

// One alert on its way to one target (a webhook, or the mail server).
struct Delivery {
    Alert alert;
    std::size_t target = 0;
    int attempts = 0;
    MonotonicTime first{};  // when it was queued
    MonotonicTime due{};    // when it may be tried (again)
};

// The wait after the n-th failed attempt: 10 s, doubling up to 10 minutes.
std::chrono::seconds RetryDelay(int attempts);

// The deliveries waiting, per target in the order the alarms changed: a
// clear never overtakes its raise, and each target has at most one in
// flight. A delivery that keeps failing is tried for kGiveUpAfter; a target
// keeps at most kLimit, the oldest given up to make room.
class AlertQueue {
  public:
    static constexpr std::size_t kLimit = 500;
    static constexpr std::chrono::hours kGiveUpAfter{24};

    explicit AlertQueue(std::size_t targets) : waiting_(targets), inFlight_(targets, false) {}

    // One delivery for each target; how many older ones were given up to
    // make room.
    std::size_t Add(const Alert& alert, MonotonicTime now);
    // The next delivery that is due, taken out until Delivered or Failed.
    std::optional<Delivery> TakeDue(MonotonicTime now);
    void Delivered(const Delivery& delivery);
    // Put back to be tried again after its delay, unless it was permanent
    // or has been tried for a day; whether it will be tried again.
    bool Failed(Delivery delivery, bool permanent, MonotonicTime now);
    // When the next delivery becomes due; none while nothing waits.
    std::optional<MonotonicTime> NextDue() const;
    std::size_t Waiting() const;

  private:
    std::vector<std::deque<Delivery>> waiting_;
    std::vector<bool> inFlight_;
};

}  // namespace vaxo
