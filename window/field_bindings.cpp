#include "window/field_bindings.h"

#include <map>

namespace vaxo {
namespace {

// A pick list shows a flag as its second item when on.
int PickOf(const FieldValue& value) {
    if (const bool* on = std::get_if<bool>(&value)) {
        return *on ? 1 : 0;
    }
    return std::get<int>(value);
}

}  // namespace

const ControlDesign* BoundControl(std::string_view name) {
    static const auto bound = [] {
        std::map<std::string, const ControlDesign*, std::less<>> controls;
        for (const ControlDesign& control : WindowLayout()) {
            if (control.field) {
                controls.emplace(control.name, &control);
            }
        }
        return controls;
    }();
    const auto found = bound.find(name);
    return found == bound.end() ? nullptr : found->second;
}

std::set<std::string, std::less<>> ControlsOf(const FieldSet& fields) {
    std::set<std::string, std::less<>> names;
    for (const ControlDesign& control : WindowLayout()) {
        if (control.field && fields.Has(*control.field)) {
            names.insert(control.name);
        }
    }
    return names;
}

FieldValue ChoiceValue(const ControlDesign& choice) {
    switch (Field(*choice.field).type.kind) {
        case FieldKind::Bank:
            return static_cast<Bank>(choice.choice);
        case FieldKind::Port:
            return static_cast<PortChoice>(choice.choice);
        case FieldKind::Flag:
            return choice.choice != 0;
        default:
            return choice.choice;
    }
}

void ShowBoundFields(const RdsParameterSet& set, WindowState& state) {
    for (const ControlDesign& control : WindowLayout()) {
        if (!control.field) {
            continue;
        }
        const StationField& field = Field(*control.field);
        const FieldValue value = field.get(set);
        switch (control.kind) {
            case ControlKind::TextBox:
                state.stationTexts[control.name] = FormatFieldValue(field.type, value);
                break;
            case ControlKind::FileNameBox:
                state.fileNames[control.name] = FormatFieldValue(field.type, value);
                break;
            case ControlKind::TickBox:
                state.ticks[control.name] = std::get<bool>(value);
                break;
            case ControlKind::Choice:
                state.ticks[control.name] = value == ChoiceValue(control);
                break;
            case ControlKind::PickList:
            case ControlKind::Slider:
                state.picks[control.name] = PickOf(value);
                break;
            case ControlKind::CheckList:
                state.decoderId = std::get<DecoderId>(value);
                break;
            default:
                break;
        }
    }
}

}  // namespace vaxo
