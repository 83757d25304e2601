#pragma once

#include <array>
#include <string>

#include "encoding/bit_array.h"
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

// Normalises the set's PI: four hexadecimal digits in capitals, else "FFFF".
void CheckPI(RdsParameterSet& set);
void EncodePI(EncodedFields& fields, const std::string& pi);
void EncodePTY(EncodedFields& fields, int index);
void EncodeFlags(EncodedFields& fields, const RdsParameterSet& set);

// Method-A code 1..204 of one AF text, or 0 when the text is not a usable
// frequency. decimalSeparator is the user's locale setting.
int AfCode(const std::string& text, char decimalSeparator);

// Drops unusable AF entries from the set (the rest move up in order, keeping
// their text) and fills AfBits with the count and codes, 205 as filler.
void EncodeAF(EncodedFields& fields, RdsParameterSet& set, char decimalSeparator);

}  // namespace vaxo
