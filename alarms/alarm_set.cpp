#include "alarms/alarm_set.h"

#include <algorithm>

namespace vaxo {

const char* WhatName(AlarmEntry::What what) {
    switch (what) {
        case AlarmEntry::What::Raised:
            return "raised";
        case AlarmEntry::What::Cleared:
            return "cleared";
        case AlarmEntry::What::Acknowledged:
            return "acknowledged";
    }
    return "";
}

AlarmSet::AlarmSet(std::vector<AlarmEntry> history) {
    std::stable_sort(history.begin(), history.end(),
                     [](const AlarmEntry& a, const AlarmEntry& b) { return a.at < b.at; });
    for (AlarmEntry& entry : history) {
        switch (entry.what) {
            case AlarmEntry::What::Raised:
                active_[entry.key] = {entry.key, entry.text, entry.at};
                break;
            case AlarmEntry::What::Cleared:
                active_.erase(entry.key);
                break;
            case AlarmEntry::What::Acknowledged:
                if (const auto found = active_.find(entry.key); found != active_.end()) {
                    found->second.acknowledged = entry;
                }
                break;
        }
        history_.push_back(std::move(entry));
    }
    Trim();
}

std::optional<AlarmEntry> AlarmSet::Observe(const AlarmKey& key, const AlarmCondition& condition,
                                            AlarmNow now) {
    if (condition.state == AlarmCondition::State::Unknown) {
        return std::nullopt;
    }
    const bool holds = condition.state == AlarmCondition::State::Holds;
    const auto standing = active_.find(key);
    if (holds == (standing != active_.end())) {
        pending_.erase(key);
        if (holds) {
            standing->second.reason = condition.reason;
        }
        return std::nullopt;
    }
    auto [pending, fresh] = pending_.try_emplace(key, Pending{condition.state, now.elapsed});
    if (!fresh && pending->second.state != condition.state) {
        pending->second = {condition.state, now.elapsed};
    }
    const AlarmHysteresis hysteresis = HysteresisOf(key.kind);
    if (now.elapsed - pending->second.since <
        (holds ? hysteresis.raiseAfter : hysteresis.clearAfter)) {
        return std::nullopt;
    }
    pending_.erase(pending);
    if (holds) {
        active_[key] = {key, condition.reason, now.wall};
        return Record({now.wall, AlarmEntry::What::Raised, key, condition.reason});
    }
    active_.erase(key);
    return Record({now.wall, AlarmEntry::What::Cleared, key});
}

std::vector<AlarmEntry> AlarmSet::Forget(AlarmKind kind, const std::vector<AlarmKey>& looked,
                                         AlarmTime now) {
    std::vector<AlarmKey> gone;
    const auto unlooked = [&](const AlarmKey& key) {
        return key.kind == kind && std::find(looked.begin(), looked.end(), key) == looked.end();
    };
    for (const auto& [key, alarm] : active_) {
        if (unlooked(key)) {
            gone.push_back(key);
        }
    }
    std::erase_if(pending_, [&](const auto& item) { return unlooked(item.first); });
    std::vector<AlarmEntry> made;
    for (const AlarmKey& key : gone) {
        active_.erase(key);
        made.push_back(Record({now, AlarmEntry::What::Cleared, key}));
    }
    return made;
}

std::optional<std::string> AlarmSet::Acknowledge(const AlarmKey& key, const std::string& by,
                                                 AlarmTime now) {
    const auto found = active_.find(key);
    if (found == active_.end()) {
        return "no such alarm stands";
    }
    if (found->second.acknowledged) {
        return "acknowledged already by " + found->second.acknowledged->text;
    }
    found->second.acknowledged = Record({now, AlarmEntry::What::Acknowledged, key, by});
    return std::nullopt;
}

std::optional<MonotonicTime> AlarmSet::NextDue() const {
    std::optional<MonotonicTime> soonest;
    for (const auto& [key, pending] : pending_) {
        const AlarmHysteresis hysteresis = HysteresisOf(key.kind);
        const MonotonicTime due =
            pending.since + (pending.state == AlarmCondition::State::Holds ? hysteresis.raiseAfter
                                                                           : hysteresis.clearAfter);
        if (!soonest || due < *soonest) {
            soonest = due;
        }
    }
    return soonest;
}

AlarmEntry AlarmSet::Record(AlarmEntry entry) {
    history_.push_back(entry);
    Trim();
    return entry;
}

void AlarmSet::Trim() {
    if (history_.size() <= kHistory) {
        return;
    }
    const auto keeps = [&](const AlarmEntry& entry) {
        const auto found = active_.find(entry.key);
        return found != active_.end() &&
               ((entry.what == AlarmEntry::What::Raised && entry.at == found->second.since) ||
                (found->second.acknowledged && entry == *found->second.acknowledged));
    };
    std::deque<AlarmEntry> kept;
    std::size_t over = history_.size() - kHistory;
    for (AlarmEntry& entry : history_) {
        if (over > 0 && !keeps(entry)) {
            --over;
            continue;
        }
        kept.push_back(std::move(entry));
    }
    history_ = std::move(kept);
}

}  // namespace vaxo
