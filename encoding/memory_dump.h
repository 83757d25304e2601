#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vaxo {

// The two areas of an encoder memory as text shows them: the "area1" and
// "area2" lines that `vaxoctl image` prints, or the "memory A0" .. "memory A6"
// lines of a simulated send (bank 1 is A0 and A2, bank 2 A4 and A6). An area
// may be shorter than the memory's (a send of four pages).
struct MemoryDump {
    std::vector<std::uint8_t> area1;  // at most 192 bytes
    std::vector<std::uint8_t> area2;  // at most 208 bytes
};

// The dump, or why the text is none (`why`).
std::optional<MemoryDump> ParseMemoryDump(std::string_view text, int bank, std::string& why);

}  // namespace vaxo
