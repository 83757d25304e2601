#pragma once

#include <set>
#include <string>
#include <string_view>

#include "record/field_schema.h"
#include "window/window_layout.h"
#include "window/window_state.h"

namespace vaxo {

// The control of that name when it edits a field; null for any other.
const ControlDesign* BoundControl(std::string_view name);

// What a choice stands for: its field's value when the choice is made.
FieldValue ChoiceValue(const ControlDesign& choice);

// The names of the controls bound to those fields.
std::set<std::string, std::less<>> ControlsOf(const FieldSet& fields);

// Every bound control's value from the set: texts, file names, ticks and
// choices, pick lists and sliders, the decoder identification.
void ShowBoundFields(const RdsParameterSet& set, WindowState& state);

}  // namespace vaxo
