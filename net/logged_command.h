#pragma once

#include <string>
#include <string_view>

namespace vaxo {

// A received line as the log may show it: valid UTF-8, control and other
// invisible characters escaped ("\x1B", "\u{202E}"), at most 80 characters. A client cannot write
// into the log's lines or the terminal that shows them.
std::string LoggedCommand(std::string_view line);

}  // namespace vaxo
