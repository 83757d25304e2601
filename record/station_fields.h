#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "record/rds_parameter_set.h"

namespace vaxo {

// One field of a station as the station file holds it: its line as the
// writer puts it, the key and rule the reader applies, and its reset value.
// Adding a station field is one entry in StationFields() and the member.
struct StationField {
    const char* key;  // the reader's key
    std::string (*value)(const RdsParameterSet&);
    void (*read)(RdsParameterSet&, std::string_view value);
    void (*reset)(RdsParameterSet&);
    // The key the writer puts, where it is not the reader's (null: the same).
    const char* (*writtenKey)(const RdsParameterSet&) = nullptr;
};

// Every station field, in the order the station file writes them.
const std::vector<StationField>& StationFields();

// The field read under `key`, or null.
const StationField* FindStationField(std::string_view key);

// The line the writer puts for a field ("PS=FM RADIO"); the last-sent record
// shares these forms.
std::string StationFieldLine(const RdsParameterSet& set, const StationField& field);
std::string StationFieldLine(const RdsParameterSet& set, std::string_view key);

}  // namespace vaxo
