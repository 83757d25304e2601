#include "metrics/metrics_text.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "app/health.h"

namespace vaxo {
namespace {

double Seconds(std::chrono::system_clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// Numbers as Prometheus reads them: integers without a fraction.
std::string Number(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

class Exposition {
  public:
    void Family(const char* name, const char* type, const char* help) {
        text_ +=
            std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void Sample(const char* name, double value, const std::string& labels = "") {
        text_ += name;
        if (!labels.empty()) {
            text_ += '{' + labels + '}';
        }
        text_ += ' ' + Number(value) + '\n';
    }
    std::string Text() const { return text_; }

  private:
    std::string text_;
};

const char* FeedLabel(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext" : "dynamic_ps";
}

void Sends(Exposition& out, const ProgramView& program) {
    out.Family("vaxo_sends_total", "counter", "Sends of this run that ended, by result.");
    out.Sample("vaxo_sends_total", static_cast<double>(program.SendsEnded().onAir),
               "result=\"ok\"");
    out.Sample("vaxo_sends_total", static_cast<double>(program.SendsEnded().failed),
               "result=\"failed\"");
    out.Family("vaxo_last_send_timestamp_seconds", "gauge",
               "When the last send of this run ended, Unix time; NaN before the first.");
    const auto& last = program.LastSendEnded();
    out.Sample("vaxo_last_send_timestamp_seconds",
               last ? Seconds(last->at.time_since_epoch()) : std::nan(""));
    out.Family("vaxo_send_failures_in_row", "gauge",
               "Sends that failed since the last that went on air.");
    out.Sample("vaxo_send_failures_in_row", program.FailuresInRow());
    out.Family("vaxo_sends_held", "gauge",
               "1 while a send waits for the memory's budget of writes.");
    out.Sample("vaxo_sends_held", program.Held() ? 1 : 0);
    out.Family("vaxo_pending_fields", "gauge",
               "Fields whose value the bank that sends go to does not hold yet; NaN while this "
               "run has not written that bank.");
    const auto pending = FieldsNotOnAir(program);
    out.Sample("vaxo_pending_fields",
               pending ? static_cast<double>(pending->Count()) : std::nan(""));
}

void Wear(Exposition& out, const ProgramView& program) {
    double writes = 0;
    for (const auto& block : program.Ledger().Counts()) {
        for (const std::uint64_t count : block) {
            writes += static_cast<double>(count);
        }
    }
    out.Family("vaxo_page_writes_total", "counter",
               "Page writes of the encoder's memory, kept across runs in the wear ledger.");
    out.Sample("vaxo_page_writes_total", writes);
    out.Family("vaxo_wear_years_left", "gauge",
               "Years until the busiest page reaches its endurance at the rate of the last "
               "week; NaN before a day of history.");
    const auto years = program.WearYearsLeft();
    out.Sample("vaxo_wear_years_left", years ? *years : std::nan(""));
}

void Feeds(Exposition& out, const ProgramView& program, std::chrono::system_clock::time_point now) {
    out.Family("vaxo_feed_age_seconds", "gauge",
               "Seconds since a followed live-text file's text last changed (its first read in "
               "this run counts); NaN while it has not been read.");
    for (const FeedReport& report : program.Feeds()) {
        const auto changed = program.FeedTextChanged(report.source);
        out.Sample("vaxo_feed_age_seconds", changed ? Seconds(now - *changed) : std::nan(""),
                   std::string("feed=\"") + FeedLabel(report.source) + '"');
    }
}

// One series for each kind, whatever its subjects, so that a rule on it
// never meets a series that comes and goes.
void Alarms(Exposition& out, const ProgramView& program) {
    std::array<bool, kAlarmKinds> standing{};
    for (const auto& [key, alarm] : program.Alarms().Active()) {
        standing[static_cast<std::size_t>(key.kind)] = true;
    }
    out.Family("vaxo_alarm_active", "gauge",
               "1 while an alarm of the kind stands (raised and not cleared).");
    for (int kind = 0; kind < kAlarmKinds; ++kind) {
        out.Sample("vaxo_alarm_active", standing[static_cast<std::size_t>(kind)] ? 1 : 0,
                   std::string("alarm=\"") + AlarmName(static_cast<AlarmKind>(kind)) + '"');
    }
    out.Family("vaxo_alarms_active", "gauge", "Alarms that stand.");
    out.Sample("vaxo_alarms_active", static_cast<double>(program.Alarms().Active().size()));
}

}  // namespace

std::string MetricsText(const ProgramView& program, std::chrono::system_clock::time_point now) {
    Exposition out;
    out.Family("vaxo_encoder_up", "gauge",
               "1 while the encoder answers (its status line seen at both levels within 10 s).");
    out.Sample("vaxo_encoder_up",
               program.Encoder().state == EncoderAnswer::State::Answering ? 1 : 0);
    Sends(out, program);
    Wear(out, program);
    Feeds(out, program, now);
    Alarms(out, program);
    return out.Text();
}

}  // namespace vaxo
