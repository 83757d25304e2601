#include "net/logged_command.h"

#include <cstdio>

#include "base/code_page.h"

namespace vaxo {

std::string LoggedCommand(std::string_view line) {
    constexpr std::size_t kShown = 80;
    std::u32string characters;
    for (std::size_t at = 0; at < line.size() && characters.size() < kShown;) {
        const auto point = DecodeUtf8(line, at);
        if (!point) {  // not UTF-8: the station's code page
            characters.clear();
            for (std::size_t i = 0; i < line.size() && characters.size() < kShown; ++i) {
                characters += Windows1250ToUnicode(static_cast<unsigned char>(line[i]));
            }
            break;
        }
        characters += *point;
    }
    // Control characters escaped, so that no client's bytes steer a terminal
    // or forge a line of the log.
    std::u32string shown;
    for (const char32_t character : characters) {
        if (character < 0x20 || (character >= 0x7F && character < 0xA0)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(character));
            shown.append(escaped, escaped + 4);
        } else {
            shown += character;
        }
    }
    return ToUtf8(shown);
}

}  // namespace vaxo
