#include "alarms/alarm_kind.h"

#include <array>

namespace vaxo {
namespace {

using namespace std::chrono_literals;

struct KindFacts {
    const char* name;
    const char* title;
    AlarmHysteresis hysteresis;
};

// clang-format off
constexpr std::array<KindFacts, kAlarmKinds> kKinds{{
    {"encoder_not_answering", "Encoder not answering", {0s, 10s}},
    {"sends_failing", "Sends failing", {0s, 0s}},
    {"feed_unreadable", "Live-text file unreadable", {10s, 10s}},
    {"feed_unchanged", "Live-text file unchanged", {0s, 0s}},
    {"fallback_on_air", "Fallback text on air", {0s, 0s}},
    {"ta_too_long", "TA on too long", {0s, 0s}},
    {"sends_held", "Sends held by the budget of writes", {60s, 10s}},
    {"wear_low", "Memory wearing out", {0s, 60s}},
    {"saves_failing", "Saves failing", {0s, 0s}},
    {"certificate_expiring", "TLS certificate expiring", {0s, 0s}},
    {"alerts_failing", "Alerts not delivered", {0s, 0s}},
    {"listener_down", "Listener could not start", {0s, 0s}},
}};
// clang-format on

const KindFacts& FactsOf(AlarmKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

}  // namespace

const char* AlarmName(AlarmKind kind) {
    return FactsOf(kind).name;
}

const char* AlarmTitle(AlarmKind kind) {
    return FactsOf(kind).title;
}

AlarmHysteresis HysteresisOf(AlarmKind kind) {
    return FactsOf(kind).hysteresis;
}

std::optional<AlarmKind> AlarmNamed(std::string_view name) {
    for (std::size_t index = 0; index < kKinds.size(); ++index) {
        if (name == kKinds[index].name) {
            return static_cast<AlarmKind>(index);
        }
    }
    return std::nullopt;
}

std::string AlarmId(const AlarmKey& key) {
    std::string id = AlarmName(key.kind);
    if (!key.subject.empty()) {
        id += ' ' + key.subject;
    }
    return id;
}

std::optional<AlarmKey> ParseAlarmId(std::string_view id) {
    const auto space = id.find(' ');
    const auto kind = AlarmNamed(id.substr(0, space));
    if (!kind) {
        return std::nullopt;
    }
    if (space == std::string_view::npos) {
        return AlarmKey{*kind};
    }
    const auto subject = id.substr(space + 1);
    if (subject.empty()) {
        return std::nullopt;
    }
    return AlarmKey{*kind, std::string(subject)};
}

}  // namespace vaxo
