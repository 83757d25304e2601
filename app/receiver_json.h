#pragma once

#include <nlohmann/json.hpp>

#include "encoding/receiver_view.h"

namespace vaxo {

// What a receiver gets, for scripts and the web page: pi, ps, dps, rt, ab,
// pty, pty_name, pty_name_rbds, tp, ta, ms, di, af (MHz), both_banks,
// blocks {total, bad} and warnings. Texts as a receiver shows them, in UTF-8.
nlohmann::json ReceiverJson(const ReceiverView& view);

}  // namespace vaxo
