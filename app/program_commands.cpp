// The commands the program takes: each changes the station, its file or the
// sends through the program's one door, and answers its caller.
#include <algorithm>

#include "app/control_program.h"
#include "app/options_file.h"
#include "app/settings_file.h"

namespace vaxo {
namespace {

std::optional<Refusal> AsFileTrouble(const std::optional<std::string>& error) {
    return error ? std::optional(Refusal{RefusalCode::FileTrouble, *error}) : std::nullopt;
}

SendAsker AskerOf(const Origin& origin) {
    return origin.IsOperator() ? SendAsker::Operator : SendAsker::Client;
}

}  // namespace

CommandOutcome ControlProgram::Execute(const Command& command) {
    loop_.Check("ControlProgram::Execute");
    CommandOutcome outcome =
        std::visit([&](const auto& action) { return Run(command.origin, action); }, command.action);
    outcome.revision = revision_;
    if (command.origin.FromOutside()) {
        Tell(command, outcome);
    }
    return outcome;
}

// Changes from outside are told one by one, refusals with their reason.
void ControlProgram::Tell(const Command& command, const CommandOutcome& outcome) {
    if (!outcome.Accepted()) {
        events_.Emit(RemoteCommand{command.origin.who, command.shown, outcome.refusal->why, {}});
        return;
    }
    RemoteCommand told{command.origin.who, command.shown, "", outcome.changed};
    if (std::holds_alternative<SaveStation>(command.action)) {
        told.changed = {};
        told.note = "station file";
    } else if (std::holds_alternative<LoadStation>(command.action)) {
        told.changed = {};
        told.note = "station";
    }
    if (!told.changed.Empty() || !told.note.empty()) {
        events_.Emit(std::move(told));
    }
}

bool ControlProgram::AirChanged(const MemoryDump& before) const {
    const MemoryDump after = view_.Preview();
    return after.area1 != before.area1 || after.area2 != before.area2;
}

// A change from outside that alters what goes on air asks for a send by
// itself: the changes of a burst go out in one.
CommandOutcome ControlProgram::Run(const Origin& origin, const SetFields& command) {
    CommandOutcome outcome;
    const bool outside = origin.FromOutside();
    const MemoryDump before = outside ? view_.Preview() : MemoryDump{};
    AppliedValues applied = ApplyFieldValues(set_, command.values, view_.DecimalSeparator());
    outcome.fields = std::move(applied.outcomes);
    if (applied.refused) {
        const auto refused = std::find_if(outcome.fields.begin(), outcome.fields.end(),
                                          [](const FieldOutcome& f) { return !f.Accepted(); });
        outcome.refusal = Refusal{refused->code, refused->refusal};
        return outcome;
    }
    for (const auto& [field, bytes] : command.serverTexts) {
        set_.serverTexts[field] = bytes;
    }
    outcome.changed = applied.changed;
    FollowOptions(applied.changed);
    Changed(applied.changed, origin);
    if (outside && AirChanged(before)) {
        outcome.send = sends_.Ask(SendWhen::Soon, origin.who, AskerOf(origin));
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const LoadStation& command) {
    CommandOutcome outcome;
    outcome.refusal = AsFileTrouble(RunSteps({[&] {
        outcome.changed = OpenStation(command.path, origin, origin.FromOutside()).changed;
    }}));
    static_cast<void>(RunSteps({[&] { ShowTitle(); }, [&] { EnterFolder(); }}));
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const SaveStation&) {
    CommandOutcome outcome;
    const auto error = RunSteps({[&] { document_.Save(set_, origin.FromOutside()); }});
    SaveTold("the station file", error);
    outcome.refusal = AsFileTrouble(error);
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const SaveStationAs& command) {
    CommandOutcome outcome;
    const auto error =
        RunSteps({[&] { document_.SaveAs(set_, command.path, origin.FromOutside()); }});
    SaveTold("the station file", error);
    outcome.refusal = AsFileTrouble(error);
    static_cast<void>(RunSteps({[&] { ShowTitle(); }, [&] { EnterFolder(); }}));
    return outcome;
}

// Taken as a load takes a file: leniently, CLEAR resets first.
CommandOutcome ControlProgram::Run(const Origin& origin, const UploadStation& command) {
    CommandOutcome outcome;
    const StationChange change = document_.Upload(set_, command.text, command.path,
                                                  origin.FromOutside(), view_.DecimalSeparator());
    if (change.sendAfterLoad) {
        sends_.AskAfterLoad(*change.sendAfterLoad);
    }
    outcome.changed = change.changed;
    Changed(change.changed, origin);
    static_cast<void>(RunSteps({[&] { ShowTitle(); }}));
    return outcome;
}

// A signed-in operator's Send on the page is the operator's own: it goes at
// once, as the window's does.
CommandOutcome ControlProgram::Run(const Origin& origin, const SendStation& command) {
    CommandOutcome outcome;
    if (command.bank) {
        outcome = Run(origin, SetFields{{{FieldId::STB, *command.bank}}});
        outcome.send.reset();
    }
    const std::string reason = origin.FromOutside() ? origin.who : OriginName(origin);
    switch (command.when) {
        case SendWhen::Now:
            outcome.send =
                sends_.Ask(SendWhen::Now, reason,
                           origin.kind == Origin::Kind::WebSession ? SendAsker::OperatorsSend
                                                                   : AskerOf(origin));
            break;
        case SendWhen::Soon:
            outcome.send = sends_.Ask(SendWhen::Soon, reason, AskerOf(origin));
            break;
        case SendWhen::Operator:
            outcome.send = sends_.Ask(SendWhen::Operator, "operator", SendAsker::OperatorsSend);
            break;
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const ToggleTextAb&) {
    sends_.ToggleTextAb();
    CommandOutcome outcome;
    outcome.send =
        sends_.Ask(SendWhen::Soon, origin.who.empty() ? "A/B toggle" : origin.who, AskerOf(origin));
    return outcome;
}

// The settings and the station read again; what this run remembers of its
// sends stays.
CommandOutcome ControlProgram::Run(const Origin& origin, const ReloadStation&) {
    const MemoryDump before = view_.Preview();
    CommandOutcome outcome;
    outcome.refusal = AsFileTrouble(RunSteps({[&] {
        RdsParameterSet read;
        static_cast<void>(LoadSettingsFile(read, folder_));
        LoadOptionsFile(read, folder_);
        const auto values = FieldValues(set_);
        static_cast<ProgramOptions&>(set_) = read;
        settingsUnreadable_ = false;
        FieldSet options = ChangedFields(values, set_);
        options.Add(FieldsOf(FieldScope::ProgramOption));
        FollowOptions(options);
        Changed(options, origin);
    }}));
    if (const auto error = RunSteps({[&] {
            static_cast<void>(OpenStation(document_.Name(), origin,
                                          origin.FromOutside() || document_.NamedFromOutside()));
        }})) {
        outcome.refusal = AsFileTrouble(error);
    }
    if (AirChanged(before)) {
        outcome.send = sends_.Ask(SendWhen::Now, "reload", SendAsker::Operator);
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin&, const EndProgram&) {
    events_.Emit(ExitRequested{});
    return {};
}

}  // namespace vaxo
