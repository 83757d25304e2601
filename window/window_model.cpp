#include "window/window_model.h"

#include <algorithm>
#include <utility>

#include "app/alarm_words.h"
#include "app/health.h"
#include "app/wear_words.h"
#include "base/local_time.h"
#include "base/overloaded.h"
#include "window/field_bindings.h"

namespace vaxo {

bool HoldsDraft(std::string_view control) {
    const ControlDesign* bound = BoundControl(control);
    const FieldKind kind = bound ? Field(*bound->field).type.kind : FieldKind::Text;
    return kind == FieldKind::Pi || kind == FieldKind::Frequency;
}

WindowModel::WindowModel(WindowServices services, WindowView& view)
    : services_(std::move(services)),
      view_(view),
      program_({services_.host, services_.portLayer, services_.linkPort, services_.timing,
                [separator = services_.decimalSeparator] {
                    return ImageClock{LocalNow(), separator ? separator() : '.'};
                },
                services_.programDir, services_.readBack}) {
    listening_ = program_.Listen([this](const ProgramEvent& event) { OnProgramEvent(event); });
    program_.OnUnsavedHandOver([this](const std::string& station, const std::string& handed) {
        return services_.dialogs.AskAboutUnsavedHandOver(station, handed);
    });
}

WindowModel::~WindowModel() {
    StopWeb();
    static_cast<void>(program_.SaveOnExit(changedStation_));  // a failed save has been shown
    program_.ReleasePort();
    listening_.Remove();
}

void WindowModel::Start(const std::vector<std::string>& arguments) {
    program_.Start(arguments, [this] { view_.LoadResources(); });
    if (!program_.View().Instance().IsFirstInstance()) {
        return;
    }
    ShowSet();
    ShowDerived(program_.View().Derived());
    ShowLastSent();
    Tell();
    StartListeners();
}

void WindowModel::Tell() {
    view_.Show(state_);
}

CommandOutcome WindowModel::Do(CommandAction action) {
    return program_.Execute({{Origin::Kind::Window}, std::move(action)});
}

// A button's command: a file that cannot be read or written is told by the
// program as an error, which the window shows in a message box; a Send within
// the guard is ignored, as the operator expects of a double click.
void WindowModel::Act(CommandAction action) {
    const CommandOutcome outcome = Do(std::move(action));
    static_cast<void>(outcome);
}

// A value the station does not take leaves the control showing the value
// it holds.
void WindowModel::Set(FieldId field, FieldValue value) {
    if (!Do(SetFields{{{field, std::move(value)}}}).Accepted()) {
        ShowSet();
        Tell();
    }
}

void WindowModel::OnProgramEvent(const ProgramEvent& event) {
    std::visit(Overloaded{
                   [this](const FieldsChanged&) { ShowSet(); },
                   [this](const DerivedStateChanged& derived) { ShowDerived(derived.state); },
                   [this](const TitleChanged& title) { state_.caption = title.title; },
                   [this](const vaxo::SendStarted&) { SendStarted(); },
                   [this](const SendProgress& progress) { state_.progress = progress.percent; },
                   [this](const vaxo::SendFinished& send) { SendFinished(send); },
                   [this](const PortChanged& port) { ShowPort(port.port); },
                   [this](const EncoderAnswerChanged&) { ShowPort(program_.View().Port().inUse); },
                   [this](const ErrorReported& error) { services_.dialogs.ShowError(error.text); },
                   [this](const PriorityRefused& refused) { state_.tips["HIPRI"] = refused.why; },
                   [this](const HandOverTaken&) { view_.Restore(); },
                   [this](const ExitRequested&) { view_.Close(); },
                   [](const FeedChanged&) {},
                   [](const AlarmChanged&) {},
                   [this](const vaxo::SendsHeld& held) { NoteLink(DescribeSendsHeld(held)); },
                   [this](const WearWarning& warning) { NoteLink(DescribeWearWarning(warning)); },
                   [this](const RemoteCommand& command) {
                       NoteRemote(remoteLog_.Note(command, RemoteCommandLog::Clock::now()));
                   },
               },
               event);
    Tell();
}

void WindowModel::ShowSet() {
    const RdsParameterSet& s = program_.View().Station();
    ShowBoundFields(s, state_);
    state_.alwaysOnTop = s.ALONTOP;
    ShowLastSent();
}

// A field a feed writes is read-only; the labels show the periods.
void WindowModel::ShowDerived(const DerivedState& derived) {
    FieldSet fed;
    if (derived.radiotextFed) {
        fed.Add({FieldId::RT, FieldId::RTSF});
    }
    if (derived.dpsFed) {
        for (std::size_t k = 0; k < kDpsCount; ++k) {
            fed.Add(DpsField(k));
        }
    }
    if (derived.dpsFileInUse) {
        fed.Add(FieldId::DPSSF);
    }
    state_.readOnly = ControlsOf(fed);
    state_.labels["DPSP"] = std::to_string(derived.repeatSeconds) + " s";
    state_.labels["RTST"] = std::to_string(derived.switchingMinutes) + " min";
}

// The record of the bank the Settings page's choice shows.
void WindowModel::ShowLastSent() {
    std::string lines;
    for (const auto& line : program_.View().Bank(shownBank_).record) {
        lines += (lines.empty() ? "" : "\n") + line;
    }
    state_.labels["SENT"] = lines;
    state_.ticks["SHOWB1"] = shownBank_ == 1;
    state_.ticks["SHOWB2"] = shownBank_ == 2;
}

void WindowModel::SendStarted() {
    state_.sending = true;
    state_.errorShown = false;
}

void WindowModel::SendFinished(const vaxo::SendFinished& send) {
    sendProblem_ = send.problem ? DescribeLinkProblem(send.problem) : std::string();
    ShowErrorTip();
    const bool refusedMeanwhile = std::exchange(refusedWhileSending_, false);
    state_.errorShown = send.problem || refusedMeanwhile;
    if (!send.problem) {
        ShowLastSent();
    }
    state_.progress = 0;
    state_.sending = false;
    view_.OnAirChanged();
}

void WindowModel::ShowPort(const PortInUse& port) {
    std::string text = port.problem ? DescribeLinkProblem(port.problem) : port.description;
    if (program_.View().Encoder().state == EncoderAnswer::State::NotAnswering) {
        text += "; " + DescribeEncoderAnswer(program_.View().Encoder());
    }
    state_.labels["PORTINFO"] = text;
    state_.tips["PORTINFO"] = text;
}

// What the link says of the encoder's memory (sends held, wear) goes below
// the trouble of the last send.
void WindowModel::NoteLink(const std::string& text) {
    linkNotice_ = text;
    ShowErrorTip();
    view_.OnAirChanged();
}

void WindowModel::ShowErrorTip() {
    std::string tip = sendProblem_;
    const auto add = [&tip](const std::string& part) {
        if (!part.empty()) {
            tip += (tip.empty() ? "" : "\n\n") + part;
        }
    };
    add(linkNotice_);
    std::string remote;
    for (const std::string& line : remoteLines_) {
        remote += (remote.empty() ? "" : "\n") + line;
    }
    add(remote);
    state_.tips["Label11"] = tip;
}

OnAirTexts WindowModel::OnAir(OnAirSource source) const {
    switch (source) {
        case OnAirSource::Bank1:
            return DescribeOnAir(program_.View().Bank(1).onAir);
        case OnAirSource::Bank2:
            return DescribeOnAir(program_.View().Bank(2).onAir);
        case OnAirSource::Preview:
            break;
    }
    return DescribeOnAir(program_.View().Preview());
}

std::vector<std::string> WindowModel::OnAirNotes() const {
    std::vector<std::string> notes;
    for (const auto& [key, alarm] : program_.View().Alarms().Active()) {
        notes.push_back("Alarm: " + DescribeActiveAlarm(alarm));
    }
    notes.push_back("Memory: " +
                    DescribeWear(program_.View().Ledger(), program_.View().WearYearsLeft()));
    if (const auto& held = program_.View().Held()) {
        notes.push_back(DescribeSendsHeld({held->block, held->page, held->perDay, held->next}));
    }
    return notes;
}

}  // namespace vaxo
