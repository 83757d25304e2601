#include "window/window_model.h"

#include <algorithm>
#include <utility>

#include "app/wear_words.h"
#include "base/local_time.h"
#include "base/overloaded.h"

namespace vaxo {

bool HoldsDraft(std::string_view control) {
    return control == "PI" || (control.size() == 3 && control.starts_with("AF"));
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
    if (!program_.IsFirstInstance()) {
        return;
    }
    ShowSet();
    ShowDerived(program_.Derived());
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

void WindowModel::Set(FieldId field, FieldValue value) {
    static_cast<void>(Do(SetFields{{{field, std::move(value)}}}));
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
                   [this](const ErrorReported& error) { services_.dialogs.ShowError(error.text); },
                   [this](const PriorityRefused& refused) { state_.tips["HIPRI"] = refused.why; },
                   [this](const HandOverTaken&) { view_.Restore(); },
                   [this](const ExitRequested&) { view_.Close(); },
                   [](const FeedChanged&) {},
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
    const RdsParameterSet& s = program_.Set();
    auto& texts = state_.stationTexts;
    texts["PS"] = s.PS;
    texts["PI"] = s.PI;
    for (std::size_t i = 0; i < s.AF.size(); ++i) {
        texts["AF" + std::to_string(i + 1)] = s.AF[i];
    }
    for (std::size_t k = 0; k < s.DPS.size(); ++k) {
        texts["DPS" + std::to_string(k + 1)] = s.DPS[k];
    }
    texts["RT"] = s.RT.str();
    texts["RT2"] = s.RT2.str();
    texts["RT3"] = s.RT3.str();
    texts["RT4"] = s.RT4.str();
    texts["EFCHAR"] = s.EFCHAR;
    state_.fileNames["RTFILE"] = s.RTFILE;
    state_.fileNames["PSFILE"] = s.PSFILE;
    state_.picks["PTY"] = s.PTY;
    state_.picks["MS"] = s.MS;
    state_.picks["TP"] = s.TP;
    state_.picks["TA"] = s.TA;
    state_.picks["TrackBar1"] = s.DPSP;
    state_.picks["TrackBar2"] = s.RTSAT;
    state_.decoderId = s.DI;
    const std::pair<const char*, bool> ticks[] = {
        {"ENDPS", s.ENDPS},       {"PSFF", s.PSFF},       {"UPCHPS", s.UPCHPS},
        {"DPSA", s.DPSA},         {"DPSC", s.DPSC},       {"RTSA", s.RTSA},
        {"ABSW", s.ABSW},         {"RTFF", s.RTFF},       {"UPCH", s.UPCH},
        {"AUTBSW", s.AUTBSW},     {"SEND", s.SEND},       {"EXAL", s.EXAL},
        {"AUTOSAVE", s.AUTOSAVE}, {"HIPRI", s.HIPRI},     {"ALONTOP", s.ALONTOP},
        {"WRITEALL", s.WRITEALL}, {"STB1", s.STB == 1},   {"STB2", s.STB != 1},
        {"PORT1", s.PORT != 1},   {"PORT2", s.PORT == 1}, {"SRT1", s.SELRT == 1},
        {"SRT2", s.SELRT == 2},   {"SRT3", s.SELRT == 3}, {"SRT4", s.SELRT == 4},
    };
    for (const auto& [name, on] : ticks) {
        state_.ticks[name] = on;
    }
    state_.alwaysOnTop = s.ALONTOP;
    ShowLastSent();
}

// A field a feed writes is read-only; the labels show the periods.
void WindowModel::ShowDerived(const DerivedState& derived) {
    auto& readOnly = state_.readOnly;
    readOnly.clear();
    if (derived.radiotextFed) {
        readOnly.insert({"RT", "RTFILE"});
    }
    if (derived.dpsFed) {
        for (int k = 1; k <= 8; ++k) {
            readOnly.insert("DPS" + std::to_string(k));
        }
    }
    if (derived.dpsFileInUse) {
        readOnly.insert("PSFILE");
    }
    state_.labels["DPSP"] = std::to_string(derived.repeatSeconds) + " s";
    state_.labels["RTST"] = std::to_string(derived.switchingMinutes) + " min";
}

// The record of the bank the Settings page's choice shows.
void WindowModel::ShowLastSent() {
    std::string lines;
    for (const auto& line : program_.Set().LastSent[shownBank_ == 2 ? 1 : 0]) {
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
    const std::string text = port.problem ? DescribeLinkProblem(port.problem) : port.description;
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
            return DescribeOnAir(program_.Sends().OnAir(1));
        case OnAirSource::Bank2:
            return DescribeOnAir(program_.Sends().OnAir(2));
        case OnAirSource::Preview:
            break;
    }
    return DescribeOnAir(program_.PreviewMemory());
}

std::vector<std::string> WindowModel::MemoryNotes() const {
    std::vector<std::string> notes{
        "Memory: " + DescribeWear(program_.Sends().Ledger(), program_.WearYearsLeft())};
    if (const auto& held = program_.Sends().Held()) {
        notes.push_back(DescribeSendsHeld({held->block, held->page, held->perDay, held->next}));
    }
    return notes;
}

}  // namespace vaxo
