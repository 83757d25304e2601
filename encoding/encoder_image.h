#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "base/local_time.h"
#include "encoding/bit_array.h"
#include "encoding/field_encoders.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

inline constexpr std::size_t kPsAreaElements = 1536;
inline constexpr std::size_t kDpsTablePresent = 1536;  // control element of PsArea
inline constexpr std::size_t kRtAreaElements = 1664;
inline constexpr std::size_t kPsAreaBytes = kPsAreaElements / 8;  // 192
inline constexpr std::size_t kRtAreaBytes = kRtAreaElements / 8;  // 208

// Everything one send writes into the encoder: area 1 (the four 0A groups,
// repeat value, mode flags, dynamic PS table) and area 2 (sixteen 2A groups),
// with the texts they were built from, in the RDS character table.
struct EncoderImage {
    std::array<BitElement, kPsAreaElements + 1> PsArea{};
    std::array<BitElement, kRtAreaElements> RtArea{};
    std::string PsText;
    std::string RtText;
    std::array<std::string, kDpsCount> DpsTexts;
    std::array<std::string, kDpsCount> SentDpsTexts;  // the station's, dates and times put in
    int TextAbFlag = 0;

    bool DpsTablePresent() const { return PsArea[kDpsTablePresent] == 1; }
};

struct ImageClock {
    LocalTime now;
    char decimalSeparator = '.';
};

// Builds the complete image from the set, which it only reads, and the
// send's radiotext A/B flag: a PI or an AF entry that is no such thing goes
// on air as the send's check makes it (FFFF, dropped), though the program's
// door for changes never lets one into its set. `fields` receives the
// encoded fields the groups were built from.
void BuildEncoderImage(const RdsParameterSet& set, int textAbFlag, const ImageClock& clock,
                       EncodedFields& fields, EncoderImage& image);

// A field's text as the memory gets it: a UECP server's own bytes while the
// field holds what they read as, else the station's text through the RDS
// character table.
std::string OnAirText(const RdsParameterSet& set, FieldId field, const std::string& text);

// Builds PsArea and RtArea from the encoded fields and the staging texts.
void EncodeGroups(const RdsParameterSet& set, const EncodedFields& fields, bool rtPresent,
                  EncoderImage& image);

}  // namespace vaxo
