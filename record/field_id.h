#pragma once

#include <cstddef>

namespace vaxo {

// Every field, in the order the station file writes them, then the program
// options. The schema (field_schema.cpp) has one entry for each, which names
// it, shapes its value and says where it lives.
// clang-format off
enum class FieldId : std::size_t {
    PTY, MS, TP, TA, PI, DI, RT, RT2, RT3, RT4, SELRT, RTUSAB, RTFF, RTSC,
    AF1, AF2, AF3, AF4, AF5, AF6, AF7, PS, DPSE, DPSFF, DPSSC, DPSP, DPSSA, DPSEF,
    DPS1, DPS2, DPS3, DPS4, DPS5, DPS6, DPS7, DPS8, RTSF, RTSAT, RTSA, DPSSF, EFCHAR,
    RTFB, DPSFB, RTSTALE, DPSSTALE,
    STB, MBS, SEND, EXIT,
    PORT, AUTOSAVE, HIPRI, ALONTOP,
    WRITEALL, MINSEND, ENDURANCE, WEARYEARS, TALIMIT,
};
// clang-format on
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(FieldId::TALIMIT) + 1;

constexpr std::size_t IndexOf(FieldId id) {
    return static_cast<std::size_t>(id);
}

}  // namespace vaxo
