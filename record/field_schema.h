#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "record/field_id.h"
#include "record/field_set.h"
#include "record/rds_parameter_set.h"
#include "record/refusal.h"

namespace vaxo {

enum class Bank { One = 1, Two = 2 };
enum class PortChoice { Lpt1 = 0, Lpt2 = 1 };

// A field's value as the program takes it, whichever front end it came from:
// texts as bytes in the station's code page (Windows-1250), numbers, flags,
// PI as the number its four digits write, the DI flags, the bank and the port.
// An alternative frequency is its text (as typed) or, from a front end that
// has it as a number, its tenths of MHz (0: none).
using FieldValue = std::variant<bool, int, std::string, DecoderId, Bank, PortChoice>;

static_assert(IndexOf(FieldId::AF7) - IndexOf(FieldId::AF1) + 1 == kAfCount);
static_assert(IndexOf(FieldId::DPS8) - IndexOf(FieldId::DPS1) + 1 == kDpsCount);

inline FieldId AfField(std::size_t index) {  // 0 for AF1
    return static_cast<FieldId>(IndexOf(FieldId::AF1) + index);
}
inline FieldId DpsField(std::size_t index) {  // 0 for DPS1
    return static_cast<FieldId>(IndexOf(FieldId::DPS1) + index);
}
FieldId RadiotextField(int number);  // 1 for RT, 4 for RT4

enum class FieldKind {
    Text,       // bytes up to a limit
    FileName,   // a live-text source's name, any length
    Number,     // a small decimal number within a range: one or two digits
    Count,      // a decimal number within a range, of any number of digits
    Flag,       // on or off
    Pi,         // four hexadecimal digits
    DecoderId,  // four flags, written dynamic PTY first
    Frequency,  // an alternative frequency, or none
    Selection,  // which radiotext is current, 1..4 (none only from a station file)
    Bank,       // memory bank 1 or 2
    Port,       // LPT1 or LPT2
};

struct FieldType {
    FieldKind kind = FieldKind::Text;
    std::size_t limit = 0;  // Text, Pi, Frequency: the longest text; 0: none
    int low = 0;            // Number, Selection
    int high = 0;
    int fallback = 0;  // Number, Count: what a bad value in a file reads as
};

enum class FieldScope {
    Station,        // in station files, reset by CLEAR
    ProgramOption,  // a line of the settings file vaxow.dat
    Setting,        // a KEY=value line of the settings file vaxow.ini
};

// One field: its key, its type, where it lives and how it is held. The
// readings of its text (lenient for station files, strict for commands) and
// its written form follow from the type alone.
struct StationField {
    FieldId id;
    const char* key;
    FieldType type;
    FieldScope scope;
    FieldValue (*get)(const RdsParameterSet&);
    void (*put)(RdsParameterSet&, const FieldValue&);  // a value CheckFieldValue passed
    void (*reset)(RdsParameterSet&);                   // a station field's reset value
    // The key the writer puts, where it is not the reader's (null: the same).
    const char* (*writtenKey)(const RdsParameterSet&) = nullptr;
    // A station field that steers the program (a feed, the bank, Send after
    // Load), not what the encoder broadcasts.
    bool offAir = false;
    // A station file has its line only when it differs from the reset
    // value: files of stations that do not use it stay as they were.
    bool writtenWhenSet = false;
};

// Every field, indexed by FieldId; the station fields first, in the order
// the station file writes them.
const std::vector<StationField>& AllFields();
const StationField& Field(FieldId id);
// The field read under `key` ("PS", "RTUSAB", "PORT"), or null.
const StationField* FindField(std::string_view key);

// The fields of one scope: the station's, the program options, the settings.
const FieldSet& FieldsOf(FieldScope scope);

// Calls `visit` with each station field, in the station file's order.
template <typename Visit>
void ForEachStationField(Visit visit) {
    for (const StationField& field : AllFields()) {
        if (field.scope == FieldScope::Station) {
            visit(field);
        }
    }
}

// --- readings and written forms, from the type alone ---------------------------

// Four hexadecimal digits as the PI's number; anything else is no PI.
std::optional<int> PiNumber(std::string_view text);

// How a station file reads a value: a bad number gives the field's fallback,
// a long text is cut, a flag is on only for "1". Never fails.
FieldValue ReadLenient(const FieldType& type, std::string_view text);

// How a command's text is read: a value the field cannot hold as it stands
// is refused, with the reason (for the field under `key`).
struct StrictReading {
    std::optional<FieldValue> value;
    std::string refusal;  // when there is no value
    RefusalCode code = RefusalCode::Malformed;
};
StrictReading ReadStrict(const StationField& field, std::string_view text, char decimalSeparator);

// A typed value as the field holds it (a frequency in tenths becomes its
// text), or the reason it cannot hold it.
StrictReading CheckFieldValue(const StationField& field, const FieldValue& value,
                              char decimalSeparator);

// The value as the station file writes it ("1", "D3C2", "0001", "87.6").
std::string FormatFieldValue(const FieldType& type, const FieldValue& value);
// The field's line as the station file writes it ("PS=FM RADIO"); the
// last-sent record shares these forms.
std::string FieldLine(const RdsParameterSet& set, const StationField& field);
// Whether a station file written of the set has the field's line.
bool WrittenInStationFile(const RdsParameterSet& set, const StationField& field);
std::string FieldLine(const RdsParameterSet& set, FieldId id);

// The values of every field, to tell later which of them changed.
std::vector<FieldValue> FieldValues(const RdsParameterSet& set);
FieldSet ChangedFields(const std::vector<FieldValue>& before, const RdsParameterSet& after);

}  // namespace vaxo
