#pragma once

#include <array>
#include <string_view>

namespace vaxo {

// The 32 programme-type names; the index is the RDS PTY code.
inline constexpr std::array<std::string_view, 32> kProgrammeTypeNames = {
    "(None)",  "News",    "Affairs",  "Info",   "Sport",    "Educate",  "Drama",    "Culture",
    "Science", "Varied",  "Pop M",    "Rock M", "Easy M",   "Light M",  "Classics", "Other M",
    "Weather", "Finance", "Children", "Social", "Religion", "Phone In", "Travel",   "Leisure",
    "Jazz",    "Country", "Nation",   "Oldies", "Folk M",   "Document", "TEST",     "Alarm!",
};

// Decoder-identification flags in list order; flag n is the RDS DI bit dn.
inline constexpr std::array<std::string_view, 4> kDecoderIdNames = {"Stereo", "Artificial Head",
                                                                    "Compressed", "Dynamic PTY"};

}  // namespace vaxo
