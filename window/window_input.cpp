// What each control's change does: operator edits go to the program's door
// for changes, the buttons to its operations.
#include <algorithm>
#include <initializer_list>
#include <optional>

#include "window/field_bindings.h"
#include "window/window_model.h"

namespace vaxo {
namespace {

// The control's field when the control is of that kind.
const ControlDesign* BoundOfKind(std::string_view name, std::initializer_list<ControlKind> kinds) {
    const ControlDesign* control = BoundControl(name);
    return control && std::find(kinds.begin(), kinds.end(), control->kind) != kinds.end() ? control
                                                                                          : nullptr;
}

}  // namespace

// PI is taken when it is whole (four digits), a frequency when its box is
// left (as the list closes up): until then the box holds the operator's
// draft, and what is left unfinished goes on air as the send's check makes
// it (FFFF, no frequency).
void WindowModel::TextEdited(std::string_view control, const std::string& text) {
    const ControlDesign* box =
        BoundOfKind(control, {ControlKind::TextBox, ControlKind::FileNameBox});
    if (!box) {
        return;
    }
    const StationField& field = Field(*box->field);
    if (field.type.kind == FieldKind::Pi) {
        StrictReading whole = ReadStrict(field, text, program_.View().DecimalSeparator());
        if (whole.value) {
            Set(field.id, std::move(*whole.value));
        }
    } else if (!HoldsDraft(control)) {
        Set(field.id, text);
    }
}

void WindowModel::TextLeft(std::string_view control, const std::string& text) {
    const ControlDesign* box = BoundOfKind(control, {ControlKind::TextBox});
    if (!box) {
        return;
    }
    if (HoldsDraft(control)) {
        CommitDraft(control, *box->field, text);
    } else if (box->field == FieldId::EFCHAR && program_.View().Station().EFCHAR.empty()) {
        Set(FieldId::EFCHAR, std::string("*"));
    }
}

void WindowModel::CommitDraft(std::string_view control, FieldId field, const std::string& text) {
    const StationField& schema = Field(field);
    const auto held = [&] {
        return FormatFieldValue(schema.type, schema.get(program_.View().Station()));
    };
    if (held() != text) {
        StrictReading whole = ReadStrict(schema, text, program_.View().DecimalSeparator());
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
    if (const ControlDesign* box = BoundOfKind(control, {ControlKind::TickBox})) {
        Set(*box->field, on);
    } else if (const ControlDesign* choice = BoundOfKind(control, {ControlKind::Choice})) {
        if (on) {
            Set(*choice->field, ChoiceValue(*choice));
        }
    } else if (on && (control == "SHOWB1" || control == "SHOWB2")) {
        shownBank_ = control == "SHOWB1" ? 1 : 2;
        ShowLastSent();
        Tell();
    }
}

void WindowModel::Picked(std::string_view control, int value) {
    if (const ControlDesign* pick =
            BoundOfKind(control, {ControlKind::PickList, ControlKind::Slider})) {
        Set(*pick->field, Field(*pick->field).type.kind == FieldKind::Flag ? FieldValue(value == 1)
                                                                           : FieldValue(value));
    }
}

void WindowModel::DecoderIdTicked(const DecoderId& flags) {
    Set(FieldId::DI, flags);
}

void WindowModel::Clicked(std::string_view control) {
    if (control == "UP") {
        Act(SendStation{SendWhen::Operator});
    } else if (control == "EX") {
        exitAsked_ = true;
        Act(EndProgram{});
    } else if (control == "LOAD") {
        if (const auto chosen = services_.dialogs.OpenStation()) {
            Act(LoadStation{*chosen});
        }
    } else if (control == "SAVE") {
        Act(SaveStation{});
    } else if (control == "SAAS") {
        if (const auto chosen =
                services_.dialogs.SaveStation(SaveAsProposal(program_.View().Station().PS))) {
            Act(SaveStationAs{*chosen});
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
    if ((byWindowManager || exitAsked_) && program_.View().Station().AUTOSAVE &&
        program_.View().Document().ChangedOnDisk()) {
        changedStation_ =
            services_.dialogs.AskAboutChangedStation(program_.View().Document().Name());
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
