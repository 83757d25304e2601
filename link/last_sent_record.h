#pragma once

#include <cstdint>

#include "encoding/encoder_image.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// The 28 lines that describe a successful send: the fields as the set held
// them when the image was built (PI and AF tidied), the current radiotext,
// the texts the dynamic PS table got, the image's A/B flag, the calibration
// count in force and how long the writes took.
LastSentRecord RecordOfSend(const RdsParameterSet& sent, const EncoderImage& image,
                            std::uint32_t calibrationCount, long long milliseconds);

}  // namespace vaxo
