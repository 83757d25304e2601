#pragma once

#include <string>

#include "app/program_view.h"

namespace vaxo::ctl {

// The station an alert or a notification concerns, in UTF-8: its file's
// name, or its PS while it is untitled.
std::string StationLabel(const ProgramView& view);

}  // namespace vaxo::ctl
