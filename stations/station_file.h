#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "record/rds_parameter_set.h"
#include "stations/field_changes.h"

namespace vaxo {

// The 47 lines of a complete station file, CR LF after each.
std::string StationFileText(const RdsParameterSet& set);

// Applies station-file bytes onto the set, leniently: a file that begins
// with "CLEAR" (and has fewer than 128 lines) resets the station first;
// every other file changes only the fields it names. AF texts are read with
// the send's decimal separator.
StationChange ApplyStationText(RdsParameterSet& set, std::string_view text, char decimalSeparator);

// Writes the whole set to `path`, replacing the file atomically. Returns
// the fingerprint of what it wrote.
std::uint64_t SaveStationFile(const RdsParameterSet& set, const std::string& path,
                              FileLinks links = FileLinks::Follow);

struct StationLoad {
    StationChange change;
    // The fingerprint of the file's contents; none when there was no file.
    std::optional<std::uint64_t> fingerprint;
};

// Applies the file at `path` onto the set; a missing file changes nothing.
StationLoad LoadStationFile(RdsParameterSet& set, const std::string& path, char decimalSeparator,
                            FileLinks links = FileLinks::Follow);

}  // namespace vaxo
