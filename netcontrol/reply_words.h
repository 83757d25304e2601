#pragma once

#include <string>

#include "net/listener_setting.h"

namespace vaxo {

// A text command's answer in the listener's words: "+" and "/" (done, in
// part) become "OK" or "[OK]", "-" and "!" (refused, unknown) "NO" or
// "[ERR]"; the line a query asked for stays as it is.
std::string InReplyWords(ReplyWords words, const std::string& line);

}  // namespace vaxo
