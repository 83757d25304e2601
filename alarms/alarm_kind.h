#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// What the program raises an alarm for. The names are what the history
// file, the metrics, the notifications and `vaxoctl alarms` write.
enum class AlarmKind {
    EncoderNotAnswering,  // the probe between sends hears no encoder
    SendsFailing,         // the last sends failed, or the port cannot be used
    FeedUnreadable,       // a followed live-text file cannot be read
    FeedUnchanged,        // a followed live-text file's text outstays its limit
    FallbackOnAir,        // the station's fallback text stands for a feed
    TaTooLong,            // TA was on for longer than its limit
    SendsHeld,            // sends wait for the memory's budget of writes
    WearLow,              // the memory's projected life is below its warning
    SavesFailing,         // the settings folder takes no save
    CertificateExpiring,  // the page's TLS certificate ends within 14 days
    AlertsFailing,        // alerts do not reach a webhook or the mail server
    ListenerDown,         // a listener asked for could not bind, and is tried again
};
inline constexpr int kAlarmKinds = static_cast<int>(AlarmKind::ListenerDown) + 1;

const char* AlarmName(AlarmKind kind);  // "encoder_not_answering"
std::optional<AlarmKind> AlarmNamed(std::string_view name);
const char* AlarmTitle(AlarmKind kind);  // "Encoder not answering"

// How long a condition must hold before it is raised and be gone before it
// is cleared, so that a moment's trouble raises nothing and a flapping one
// raises once.
struct AlarmHysteresis {
    std::chrono::seconds raiseAfter{0};
    std::chrono::seconds clearAfter{0};
};
AlarmHysteresis HysteresisOf(AlarmKind kind);

// One alarm: its kind and, for those that can stand more than once (a feed,
// a listener), what it is about ("radiotext", "web 0.0.0.0:443").
struct AlarmKey {
    AlarmKind kind = AlarmKind::EncoderNotAnswering;
    std::string subject = {};

    auto operator<=>(const AlarmKey&) const = default;
};

// "encoder_not_answering", "feed_unchanged radiotext".
std::string AlarmId(const AlarmKey& key);
std::optional<AlarmKey> ParseAlarmId(std::string_view id);

}  // namespace vaxo
