#pragma once

#include <string>
#include <string_view>

#include "record/rds_parameter_set.h"

namespace vaxo {

// The settings beyond the 65 lines of vaxow.dat, which stays as it was: one
// KEY=value line each (WRITEALL=0, MINSEND=3, ENDURANCE=1000000,
// WEARYEARS=5, TALIMIT=5), read and written as the field schema reads and writes them.
inline constexpr const char* kOptionsFileName = "vaxow.ini";

std::string OptionsText(const RdsParameterSet& set);
// A line that is no such setting is passed over; a bad value gives the
// setting's default.
void ApplyOptionsText(RdsParameterSet& set, std::string_view text);

// Both use vaxow.ini in `folder`; a missing file changes nothing.
void LoadOptionsFile(RdsParameterSet& set, const std::string& folder);
void SaveOptionsFile(const RdsParameterSet& set, const std::string& folder);

}  // namespace vaxo
