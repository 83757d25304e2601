#include "encoding/memory_dump.h"

#include "base/hex_digit.h"
#include "base/text_lines.h"

namespace vaxo {
namespace {

constexpr std::size_t kArea1Bytes = 192;
constexpr std::size_t kArea2Bytes = 208;

// Pairs of hexadecimal digits, at most `limit` bytes taken.
std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view hex, std::size_t limit) {
    while (!hex.empty() && (hex.back() == ' ' || hex.back() == '\t')) {
        hex.remove_suffix(1);
    }
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i]);
        const int low = HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        if (bytes.size() < limit) {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
    }
    return bytes;
}

}  // namespace

std::optional<MemoryDump> ParseMemoryDump(std::string_view text, int bank, std::string& why) {
    const std::string first = bank == 2 ? "memory A4 " : "memory A0 ";
    const std::string second = bank == 2 ? "memory A6 " : "memory A2 ";
    MemoryDump dump;
    bool found1 = false, found2 = false;
    why.clear();
    ForEachLine(text, [&](std::string_view line) {
        const auto take = [&](std::string_view prefix, std::vector<std::uint8_t>& area,
                              std::size_t limit, bool& found) {
            if (!line.starts_with(prefix)) {
                return;
            }
            const auto bytes = HexBytes(line.substr(prefix.size()), limit);
            if (!bytes) {
                why = "the line " + std::string(prefix.substr(0, prefix.size() - 1)) +
                      " holds no pairs of hexadecimal digits";
                return;
            }
            area = *bytes;
            found = true;
        };
        take("area1 ", dump.area1, kArea1Bytes, found1);
        take("area2 ", dump.area2, kArea2Bytes, found2);
        take(first, dump.area1, kArea1Bytes, found1);
        take(second, dump.area2, kArea2Bytes, found2);
        return why.empty();
    });
    if (!why.empty()) {
        return std::nullopt;
    }
    if (!found1 && !found2) {
        why = "no area1/area2 lines (vaxoctl image) and no memory lines (vaxoctl send --simulate)";
        return std::nullopt;
    }
    return dump;
}

}  // namespace vaxo
