#pragma once

#include <string>
#include <vector>

#include "encoding/receiver_view.h"

namespace vaxo {

// How the program words what a receiver gets, the same wherever it is shown.

// Tenths of MHz as "99.0".
std::string Megahertz(int tenths);
// The frequencies of the AF list's codes, in order ("87.6", "99.0"); codes
// that are no frequency are left out.
std::vector<std::string> AfFrequencies(const ReceiverView& view);
// "stereo, dynamic PTY", or "mono" when no flag is set.
std::string DecoderIdWords(const ReceiverView& view);
// "D3C2", or "?" when no PI was read.
std::string ShownPi(const ReceiverView& view);

}  // namespace vaxo
