#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// The RDS character table (IEC 62106, the basic code table of PS, RT and
// the dynamic PS): what a receiver shows for each byte of a text. 0x20 to
// 0x7D are ASCII but for 0x24 (currency sign), 0x5E (horizontal bar) and
// 0x60 (double vertical line); 0x7E is an overline; 0x80 to 0xFE hold the
// accented letters and symbols. 0 for the bytes that show no character
// (the control codes below 0x20, 0x7F and 0xFF).
char32_t RdsCharacter(std::uint8_t byte);

// The byte of a character in the RDS table, or nothing when it has none.
std::optional<std::uint8_t> RdsByte(char32_t character);

// A text of RDS bytes as a receiver shows it, in UTF-8; a byte without a
// character becomes U+FFFD.
std::string RdsTextToUtf8(const std::string& bytes);

// The station's Windows-1250 text as the RDS table writes it, for the
// encoder's memory: each character the table has as its code (č, ž, é),
// one it lacks as its plain form (Ł L, ą a, ů u, "–" -), else a space;
// control codes as they are. `changed` tells whether any character had to
// be given otherwise.
std::string StationTextToRds(std::string_view text, bool* changed = nullptr);
// Whether a character of the text goes on air otherwise than typed.
bool ChangesOnAir(std::string_view text);

// RDS bytes (a UECP text) as the station's Windows-1250 text: a character
// Windows-1250 lacks as its plain form (à a, ñ n, ø o), else a space; a
// byte that shows no character as it is.
std::string RdsToStationText(std::string_view bytes, bool* changed = nullptr);

}  // namespace vaxo
