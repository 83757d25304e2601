#include "encoding/chr_repl.h"

#include <array>
#include <cstdint>

namespace vaxo {
namespace {

struct Replacement {
    std::uint8_t result;
    std::string_view sources;
};

constexpr Replacement kTable[] = {
    {0x20, "\x5F"},
    {0x27, "\x60\x91\x92\xB4"},
    {0x2A, "\x40"},
    {0x41, "\xA5\xC1\xC2\xC3\xC4"},
    {0x61, "\xB9\xE1\xE2\xE3\xE4"},
    {0x43, "\xA9\xC6\xC7\xC8"},
    {0x63, "\xE6\xE7\xE8"},
    {0x44, "\xCF\xD0"},
    {0x64, "\xEF\xF0"},
    {0x45, "\xC9\xCA\xCB\xCC"},
    {0x65, "\xE9\xEA\xEB\xEC"},
    {0x49, "\xCD\xCE"},
    {0x69, "\xED\xEE"},
    {0x4C, "\xA3\xBC\xC5"},
    {0x6C, "\xB3\xBE\xE5"},
    {0x4E, "\xD1\xD2"},
    {0x6E, "\xF1\xF2"},
    {0x4F, "\xD3\xD4\xD5\xD6"},
    {0x6F, "\xF3\xF4\xF5\xF6"},
    {0x52, "\xAE\xC0\xD8"},
    {0x72, "\xE0\xF8"},
    {0x53, "\x8A\x8C\xAA\xDF"},
    {0x73, "\x9A\x9C\xBA"},
    {0x54, "\x8D\xDE"},
    {0x74, "\x9D\xFE"},
    {0x55, "\xD9\xDA\xDB\xDC"},
    {0x75, "\xF9\xFA\xFB\xFC"},
    {0x59, "\xDD"},
    {0x79, "\xFD"},
    {0x5A, "\x8E\x8F\xAF"},
    {0x7A, "\x9E\x9F\xBF"},
};

constexpr std::array<std::uint8_t, 256> BuildMap() {
    std::array<std::uint8_t, 256> map{};
    for (std::size_t byte = 0; byte < map.size(); ++byte) {
        map[byte] = static_cast<std::uint8_t>(byte);
    }
    for (const Replacement& entry : kTable) {
        for (char source : entry.sources) {
            map[static_cast<std::uint8_t>(source)] = entry.result;
        }
    }
    return map;
}

constexpr std::array<std::uint8_t, 256> kMap = BuildMap();

}  // namespace

std::string ReplaceChars(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(kMap[static_cast<std::uint8_t>(c)]);
    }
    return result;
}

}  // namespace vaxo
