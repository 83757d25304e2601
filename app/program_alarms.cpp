// The conditions the program raises alarms for, looked at on the alarms'
// round and after the events that change them, and the TA limit.
#include <cmath>

#include "app/control_program.h"
#include "app/health.h"
#include "app/settings_file.h"
#include "app/wear_words.h"
#include "base/file_io.h"
#include "base/visible_text.h"
#include "platform/link_fault.h"

namespace vaxo {
namespace {

using Conditions = std::vector<std::pair<AlarmKey, AlarmCondition>>;

std::string FeedSubject(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext" : "dynamic_ps";
}

AlarmCondition EncoderCondition(const EncoderAnswer& answer) {
    switch (answer.state) {
        case EncoderAnswer::State::Answering:
            return AlarmCondition::Gone();
        case EncoderAnswer::State::NotAnswering:
            return AlarmCondition::Holding(answer.reason);
        case EncoderAnswer::State::Unknown:
            break;
    }
    return {};
}

AlarmCondition SendsCondition(const ProgramView& program) {
    if (const PortInUse port = program.Port().inUse; port.problem) {
        return AlarmCondition::Holding("the port cannot be used: " +
                                       DescribeLinkProblem(port.problem));
    }
    const auto& last = program.LastSendEnded();
    if (program.FailuresInRow() == 0 || !last || !last->problem) {
        return AlarmCondition::Gone();
    }
    const int failures = program.FailuresInRow();
    return AlarmCondition::Holding(
        (failures == 1 ? std::string("the last send failed")
                       : "the last " + std::to_string(failures) + " sends failed") +
        ": " + DescribeLinkProblem(last->problem));
}

Conditions FeedConditions(const ProgramView& program) {
    Conditions conditions;
    for (const FeedReport& report : program.Feeds()) {
        conditions.push_back(
            {{AlarmKind::FeedUnreadable, FeedSubject(report.source)},
             FeedInTrouble(report)
                 ? AlarmCondition::Holding(report.file + ": " + FeedPassedOverReason(report))
                 : AlarmCondition::Gone()});
    }
    return conditions;
}

AlarmCondition HeldCondition(const ProgramView& program) {
    const auto& held = program.Held();
    if (!held) {
        return AlarmCondition::Gone();
    }
    return AlarmCondition::Holding(
        DescribeSendsHeld({held->block, held->page, held->perDay, held->next}));
}

AlarmCondition WearCondition(const ProgramView& program) {
    const auto years = program.WearYearsLeft();
    if (!years) {
        return {};
    }
    if (*years >= kWearWarningYears) {
        return AlarmCondition::Gone();
    }
    char text[120];
    std::snprintf(text, sizeof text, "%.1f years left at the rate of the last week", *years);
    return AlarmCondition::Holding(text);
}

}  // namespace

void ControlProgram::HeardForAlarms(const ProgramEvent& event) {
    if (std::holds_alternative<SendFinished>(event) ||
        std::holds_alternative<EncoderAnswerChanged>(event) ||
        std::holds_alternative<FeedChanged>(event) || std::holds_alternative<SendsHeld>(event) ||
        std::holds_alternative<PortChanged>(event)) {
        LookForAlarms(AlarmLook::OnlyLook);
    }
}

// Within an event the program is in the middle of something (a look at the
// feeds, the end of a send): the fallback and the TA limit act on the
// alarms' own round only.
void ControlProgram::LookForAlarms(AlarmLook look) {
    if (!instance_.IsFirstInstance()) {
        return;
    }
    alarms_.Observe({AlarmKind::EncoderNotAnswering}, EncoderCondition(view_.Encoder()));
    alarms_.Observe({AlarmKind::SendsFailing}, SendsCondition(view_));
    alarms_.Observe(AlarmKind::FeedUnreadable, FeedConditions(view_));
    alarms_.Observe({AlarmKind::SendsHeld}, HeldCondition(view_));
    alarms_.Observe({AlarmKind::WearLow}, WearCondition(view_));
    alarms_.Observe({AlarmKind::SavesFailing}, SavesCondition());
    if (look == AlarmLook::AndAct) {
        LookAfterFeedLimits();
    }
    Conditions unchanged;
    Conditions fallback;
    for (const FeedReport& report : view_.Feeds()) {
        unchanged.push_back({{AlarmKind::FeedUnchanged, FeedSubject(report.source)},
                             UnchangedCondition(report.source)});
        fallback.push_back({{AlarmKind::FallbackOnAir, FeedSubject(report.source)},
                            FallbackCondition(report.source)});
    }
    alarms_.Observe(AlarmKind::FeedUnchanged, unchanged);
    alarms_.Observe(AlarmKind::FallbackOnAir, fallback);
    if (look == AlarmLook::AndAct) {
        LookAfterTa();
    }
    alarms_.Observe({AlarmKind::TaTooLong}, taTurnedOff_.empty()
                                                ? AlarmCondition::Gone()
                                                : AlarmCondition::Holding(taTurnedOff_));
}

AlarmCondition ControlProgram::SavesCondition() const {
    std::string why = saveFailure_;
    if (why.empty() && !wear_.SaveTrouble().empty()) {
        why = "the wear ledger: " + wear_.SaveTrouble();
    }
    if (why.empty() && !alarms_.SaveTrouble().empty()) {
        why = "the alarm history: " + alarms_.SaveTrouble();
    }
    if (why.empty() && !folder_.empty()) {
        if (const auto denied = WhyNotWritable(folder_ + kSettingsFileName)) {
            why = "the settings: " + *denied;
        }
    }
    return why.empty() ? AlarmCondition::Gone() : AlarmCondition::Holding(why);
}

void ControlProgram::SaveTold(const std::string& what, const std::optional<std::string>& error) {
    saveFailure_ = error ? what + ": " + *error : std::string();
    alarms_.Observe({AlarmKind::SavesFailing}, SavesCondition());
}

void ControlProgram::FollowTa(const FieldSet& fields) {
    if (!fields.Has(FieldId::TA)) {
        return;
    }
    if (set_.TA == 1) {
        taOnSince_ = services_.timing.Now();
        taTurnedOff_.clear();
    } else {
        taOnSince_.reset();
    }
}

// A TA left on pulls every receiver in range onto the station, whatever it
// was playing: past its limit it goes off, with a send.
void ControlProgram::LookAfterTa() {
    if (!taOnSince_ || set_.TA != 1 || set_.TALIMIT == 0) {
        return;
    }
    const auto limit = std::chrono::minutes(set_.TALIMIT);
    if (services_.timing.Now() - *taOnSince_ < limit) {
        return;
    }
    const std::string turnedOff = "TA was on for " + std::to_string(set_.TALIMIT) +
                                  (set_.TALIMIT == 1 ? " minute" : " minutes") +
                                  " and was turned off (its limit, TALIMIT)";
    const Origin limiter{Origin::Kind::Program, "the TA limit"};
    const CommandOutcome outcome = Run(limiter, SetFields{{{FieldId::TA, FieldValue(false)}}});
    if (outcome.Accepted()) {
        taTurnedOff_ = turnedOff;
        events_.Emit(ErrorReported{turnedOff});
        static_cast<void>(sends_.Ask(SendWhen::Now, "the TA limit", SendAsker::Operator));
    }
}

CommandOutcome ControlProgram::Run(const Origin& origin, const AcknowledgeAlarm& command) {
    CommandOutcome outcome;
    const auto key = ParseAlarmId(command.alarm);
    if (!key) {
        // The id comes from a client: told as far as an id could reach.
        outcome.refusal =
            Refusal{RefusalCode::Unknown,
                    "no such alarm: " + WithInvisiblesShown(command.alarm.substr(0, 80))};
        return outcome;
    }
    if (auto refused = alarms_.Acknowledge(*key, OriginName(origin))) {
        outcome.refusal = Refusal{RefusalCode::Stale, *refused};
        return outcome;
    }
    if (key->kind == AlarmKind::TaTooLong) {
        taTurnedOff_.clear();  // seen: nothing is left to do about it
        LookForAlarms(AlarmLook::OnlyLook);
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin&, const ReportCondition& command) {
    alarms_.Observe(command.alarm, command.holds ? AlarmCondition::Holding(*command.holds)
                                                 : AlarmCondition::Gone());
    return {};
}

}  // namespace vaxo
