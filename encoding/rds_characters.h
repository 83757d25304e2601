#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

// RDS bytes (a UECP text) as the station's Windows-1250 text; nothing when a
// character has no place in Windows-1250 or a byte shows no character.
std::optional<std::string> RdsToWindows1250(const std::string& bytes);
// The station's Windows-1250 text in the RDS table; characters the table
// lacks become spaces.
std::string Windows1250ToRds(const std::string& bytes);

}  // namespace vaxo
