// Any bytes as a station file, then the image a send would build from it: no
// crash, no sanitizer report, and every group block carries a valid checkword.
#include <cstdint>
#include <cstdlib>

#include "encoding/checkword.h"
#include "encoding/encoder_image.h"
#include "stations/station_file.h"

namespace {

void RequireValidGroups(std::span<const vaxo::BitElement> area, std::size_t groups) {
    constexpr vaxo::BlockOffset kOffsets[] = {vaxo::BlockOffset::A, vaxo::BlockOffset::B,
                                              vaxo::BlockOffset::C, vaxo::BlockOffset::D};
    for (std::size_t g = 0; g < groups; ++g) {
        for (std::size_t b = 0; b < 4; ++b) {
            const std::size_t at = g * vaxo::kGroupElements + b * vaxo::kBlockElements;
            if (vaxo::GetBits(area, at + 16, 10) !=
                vaxo::Checkword(vaxo::GetBits(area, at, 16), kOffsets[b])) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vaxo::RdsParameterSet set;
    vaxo::ApplyStationText(set, {reinterpret_cast<const char*>(data), size});
    vaxo::EncodedFields fields;
    vaxo::EncoderImage image;
    const auto at = *vaxo::ParseLocalTime("2026-12-08 23:59:55");
    vaxo::BuildEncoderImage(set, {at, size % 2 ? ',' : '.'}, fields, image);
    RequireValidGroups(image.PsArea, 4);
    RequireValidGroups(image.RtArea, 16);
    return 0;
}
