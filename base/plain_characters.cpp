#include "base/plain_characters.h"

#include <array>
#include <string_view>
#include <utility>

namespace vaxo {
namespace {

// The base letter of each Latin letter from U+00C0 to U+024F ('.' where the
// code point is no letter or has none): the letter without its accent, a
// ligature's first letter, a stroked letter's plain one.
constexpr char32_t kLatinFirst = 0xC0;
constexpr std::string_view kLatinBase =
    "AAAAAAACEEEEIIIIDNOOOOO.OUUUUYTs"  // U+00C0
    "aaaaaaaceeeeiiiidnooooo.ouuuuyty"  // U+00E0
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGg"  // U+0100
    "GgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"  // U+0120
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSs"  // U+0140
    "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"  // U+0160
    "..................f............."  // U+0180
    "Oo.............Uu..............."  // U+01A0
    ".............AaIiOoUuUuUuUuUu.Aa"  // U+01C0
    "Aa....GgKkOoOo..j...Gg..NnAa...."  // U+01E0
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt..Hh"  // U+0200
    "......AaEeOoOoOoOoYy............"  // U+0220
    "................";                 // U+0240

// clang-format off
constexpr std::array<std::pair<char32_t, char>, 46> kPlainSymbols = {{
    {U'\u00A0', ' '}, {U'\u00A1', '!'}, {U'\u00A3', 'L'}, {U'\u00A6', '|'}, {U'\u00A8', '"'},
    {U'\u00AA', 'a'}, {U'\u00AB', '"'}, {U'\u00AC', '-'}, {U'\u00AD', '-'}, {U'\u00B2', '2'},
    {U'\u00B3', '3'}, {U'\u00B4', '\''}, {U'\u00B7', '.'}, {U'\u00B8', ','}, {U'\u00B9', '1'},
    {U'\u00BA', 'o'}, {U'\u00BB', '"'}, {U'\u00BF', '?'}, {U'\u00D7', 'x'}, {U'\u02DD', '"'},
    {U'\u03B1', 'a'}, {U'\u03C0', 'p'}, {U'\u2013', '-'}, {U'\u2014', '-'}, {U'\u2015', '-'},
    {U'\u2016', '|'}, {U'\u2018', '\''}, {U'\u2019', '\''}, {U'\u201A', ','}, {U'\u201C', '"'},
    {U'\u201D', '"'}, {U'\u201E', '"'}, {U'\u2020', '+'}, {U'\u2021', '+'}, {U'\u2022', '*'},
    {U'\u2026', '.'}, {U'\u2039', '<'}, {U'\u203A', '>'}, {U'\u2190', '<'}, {U'\u2191', '^'}, {U'\u2192', '>'}, {U'\u2193', 'v'},
    {U'\u00AF', '-'}, {U'`', '\''}, {U'~', '-'}, {U'^', ' '},
}};
// clang-format on

}  // namespace

char PlainCharacter(char32_t character) {
    if (character >= kLatinFirst && character - kLatinFirst < kLatinBase.size()) {
        const char base = kLatinBase[character - kLatinFirst];
        if (base != '.') {
            return base;
        }
    }
    for (const auto& [symbol, plain] : kPlainSymbols) {
        if (symbol == character) {
            return plain;
        }
    }
    return 0;
}

}  // namespace vaxo
