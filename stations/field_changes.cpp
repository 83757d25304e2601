#include "stations/field_changes.h"

#include <optional>
#include <utility>

#include "base/text_lines.h"
#include "encoding/field_encoders.h"

namespace vaxo {
namespace {

using V = std::string_view;

// The station field of a station-file line: the first "=" at positions 2 to 9.
std::optional<std::pair<const StationField*, V>> SplitLine(V line) {
    const std::size_t equals = line.find('=');
    if (line.size() < 2 || equals == V::npos || equals < 1 || equals > 8) {
        return std::nullopt;
    }
    const StationField* field = FindField(line.substr(0, equals));
    if (!field || field->scope != FieldScope::Station) {
        return std::nullopt;
    }
    return std::pair{field, line.substr(equals + 1)};
}

}  // namespace

void TidyStation(RdsParameterSet& set, char decimalSeparator) {
    set.PI = CheckPI(set.PI.str());
    set.AF = CompactAF(set.AF, decimalSeparator);
}

AppliedValues ApplyFieldValues(RdsParameterSet& set, const std::vector<FieldAssignment>& values,
                               char decimalSeparator) {
    AppliedValues applied;
    std::vector<std::pair<const StationField*, FieldValue>> checked;
    for (const FieldAssignment& assignment : values) {
        const StationField& field = Field(assignment.field);
        StrictReading reading = CheckFieldValue(field, assignment.value, decimalSeparator);
        applied.outcomes.push_back({assignment.field, reading.refusal, reading.code});
        if (reading.value) {
            checked.emplace_back(&field, std::move(*reading.value));
        } else {
            applied.refused = true;
        }
    }
    if (applied.refused) {
        return applied;
    }
    const auto before = FieldValues(set);
    for (const auto& [field, value] : checked) {
        field->put(set, value);
        set.serverTexts.erase(field->id);
    }
    TidyStation(set, decimalSeparator);
    applied.changed = ChangedFields(before, set);
    return applied;
}

StationChange ApplyStationLines(RdsParameterSet& set, std::string_view text,
                                char decimalSeparator) {
    StationChange change;
    const auto before = FieldValues(set);
    ForEachLine(text, [&](V line) {
        if (const auto split = SplitLine(line)) {
            const auto [field, value] = *split;
            field->put(set, ReadLenient(field->type, value));
            if (field->id == FieldId::SEND) {
                change.sendAfterLoad = set.SEND;
            }
        }
        return true;
    });
    TidyStation(set, decimalSeparator);
    change.changed = ChangedFields(before, set);
    return change;
}

std::size_t CountStationLines(std::string_view text) {
    std::size_t count = 0;
    ForEachLine(text, [&](V line) {
        count += SplitLine(line) ? 1 : 0;
        return true;
    });
    return count;
}

}  // namespace vaxo
