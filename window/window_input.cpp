// What each control's change does: operator edits go to the program's door
// for changes, the buttons to its operations.
#include <optional>

#include "window/window_model.h"

namespace vaxo {
namespace {

// The boxes whose every keystroke edits their field.
std::optional<FieldId> TypedField(std::string_view control) {
    static const ByControl<FieldId> fields = [] {
        ByControl<FieldId> map{{"PS", FieldId::PS},       {"RT", FieldId::RT},
                               {"RT2", FieldId::RT2},     {"RT3", FieldId::RT3},
                               {"RT4", FieldId::RT4},     {"EFCHAR", FieldId::EFCHAR},
                               {"RTFILE", FieldId::RTSF}, {"PSFILE", FieldId::DPSSF}};
        for (std::size_t k = 0; k < 8; ++k) {
            map.emplace("DPS" + std::to_string(k + 1), DpsField(k));
        }
        return map;
    }();
    const auto found = fields.find(control);
    return found == fields.end() ? std::nullopt : std::optional(found->second);
}

std::optional<FieldId> TickedField(std::string_view control) {
    using F = FieldId;
    static const ByControl<FieldId> fields{
        {"ENDPS", F::DPSE},        {"PSFF", F::DPSFF},   {"RTFF", F::RTFF},
        {"RTSA", F::RTSA},         {"UPCHPS", F::DPSSC}, {"DPSA", F::DPSSA},
        {"DPSC", F::DPSEF},        {"ABSW", F::RTUSAB},  {"UPCH", F::RTSC},
        {"AUTBSW", F::MBS},        {"EXAL", F::EXIT},    {"SEND", F::SEND},
        {"AUTOSAVE", F::AUTOSAVE}, {"HIPRI", F::HIPRI},  {"ALONTOP", F::ALONTOP},
        {"WRITEALL", F::WRITEALL},
    };
    const auto found = fields.find(control);
    return found == fields.end() ? std::nullopt : std::optional(found->second);
}

std::optional<FieldId> PickedField(std::string_view control) {
    static const ByControl<FieldId> fields{
        {"PTY", FieldId::PTY}, {"MS", FieldId::MS},          {"TP", FieldId::TP},
        {"TA", FieldId::TA},   {"TrackBar1", FieldId::DPSP}, {"TrackBar2", FieldId::RTSAT},
    };
    const auto found = fields.find(control);
    return found == fields.end() ? std::nullopt : std::optional(found->second);
}

std::optional<std::size_t> AfIndex(std::string_view control) {
    if (!HoldsDraft(control) || control == "PI") {
        return std::nullopt;
    }
    const int number = control[2] - '0';
    return number >= 1 && number <= 7 ? std::optional(static_cast<std::size_t>(number - 1))
                                      : std::nullopt;
}

}  // namespace

// PI is taken when it is whole (four digits), a frequency when its box is
// left (as the list closes up): until then the box holds the operator's
// draft, and what is left unfinished goes on air as the send's check makes
// it (FFFF, no frequency).
void WindowModel::TextEdited(std::string_view control, const std::string& text) {
    if (control == "PI") {
        StrictReading whole = ReadStrict(Field(FieldId::PI), text, program_.DecimalSeparator());
        if (whole.value) {
            Set(FieldId::PI, std::move(*whole.value));
        }
    } else if (const auto field = TypedField(control)) {
        Set(*field, text);
    }
}

void WindowModel::TextLeft(std::string_view control, const std::string& text) {
    if (control == "PI") {
        CommitDraft(control, FieldId::PI, text);
    } else if (const auto af = AfIndex(control)) {
        CommitDraft(control, AfField(*af), text);
    } else if (control == "EFCHAR" && program_.Set().EFCHAR.empty()) {
        Set(FieldId::EFCHAR, std::string("*"));
    }
}

void WindowModel::CommitDraft(std::string_view control, FieldId field, const std::string& text) {
    const StationField& schema = Field(field);
    const auto held = [&] { return FormatFieldValue(schema.type, schema.get(program_.Set())); };
    if (held() != text) {
        StrictReading whole = ReadStrict(schema, text, program_.DecimalSeparator());
        if (whole.value) {
            Set(field, std::move(*whole.value));
        } else {
            Set(field, schema.type.kind == FieldKind::Frequency ? FieldValue(std::string())
                                                                : ReadLenient(schema.type, text));
        }
    }
    state_.stationTexts[std::string(control)] = held();
    Tell();
}

void WindowModel::Ticked(std::string_view control, bool on) {
    if (const auto field = TickedField(control)) {
        Set(*field, on);
    } else if (on && control.size() == 4 && control.starts_with("SRT")) {
        const int number = control[3] - '0';
        if (number >= 1 && number <= 4) {
            Set(FieldId::SELRT, number);
        }
    } else if (on && (control == "STB1" || control == "STB2")) {
        Set(FieldId::STB, control == "STB1" ? Bank::One : Bank::Two);
    } else if (on && (control == "PORT1" || control == "PORT2")) {
        Set(FieldId::PORT, control == "PORT1" ? PortChoice::Lpt1 : PortChoice::Lpt2);
    } else if (on && (control == "SHOWB1" || control == "SHOWB2")) {
        shownBank_ = control == "SHOWB1" ? 1 : 2;
        ShowLastSent();
        Tell();
    }
}

void WindowModel::Picked(std::string_view control, int value) {
    if (const auto field = PickedField(control)) {
        Set(*field, Field(*field).type.kind == FieldKind::Flag ? FieldValue(value == 1)
                                                               : FieldValue(value));
    }
}

void WindowModel::DecoderIdTicked(const DecoderId& flags) {
    Set(FieldId::DI, flags);
}

void WindowModel::Clicked(std::string_view control) {
    if (control == "UP") {
        static_cast<void>(Do(SendStation{SendWhen::Operator}));
    } else if (control == "EX") {
        exitAsked_ = true;
        static_cast<void>(Do(EndProgram{}));
    } else if (control == "LOAD") {
        if (const auto chosen = services_.dialogs.OpenStation()) {
            static_cast<void>(Do(LoadStation{*chosen}));
        }
    } else if (control == "SAVE") {
        static_cast<void>(Do(SaveStation{}));
    } else if (control == "SAAS") {
        if (const auto chosen = services_.dialogs.SaveStation(SaveAsProposal(program_.Set().PS))) {
            static_cast<void>(Do(SaveStationAs{*chosen}));
        }
    } else if (control == "DPBR") {
        ChooseFeedFile(FieldId::DPSSF);
    } else if (control == "RTBR") {
        ChooseFeedFile(FieldId::RTSF);
    }
}

void WindowModel::ChooseFeedFile(FieldId field) {
    if (const auto chosen = services_.dialogs.OpenAnyFile()) {
        Set(field, *chosen);
    }
}

// The operator closing the window is asked what Auto Save is to do with a
// station file another program changed; a signal or "Exit after Send" is
// nobody to ask, and the set goes beside it.
void WindowModel::Closing(bool byWindowManager) {
    closing_ = true;
    if ((byWindowManager || exitAsked_) && program_.Set().AUTOSAVE &&
        program_.StationChangedOnDisk()) {
        changedStation_ = services_.dialogs.AskAboutChangedStation(program_.Set().StationFileName);
    }
}

void WindowModel::Idle(bool dialogOpen) {
    if (inIdle_ || closing_ || dialogOpen) {
        return;
    }
    inIdle_ = true;
    program_.TakeHandOver();
    inIdle_ = false;
}

bool WindowModel::RegisterFileType(const std::function<void()>& registration) {
    try {
        registration();
    } catch (const std::exception& error) {
        services_.dialogs.ShowError(error.what());
        return false;
    }
    state_.registered = true;
    Tell();
    return true;
}

std::string SaveAsProposal(std::string ps) {
    for (char& c : ps) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '/' || c == '\\' || c == '\0') {
            c = '-';
        }
    }
    return ps;
}

Question ChangedStationQuestion(const std::string& file) {
    return {file +
                " was changed by another program since it was loaded.\n\n"
                "Auto Save can keep that file as it is and save this station beside it, write "
                "over it, or save nothing.",
            {"Save &beside it", "&Overwrite", "Do &not save"}};
}

Question UnsavedHandOverQuestion(const std::string& station, const std::string& handed) {
    return {"Another start asks to open " + handed + ".\n\n" + station +
                " has changes that are not saved.",
            {"&Save them, then open it", "&Discard them", "&Keep this station"}};
}

}  // namespace vaxo
