#pragma once

namespace vaxo {

// What stands in for a character where a code page or the RDS table lacks
// it: a Latin letter's base letter (Ł L, ą a, ů u, ø o, Ș S), a plain form of
// a symbol (typographic quotes and dashes, arrows, superscript digits);
// 0 when there is none.
char PlainCharacter(char32_t character);

}  // namespace vaxo
