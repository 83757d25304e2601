#pragma once

#include <string>
#include <vector>

#include "encoding/receiver_view.h"

namespace vaxo {

// The checks a broadcast engineer makes of what a receiver gets, each a
// short reason: blocks that fail their checkword, TA without TP, a PI that
// identifies nobody, a broken or doubtful AF list, dynamic PS (and its
// step), a radiotext of control characters or only spaces.
std::vector<std::string> ReceiverWarnings(const ReceiverView& view);

}  // namespace vaxo
