#pragma once

#include <string>

#include "window/window_layout.h"

namespace vaxo::win {

// Each control's identifier is its place in the layout list, so that a
// program that drives the window finds it by name.
inline int ControlId(const ControlDesign& control) {
    return 1000 + static_cast<int>(&control - WindowLayout().data());
}

inline int ControlId(const std::string& name) {
    const ControlDesign* control = FindControl(name);
    return control ? ControlId(*control) : 0;
}

// The rows of the decoder identification's list, one tick box each.
inline int CheckListRowId(int row) {
    return 900 + row;
}

inline constexpr wchar_t kWindowClass[] = L"VaxoWindow";

}  // namespace vaxo::win
