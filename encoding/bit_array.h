#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vaxo {

// One element per bit (0 or 1), most significant bit first.
using BitElement = std::uint8_t;

// Writes the lowest `width` bits of value into elements [at, at + width).
inline void PutBits(std::span<BitElement> elements, std::size_t at, unsigned value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
        elements[at++] = static_cast<BitElement>((value >> bit) & 1u);
    }
}

// Reads `width` elements from `at` as an unsigned number; only 1 counts as a 1 bit.
inline unsigned GetBits(std::span<const BitElement> elements, std::size_t at, int width) {
    unsigned value = 0;
    for (int i = 0; i < width; ++i) {
        value = (value << 1) | (elements[at++] == 1 ? 1u : 0u);
    }
    return value;
}

// Memory bytes 0 .. count-1 of an area: element 8m + k is bit 7 - k of byte m.
inline std::vector<std::uint8_t> AreaBytes(std::span<const BitElement> area, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t m = 0; m < count; ++m) {
        bytes[m] = static_cast<std::uint8_t>(GetBits(area, 8 * m, 8));
    }
    return bytes;
}

}  // namespace vaxo
