#include "link/known_memory.h"

#include <algorithm>

namespace vaxo {
namespace {

std::size_t BankSlot(int bank) {
    return bank == 2 ? 1 : 0;
}

}  // namespace

std::array<PageSet, 2> KnownMemory::PagesToWrite(int bank, const EncoderImage& image) const {
    std::array<PageSet, 2> pages{};
    for (const ImageArea area : kImageAreas) {
        const Area& known = banks_[BankSlot(bank)][static_cast<std::size_t>(area)];
        const auto elements = AreaElements(image, area);
        const int count = PageCount(area, elements);
        const std::vector<std::uint8_t> bytes =
            AreaBytes(elements, static_cast<std::size_t>(count) * kPageDataBytes);
        PageSet& changed = pages[static_cast<std::size_t>(area)];
        for (int page = 0; page < count; ++page) {
            const auto from = static_cast<std::size_t>(page) * kPageDataBytes;
            const bool same =
                (known.known >> page) & 1 &&
                std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                           bytes.begin() + static_cast<std::ptrdiff_t>(from + kPageDataBytes),
                           known.bytes.begin() + static_cast<std::ptrdiff_t>(from));
            if (!same) {
                changed = static_cast<PageSet>(changed | (1u << page));
            }
        }
    }
    return pages;
}

void KnownMemory::Wrote(int bank, const EncoderImage& image) {
    for (const ImageArea area : kImageAreas) {
        Area& known = banks_[BankSlot(bank)][static_cast<std::size_t>(area)];
        const auto elements = AreaElements(image, area);
        const int count = PageCount(area, elements);
        const std::vector<std::uint8_t> bytes =
            AreaBytes(elements, static_cast<std::size_t>(count) * kPageDataBytes);
        std::copy(bytes.begin(), bytes.end(), known.bytes.begin());
        known.known = static_cast<PageSet>(known.known | PagesOf(area, elements));
    }
}

void KnownMemory::Forget(int bank) {
    banks_[BankSlot(bank)] = {};
}

void KnownMemory::ForgetAll() {
    banks_ = {};
}

}  // namespace vaxo
