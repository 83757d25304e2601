// Any bytes as a station file, then the image a send would build from it: no
// crash, no sanitizer report, and a receiver finds every block intact.
#include <cstdint>
#include <cstdlib>

#include "encoding/encoder_image.h"
#include "encoding/receiver_view.h"
#include "stations/station_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char separator = size % 2 ? ',' : '.';
    vaxo::RdsParameterSet set;
    vaxo::ApplyStationText(set, {reinterpret_cast<const char*>(data), size}, separator);
    vaxo::EncodedFields fields;
    vaxo::EncoderImage image;
    const auto at = *vaxo::ParseLocalTime("2026-12-08 23:59:55");
    vaxo::BuildEncoderImage(set, static_cast<int>(size % 3 == 0), {at, separator}, fields, image);
    const auto area1 = vaxo::AreaBytes(image.PsArea, vaxo::kPsAreaBytes);
    const auto area2 = vaxo::AreaBytes(image.RtArea, vaxo::kRtAreaBytes);
    if (!vaxo::DecodeEncoderMemory(area1, area2).AllBlocksIntact()) {
        std::abort();
    }
    return 0;
}
