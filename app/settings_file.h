#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "record/rds_parameter_set.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

inline constexpr const char* kSettingsFileName = "vaxow.dat";
inline constexpr std::size_t kSettingsLines = 65;

// What the settings file keeps of a run for the next one besides the
// options: the station file, the radiotext sent last, the feeds' last
// texts and the last-sent record of each bank.
struct RunMemory {
    std::string stationFile;  // empty: none remembered
    std::string lastSentRT;
    FeedMemory feeds;
    std::array<LastSentRecord, 2> lastSent{};  // bank 1, bank 2
};

// The 65 lines the settings file holds.
std::vector<std::string> SettingsLines(const RdsParameterSet& options, const RunMemory& run);

// Takes settings-file bytes: exactly 65 lines or nothing (then no station
// file is remembered). Options go into the set, the rest into `run`.
void ApplySettingsText(RdsParameterSet& options, RunMemory& run, std::string_view text);

// Both use "vaxow.dat" in `folder` (ending in its separator).
RunMemory LoadSettingsFile(RdsParameterSet& options, const std::string& folder);
void SaveSettingsFile(const RdsParameterSet& options, const RunMemory& run,
                      const std::string& folder);

}  // namespace vaxo
