#include "app/alarm_json.h"

#include "base/utc_stamp.h"

namespace vaxo {
namespace {

using nlohmann::json;

json Named(const AlarmKey& key) {
    return {{"id", AlarmId(key)},
            {"alarm", AlarmName(key.kind)},
            {"subject", key.subject},
            {"title", AlarmTitle(key.kind)}};
}

json Active(const ActiveAlarm& alarm) {
    json active = Named(alarm.key);
    active["since"] = UtcStamp(alarm.since);
    active["reason"] = alarm.reason;
    active["acknowledged"] = alarm.acknowledged ? json{{"by", alarm.acknowledged->text},
                                                       {"at", UtcStamp(alarm.acknowledged->at)}}
                                                : json();
    return active;
}

json Entry(const AlarmEntry& entry) {
    json told = Named(entry.key);
    told["at"] = UtcStamp(entry.at);
    told["what"] = WhatName(entry.what);
    told["text"] = entry.text;
    return told;
}

}  // namespace

json AlarmsJson(const AlarmSet& alarms, std::size_t historyLimit) {
    json active = json::array();
    for (const auto& [key, alarm] : alarms.Active()) {
        active.push_back(Active(alarm));
    }
    json history = json::array();
    const auto& entries = alarms.History();
    for (auto entry = entries.rbegin(); entry != entries.rend() && history.size() < historyLimit;
         ++entry) {
        history.push_back(Entry(*entry));
    }
    return {{"active", active}, {"history", history}};
}

}  // namespace vaxo
