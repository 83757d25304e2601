#pragma once

#include <array>
#include <string>

#include "encoding/bit_array.h"
#include "record/frequencies.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// PI, PTY, flags, DI and AF as bit arrays, rewritten completely by every send.
struct EncodedFields {
    std::array<BitElement, 16> PiBits{};
    // [0..4] PTY (bit 4 first), [5] MS, [6] TP, [7] TA, [8] radiotext A/B
    std::array<BitElement, 9> FlagBits{};
    // DI bit carried by 0A segment 0..3: d3, d2, d1, d0
    std::array<BitElement, 4> DiBits{};
    // Block 3 of 0A segments 0..3: two method-A AF bytes
    std::array<std::array<BitElement, 16>, 4> AfBits{};
};

// Bit n (0 = least significant) of a value 0..255.
bool TestBit(unsigned value, int n);

// A PI text as it goes on air: four hexadecimal digits in capitals, else "FFFF".
std::string CheckPI(std::string_view pi);
void EncodePI(EncodedFields& fields, const std::string& pi);
void EncodePTY(EncodedFields& fields, int index);
// The A/B flag is the send's, not the station's.
void EncodeFlags(EncodedFields& fields, const RdsParameterSet& set, int textAbFlag);

using AfList = std::array<BoundedText<kAfTextLength>, kAfCount>;

// The AF list as it goes on air: unusable entries dropped, the rest moved up
// in order, keeping their text.
AfList CompactAF(const AfList& af, char decimalSeparator);

// Fills AfBits with the count and codes of the usable entries, 205 as filler.
void EncodeAF(EncodedFields& fields, const AfList& af, char decimalSeparator);

}  // namespace vaxo
