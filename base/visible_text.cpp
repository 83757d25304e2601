#include "base/visible_text.h"

#include <array>
#include <cstdio>
#include <utility>

#include "base/code_page.h"

namespace vaxo {
namespace {

// Unicode's format characters (Cf) and the two separators (Zl, Zp).
constexpr std::array<std::pair<char32_t, char32_t>, 22> kInvisibleRanges{{
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F}, {0xFFFE, 0xFFFF},
}};

std::string Hex(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool IsInvisible(char32_t character) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0)) {
        return true;
    }
    for (const auto& [first, last] : kInvisibleRanges) {
        if (character >= first && character <= last) {
            return true;
        }
    }
    return false;
}

std::string WithInvisiblesShown(std::string_view utf8) {
    std::string shown;
    shown.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t start = at;
        const auto point = DecodeUtf8(utf8, at);
        if (!point) {
            shown += Hex("\\x%02X", static_cast<unsigned char>(utf8[start]));
            at = start + 1;
        } else if (!IsInvisible(*point)) {
            shown.append(utf8.substr(start, at - start));
        } else if (*point < 0xA0) {
            shown += Hex("\\x%02X", static_cast<unsigned>(*point));
        } else {
            shown += Hex("\\u{%X}", static_cast<unsigned>(*point));
        }
    }
    return shown;
}

}  // namespace vaxo
