#pragma once

#include <string>
#include <string_view>

namespace vaxo {

// Reduces live text to plain characters: every accented Windows-1250 letter
// becomes its base letter, typographic apostrophes a plain one, '@' an asterisk and
// '_' a space. Byte for byte; the result has the same length.
std::string ReplaceChars(std::string_view text);

}  // namespace vaxo
