#include "base/code_page.h"

#include <array>

#include "base/plain_characters.h"

namespace vaxo {
namespace {

constexpr std::array<char32_t, 128> kUpperHalf = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021, 0x0000, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// Lower-case letter of a Windows-1250 byte (the byte itself when none).
unsigned char LowerByte(unsigned char byte) {
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
        return static_cast<unsigned char>(byte + 0x20);
    }
    switch (byte) {
        case 0x8A:
        case 0x8C:
        case 0x8D:
        case 0x8E:
        case 0x8F:
            return static_cast<unsigned char>(byte + 0x10);
        case 0xA3:
            return 0xB3;
        case 0xA5:
            return 0xB9;
        case 0xAA:
            return 0xBA;
        case 0xAF:
            return 0xBF;
        case 0xBC:
            return 0xBE;
        default:
            return byte;
    }
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

// Decodes one UTF-8 sequence at `at`; nothing for a malformed one.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    int length = 0;
    char32_t point = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + static_cast<std::size_t>(length) > text.size()) {
        return std::nullopt;
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        point = point << 6 | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return std::nullopt;  // over-long form, beyond Unicode, or a surrogate
    }
    at += static_cast<std::size_t>(length);
    return point;
}

char32_t Windows1250ToUnicode(unsigned char byte) {
    return byte < 0x80 ? byte : kUpperHalf[byte - 0x80u];
}

std::optional<unsigned char> UnicodeToWindows1250(char32_t codePoint) {
    if (codePoint < 0x80) {
        return static_cast<unsigned char>(codePoint);
    }
    for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
        if (kUpperHalf[i] == codePoint && codePoint != 0) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::string Windows1250ToUtf8(std::string_view text) {
    std::string out;
    for (char c : text) {
        const char32_t point = Windows1250ToUnicode(static_cast<unsigned char>(c));
        AppendUtf8(out, point == 0 && c != 0 ? U'?' : point);
    }
    return out;
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t point : text) {
        AppendUtf8(out, point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF) ? U'?' : point);
    }
    return out;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> Utf8ToWindows1250(std::string_view text, int* missing) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::string out;
    int lacking = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto point = DecodeUtf8(text, at);
        if (!point) {
            return std::nullopt;
        }
        const auto byte = UnicodeToWindows1250(*point);
        lacking += byte ? 0 : 1;
        const char plain = PlainCharacter(*point);
        out += byte ? static_cast<char>(*byte) : plain ? plain : '?';
    }
    if (missing) {
        *missing = lacking;
    }
    return out;
}

std::string TextLineToWindows1250(std::string_view line, int* missing) {
    if (missing) {
        *missing = 0;
    }
    if (IsAscii(line)) {
        return std::string(line);
    }
    // Not UTF-8: Windows-1250 as it stands.
    return Utf8ToWindows1250(line, missing).value_or(std::string(line));
}

std::string LowerFileName(std::string_view name) {
    std::string lowered;
    for (std::size_t at = 0; at < name.size();) {
        const auto point = DecodeUtf8(name, at);
        if (!point) {
            lowered.clear();
            for (char c : name) {
                lowered += static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
            }
            return lowered;
        }
        const auto byte = UnicodeToWindows1250(*point);
        AppendUtf8(lowered, byte ? Windows1250ToUnicode(LowerByte(*byte)) : *point);
    }
    return lowered;
}

}  // namespace vaxo
