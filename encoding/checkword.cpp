#include "encoding/checkword.h"

namespace vaxo {
namespace {

constexpr unsigned kGenerator = 0x5B9;  // x^10 + x^8 + x^7 + x^5 + x^4 + x^3 + 1

}  // namespace

unsigned BlockSyndrome(std::uint32_t block) {
    for (int bit = 25; bit >= 10; --bit) {
        if (block & (1u << bit)) {
            block ^= kGenerator << (bit - 10);
        }
    }
    return block & 0x3FF;
}

unsigned Checkword(unsigned information, BlockOffset offset) {
    return BlockSyndrome((information & 0xFFFFu) << 10) ^ static_cast<unsigned>(offset);
}

void AddCheckword(std::span<BitElement> group, std::size_t block, BlockOffset offset) {
    const std::size_t start = block * kBlockElements;
    PutBits(group, start + 16, Checkword(GetBits(group, start, 16), offset), 10);
}

}  // namespace vaxo
