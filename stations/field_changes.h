#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/field_schema.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// One field and the value it is to take.
struct FieldAssignment {
    FieldId field;
    FieldValue value;
};

// What became of one assignment: taken, or refused with the reason.
struct FieldOutcome {
    FieldId field;
    std::string refusal = {};
    RefusalCode code = RefusalCode::Malformed;  // when refused

    bool Accepted() const { return refusal.empty(); }
};

struct AppliedValues {
    std::vector<FieldOutcome> outcomes;  // one per assignment, in order
    FieldSet changed;                    // fields whose value is now different
    bool refused = false;                // one was refused: nothing changed
};

// The send's checks of PI and the AF list as a change of the set, so that it
// holds what goes on air: PI in capitals, or FFFF when it is no four
// hexadecimal digits; the AF list without unusable entries, closed up.
void TidyStation(RdsParameterSet& set, char decimalSeparator);

// Typed values, each checked against its field: all of them or, when one is
// refused, none. The set is tidied after.
AppliedValues ApplyFieldValues(RdsParameterSet& set, const std::vector<FieldAssignment>& values,
                               char decimalSeparator);

// What station-file bytes did to a set.
struct StationChange {
    FieldSet changed;
    bool cleared = false;  // it began with CLEAR: the station was reset first
    // Whether the station asks for a send at the next look ("Send after
    // Load"): a SEND line says so, a reset says no; none when neither came.
    std::optional<bool> sendAfterLoad;
};

// Station-file lines (CR, LF or CR LF between them) applied leniently, in
// order: a bad number gives the field's fallback, a long text is cut, a line
// that is no station field is passed over. The set is tidied after.
StationChange ApplyStationLines(RdsParameterSet& set, std::string_view text, char decimalSeparator);

// How many of the text's lines are station-field lines ("KEY=value" with a
// key of 1 to 8 characters that a station file has).
std::size_t CountStationLines(std::string_view text);

}  // namespace vaxo
