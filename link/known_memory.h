#pragma once

#include <array>
#include <cstdint>

#include "encoding/encoder_image.h"
#include "link/image_transfer.h"

namespace vaxo {

// What this run knows banks 1 and 2 of the encoder's memory hold, page by
// page: the pages its successful sends wrote. A send writes the pages the
// memory is not known to hold; nothing is known of a bank before its first
// successful send, after a send to it failed, or after the port changed.
class KnownMemory {
  public:
    // The pages of each area of the image (first, second) that the bank is
    // not known to hold.
    std::array<PageSet, 2> PagesToWrite(int bank, const EncoderImage& image) const;
    // A send of the image to the bank was confirmed: it holds its pages.
    void Wrote(int bank, const EncoderImage& image);
    void Forget(int bank);
    void ForgetAll();

  private:
    struct Area {
        std::array<std::uint8_t, kBlockPages * kPageDataBytes> bytes{};
        PageSet known = 0;
    };
    std::array<std::array<Area, 2>, 2> banks_{};  // [bank 1, 2][first area, second]
};

}  // namespace vaxo
