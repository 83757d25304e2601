#pragma once

#include "encoding/encoder_image.h"
#include "tools/command_line.h"

namespace vaxo::ctl {

// What an image is built with: --at "YYYY-MM-DD HH:MM:SS" (default now) for
// the date and time markers, --decimal-separator C (default the locale's)
// for the AF texts; --ab 0|1 (default 0) for the radiotext A/B flag.
ImageClock ImageClockFrom(const ParsedOptions& options);
int AbFlagFrom(const ParsedOptions& options);

}  // namespace vaxo::ctl
