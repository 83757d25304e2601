#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "record/rds_parameter_set.h"

namespace vaxo {

inline constexpr const char* kSettingsFileName = "vaxow.dat";
inline constexpr std::size_t kSettingsLines = 65;

// The 65 lines the settings file holds for the current values.
std::vector<std::string> SettingsLines(const RdsParameterSet& set);

// Takes settings-file bytes: exactly 65 lines or nothing (then only
// StationFileName becomes "untitled.rds").
void ApplySettingsText(RdsParameterSet& set, std::string_view text);

// Both use "vaxow.dat" in ProgramDir.
void LoadSettingsFile(RdsParameterSet& set);
void SaveSettingsFile(const RdsParameterSet& set);

}  // namespace vaxo
