#pragma once

#include <cstddef>

#include <nlohmann/json.hpp>

#include "alarms/alarm_set.h"

namespace vaxo {

// The alarms for scripts and the page: {"active": [{id, alarm, subject,
// title, since, reason, acknowledged: {by, at} | null}], "history": [{at,
// what, id, alarm, subject, title, text}]}, moments in ISO 8601 UTC, the
// newest `historyLimit` entries of the history, newest first.
nlohmann::json AlarmsJson(const AlarmSet& alarms, std::size_t historyLimit);

}  // namespace vaxo
