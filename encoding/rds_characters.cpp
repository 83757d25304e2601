#include "encoding/rds_characters.h"

#include <array>
#include <utility>

#include "base/code_page.h"
#include "base/plain_characters.h"

namespace vaxo {
namespace {

// 0x80 to 0xFF, row by row.
// clang-format off
constexpr std::array<char32_t, 128> kUpperHalf = {
    U'á', U'à', U'é', U'è', U'í', U'ì', U'ó', U'ò', U'ú', U'ù', U'Ñ', U'Ç', U'Ş', U'ß', U'¡', U'Ĳ',
    U'â', U'ä', U'ê', U'ë', U'î', U'ï', U'ô', U'ö', U'û', U'ü', U'ñ', U'ç', U'ş', U'ǧ', U'ı', U'ĳ',
    U'ª', U'α', U'©', U'‰', U'Ǧ', U'ě', U'ň', U'ő', U'π', U'€', U'£', U'$', U'←', U'↑', U'→', U'↓',
    U'º', U'¹', U'²', U'³', U'±', U'İ', U'ń', U'ű', U'µ', U'¿', U'÷', U'°', U'¼', U'½', U'¾', U'§',
    U'Á', U'À', U'É', U'È', U'Í', U'Ì', U'Ó', U'Ò', U'Ú', U'Ù', U'Ř', U'Č', U'Š', U'Ž', U'Ð', U'Ŀ',
    U'Â', U'Ä', U'Ê', U'Ë', U'Î', U'Ï', U'Ô', U'Ö', U'Û', U'Ü', U'ř', U'č', U'š', U'ž', U'đ', U'ŀ',
    U'Ã', U'Å', U'Æ', U'Œ', U'ŷ', U'Ý', U'Õ', U'Ø', U'Þ', U'Ŋ', U'Ŕ', U'Ć', U'Ś', U'Ź', U'Ŧ', U'ð',
    U'ã', U'å', U'æ', U'œ', U'ŵ', U'ý', U'õ', U'ø', U'þ', U'ŋ', U'ŕ', U'ć', U'ś', U'ź', U'ŧ', 0,
};
// clang-format on

}  // namespace

char32_t RdsCharacter(std::uint8_t byte) {
    switch (byte) {
        case 0x24:
            return U'¤';
        case 0x5E:
            return U'―';
        case 0x60:
            return U'‖';
        case 0x7E:
            return U'¯';
        case 0x7F:
            return 0;
        default:
            break;
    }
    if (byte < 0x20) {
        return 0;
    }
    return byte < 0x80 ? char32_t{byte} : kUpperHalf[byte - 0x80];
}

std::optional<std::uint8_t> RdsByte(char32_t character) {
    static const auto inverse = [] {
        std::array<std::pair<char32_t, std::uint8_t>, 256> pairs{};
        for (int byte = 0; byte < 256; ++byte) {
            pairs[static_cast<std::size_t>(byte)] = {RdsCharacter(static_cast<std::uint8_t>(byte)),
                                                     static_cast<std::uint8_t>(byte)};
        }
        return pairs;
    }();
    if (character == 0) {
        return std::nullopt;
    }
    for (const auto& [shown, byte] : inverse) {
        if (shown == character) {
            return byte;
        }
    }
    return std::nullopt;
}

std::string RdsTextToUtf8(const std::string& bytes) {
    std::u32string shown;
    for (char byte : bytes) {
        const char32_t character = RdsCharacter(static_cast<std::uint8_t>(byte));
        shown += character ? character : U'\uFFFD';
    }
    return ToUtf8(shown);
}

std::string StationTextToRds(std::string_view text, bool* changed) {
    static const auto table = [] {
        std::array<std::pair<std::uint8_t, bool>, 256> codes{};
        for (int byte = 0; byte < 256; ++byte) {
            const auto station = static_cast<std::uint8_t>(byte);
            const char32_t character = Windows1250ToUnicode(station);
            if (station < 0x20 || station == 0x7F) {
                codes[station] = {station, false};
            } else if (const auto code = RdsByte(character)) {
                codes[station] = {*code, false};
            } else {
                const char plain = PlainCharacter(character);
                codes[station] = {static_cast<std::uint8_t>(plain ? plain : ' '), true};
            }
        }
        return codes;
    }();
    std::string rds;
    bool any = false;
    for (const char c : text) {
        const auto& [code, substituted] = table[static_cast<std::uint8_t>(c)];
        rds += static_cast<char>(code);
        any = any || substituted;
    }
    if (changed) {
        *changed = any;
    }
    return rds;
}

bool ChangesOnAir(std::string_view text) {
    bool changed = false;
    static_cast<void>(StationTextToRds(text, &changed));
    return changed;
}

std::string RdsToStationText(std::string_view bytes, bool* changed) {
    std::string text;
    bool any = false;
    for (const char byte : bytes) {
        const char32_t character = RdsCharacter(static_cast<std::uint8_t>(byte));
        const auto station = character ? UnicodeToWindows1250(character) : std::nullopt;
        if (!character) {
            text += byte;
        } else if (station) {
            text += static_cast<char>(*station);
        } else {
            const char plain = PlainCharacter(character);
            text += plain ? plain : ' ';
            any = true;
        }
    }
    if (changed) {
        *changed = any;
    }
    return text;
}

}  // namespace vaxo
