#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// Windows-1250, the code page of the operator's texts.

// The Unicode code point of a Windows-1250 byte; 0 for the five unused bytes.
char32_t Windows1250ToUnicode(unsigned char byte);

// The Windows-1250 byte of a code point, or nothing when the code page lacks it.
std::optional<unsigned char> UnicodeToWindows1250(char32_t codePoint);

// The text in Windows-1250 when it is valid UTF-8 (a leading byte-order mark
// dropped; a character the code page lacks as its plain form, ø as o, or
// else "?"); nothing when it is not.
// `missing` counts the characters Windows-1250 lacks.
std::optional<std::string> Utf8ToWindows1250(std::string_view text, int* missing = nullptr);

// How a line of text from outside (a feed, a network client) is taken: as
// Windows-1250 when it is; converted when it is valid UTF-8 with characters
// beyond ASCII. `missing` counts the characters Windows-1250 lacks (given
// in a plain form or as "?").
std::string TextLineToWindows1250(std::string_view line, int* missing = nullptr);

// Decodes the UTF-8 sequence at `at` and moves past it; nothing for a
// malformed one (over-long, a surrogate, beyond Unicode, cut short).
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& at);

// Windows-1250 bytes as UTF-8; the five unused bytes become "?".
std::string Windows1250ToUtf8(std::string_view text);

// Unicode code points as UTF-8.
std::string ToUtf8(std::u32string_view text);

bool IsAscii(std::string_view text);

// Full lower-casing of every letter of the code page, for a file name: taken
// as UTF-8 when it is valid UTF-8, else as Windows-1250 bytes.
std::string LowerFileName(std::string_view name);

}  // namespace vaxo
