#include "net/logged_command.h"

#include "base/code_page.h"
#include "base/visible_text.h"

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
    // No client's bytes steer a terminal, forge a line of the log or make
    // it read otherwise than it was sent.
    return WithInvisiblesShown(ToUtf8(characters));
}

}  // namespace vaxo
