#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "encoding/bit_array.h"

namespace vaxo {

// Offset words of the four block positions of a group.
enum class BlockOffset : unsigned { A = 0x0FC, B = 0x198, C = 0x168, D = 0x1B4 };

inline constexpr std::size_t kBlockElements = 26;
inline constexpr std::size_t kGroupElements = 4 * kBlockElements;

// The 10-bit checkword of a 16-bit information word with the offset added:
// the remainder of m(x)·x^10 divided by x^10+x^8+x^7+x^5+x^4+x^3+1.
unsigned Checkword(unsigned information, BlockOffset offset);

// The remainder of a 26-bit block divided by the same polynomial: an intact
// block leaves its offset word.
unsigned BlockSyndrome(std::uint32_t block);

// Writes the check elements of block 0..3 of a group from its 16 information
// elements.
void AddCheckword(std::span<BitElement> group, std::size_t block, BlockOffset offset);

}  // namespace vaxo
