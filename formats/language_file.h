#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaxo {

inline constexpr const char* kLanguageFileName = "vaxow.lng";
inline constexpr const char* kTranslationsSection = "TRANSLATIONS";
inline constexpr std::size_t kIniValueLimit = 2047;
inline constexpr std::size_t kIniKeyNamesLimit = 16384;

// The entries of one section of an INI-style file, in file order, as
// "key=value" texts: the section name matched without case, each line split
// at its first "=", blanks around key and value dropped, one pair of matching
// quotes around the value removed, values cut to 2047 characters. A key that
// occurs again gets the value of its first occurrence (keys compare without
// case); key names beyond 16,384 bytes in all are not seen.
std::vector<std::string> ReadIniSection(std::string_view text, std::string_view section);

struct TranslationEntry {
    std::string form;
    std::string control;
    std::string property;
    std::string value;  // "~~" already turned into CR LF
};

// "Form1.UP.Caption=Senden" into its four parts; a part whose "." is missing
// comes out empty.
TranslationEntry SplitTranslationEntry(std::string_view entry);

}  // namespace vaxo
