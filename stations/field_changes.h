#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/rds_parameter_set.h"
#include "record/station_fields.h"

namespace vaxo {

// Fields by their station-file keys ("PS", "RT2", "DPSP"); the program
// options by "PORT", "AUTOSAVE", "HIPRI" and "ALONTOP".
using FieldKeys = std::vector<std::string>;

enum class FieldVerdict {
    Accepted,
    UnknownKey,    // not KEY=value, or a key no station file has
    NotAllowed,    // a key this caller may not set
    InvalidValue,  // a value the field cannot take; see the reason
};

struct FieldOutcome {
    std::string key;
    FieldVerdict verdict = FieldVerdict::Accepted;
    std::string reason = {};  // why a value was refused
};

// How values are taken. A station file is read leniently: a bad number
// gives the field's default, a long text is cut, an unknown line is passed
// over. Strictly, a value is taken only when the field can hold it as it
// stands; anything the lenient reader would have changed is refused.
struct FieldPolicy {
    bool strict = false;
    // The feed file names would put any file the program can read on air,
    // and EXIT ends the program: not for every caller.
    bool feedFilesAndExit = true;
    // The separator the send reads AF texts with.
    char decimalSeparator = '.';
};

struct FieldChanges {
    std::vector<FieldOutcome> outcomes;  // one per line
    FieldKeys changed;                   // fields whose value is now different
    bool sendAsked = false;              // SEND=1 among them
};

// Applies KEY=value lines (CR, LF or CR LF between them) in order. A line
// that is refused changes nothing; the others still apply. Without
// `answered` the outcomes are not kept (a station file of any size is read
// in bounded memory).
FieldChanges ApplyFieldLines(RdsParameterSet& set, std::string_view text,
                             const FieldPolicy& policy, bool answered = true);

// Why the field cannot take the value as it stands, or nothing when it can.
std::optional<std::string> StrictValueProblem(const StationField& field, std::string_view value,
                                              char decimalSeparator);

// The values of every station field, to tell later which of them changed.
std::vector<std::string> FieldValues(const RdsParameterSet& set);
FieldKeys ChangedFields(const std::vector<std::string>& before, const RdsParameterSet& after);

}  // namespace vaxo
