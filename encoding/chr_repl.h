#pragma once

#include <string>
#include <string_view>

namespace vaxo {

// Reduces live text to plain characters: accented Windows-1250 letters become
// their base letters, typographic apostrophes a plain one, '@' an asterisk and
// '_' a space. Byte for byte; the result has the same length.
std::string ReplaceChars(std::string_view text);

}  // namespace vaxo
