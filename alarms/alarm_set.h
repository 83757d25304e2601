#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "alarms/alarm_kind.h"
#include "base/link_timing.h"

namespace vaxo {

using AlarmTime = std::chrono::system_clock::time_point;

// When a look is made: the wall clock for the history, elapsed time for the
// hysteresis (which a clock set back or forward must not stretch or skip).
struct AlarmNow {
    AlarmTime wall;
    MonotonicTime elapsed;
};

// One line of an alarm's story.
struct AlarmEntry {
    enum class What { Raised, Cleared, Acknowledged };
    AlarmTime at;
    What what = What::Raised;
    AlarmKey key;
    // Raised: why; Acknowledged: by whom ("web 192.0.2.7"); Cleared: empty.
    std::string text = {};

    bool operator==(const AlarmEntry&) const = default;
};
const char* WhatName(AlarmEntry::What what);  // "raised", "cleared", "acknowledged"

struct ActiveAlarm {
    AlarmKey key;
    std::string reason;  // as raised, or as it reads now
    AlarmTime since;
    std::optional<AlarmEntry> acknowledged = {};
};

// What a condition looks like on one look.
struct AlarmCondition {
    enum class State { Holds, Clear, Unknown };
    State state = State::Unknown;
    std::string reason = {};  // Holds: why

    static AlarmCondition Holding(std::string why) { return {State::Holds, std::move(why)}; }
    static AlarmCondition Gone() { return {State::Clear}; }
};

// The alarms: which stand, and their bounded history. A condition is raised
// once it has held for its kind's raiseAfter and cleared once it has been
// gone for clearAfter; an unknown look changes nothing. The history keeps the
// newest kHistory entries, and always the raise and acknowledgement of an
// alarm that still stands, so that it survives a restart.
class AlarmSet {
  public:
    static constexpr std::size_t kHistory = 1000;

    AlarmSet() = default;
    // Takes up where a history left off: what was raised and not cleared
    // still stands.
    explicit AlarmSet(std::vector<AlarmEntry> history);

    // The new entries this look made (none, a raise or a clear).
    std::optional<AlarmEntry> Observe(const AlarmKey& key, const AlarmCondition& condition,
                                      AlarmNow now);
    // Everything of `kind` that stands or is on its way and is not among
    // `looked` is gone; the entries this made.
    std::vector<AlarmEntry> Forget(AlarmKind kind, const std::vector<AlarmKey>& looked,
                                   AlarmTime now);
    // Why not, when the alarm does not stand or was acknowledged already.
    std::optional<std::string> Acknowledge(const AlarmKey& key, const std::string& by,
                                           AlarmTime now);

    const std::map<AlarmKey, ActiveAlarm>& Active() const { return active_; }
    bool Stands(const AlarmKey& key) const { return active_.contains(key); }
    const std::deque<AlarmEntry>& History() const { return history_; }
    // The soonest moment at which a condition seen holding or gone becomes
    // a raise or a clear, for a look then.
    std::optional<MonotonicTime> NextDue() const;

  private:
    struct Pending {
        AlarmCondition::State state;
        MonotonicTime since;
    };
    AlarmEntry Record(AlarmEntry entry);
    void Trim();

    std::map<AlarmKey, ActiveAlarm> active_;
    std::map<AlarmKey, Pending> pending_;
    std::deque<AlarmEntry> history_;
};

}  // namespace vaxo
