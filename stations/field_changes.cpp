#include "stations/field_changes.h"

#include <algorithm>

#include "base/text_lines.h"
#include "encoding/field_encoders.h"

namespace vaxo {
namespace {

using V = std::string_view;

bool IsDigits(V value) {
    return !value.empty() &&
           std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool InRange(V value, int low, int high) {
    if (value.size() > 2 || !IsDigits(value)) {
        return false;
    }
    const int number = std::stoi(std::string(value));
    return number >= low && number <= high;
}

bool IsFlag(V value) {
    return value == "0" || value == "1";
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool HasControlCharacter(V value) {
    return std::any_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::optional<std::string> TextProblem(V key, V value, std::size_t limit) {
    if (value.size() > limit) {
        return std::string(key) + " holds at most " + std::to_string(limit) + " characters";
    }
    if (HasControlCharacter(value)) {
        return std::string(key) + " cannot hold control characters";
    }
    return std::nullopt;
}

std::optional<std::string> NumberProblem(V key, V value, int low, int high) {
    if (InRange(value, low, high)) {
        return std::nullopt;
    }
    return std::string(key) + " takes a number from " + std::to_string(low) + " to " +
           std::to_string(high);
}

std::optional<std::string> AfProblem(V key, V value, char separator) {
    if (auto problem = TextProblem(key, value, 5)) {
        return problem;
    }
    if (value.empty() || AfCode(std::string(value), separator) != 0) {
        return std::nullopt;
    }
    return std::string(key) + " takes a frequency from 87" + separator + "6 to 107" + separator +
           "9 MHz, or nothing";
}

bool IsFeedFileOrExit(V key) {
    return key == "RTSF" || key == "DPSSF" || key == "EXIT";
}

// The key and value of a station-file line: the first "=" at positions 2 to 9.
std::optional<std::pair<V, V>> SplitLine(V line) {
    const std::size_t equals = line.find('=');
    if (line.size() < 2 || equals == V::npos || equals < 1 || equals > 8) {
        return std::nullopt;
    }
    return std::pair{line.substr(0, equals), line.substr(equals + 1)};
}

FieldOutcome ApplyLine(RdsParameterSet& set, V line, const FieldPolicy& policy) {
    const auto split = SplitLine(line);
    if (!split) {
        // What the line began with, short enough to cost no allocation.
        return {std::string(line.substr(0, std::min<std::size_t>(line.find('='), 15))),
                FieldVerdict::UnknownKey, "not KEY=value"};
    }
    const auto [key, value] = *split;
    const StationField* field = FindStationField(key);
    if (!field) {
        return {std::string(key), FieldVerdict::UnknownKey,
                "no field has the key " + std::string(key)};
    }
    if (!policy.feedFilesAndExit && IsFeedFileOrExit(key)) {
        return {std::string(key), FieldVerdict::NotAllowed,
                std::string(key) + " is not settable from here"};
    }
    if (policy.strict) {
        if (auto problem = StrictValueProblem(*field, value, policy.decimalSeparator)) {
            return {std::string(key), FieldVerdict::InvalidValue, *problem};
        }
    }
    field->read(set, value);
    return {std::string(key)};
}

void TakeLine(RdsParameterSet& set, V line, const FieldPolicy& policy, bool answered,
              FieldChanges& changes) {
    FieldOutcome outcome = ApplyLine(set, line, policy);
    if (outcome.verdict == FieldVerdict::Accepted && outcome.key == "SEND" && set.SendPending) {
        changes.sendAsked = true;
    }
    if (answered) {
        changes.outcomes.push_back(std::move(outcome));
    }
}

}  // namespace

std::optional<std::string> StrictValueProblem(const StationField& field, std::string_view value,
                                              char decimalSeparator) {
    const V key = field.key;
    if (key == "PTY") {
        return NumberProblem(key, value, 0, 31);
    }
    if (key == "DPSP") {
        return NumberProblem(key, value, 7, 65);
    }
    if (key == "RTSAT") {
        return NumberProblem(key, value, 1, 30);
    }
    if (key == "SELRT") {
        return NumberProblem(key, value, 1, 4);
    }
    if (key == "PI") {
        if (value.size() == 4 && std::all_of(value.begin(), value.end(), IsHex)) {
            return std::nullopt;
        }
        return "PI takes four hexadecimal digits";
    }
    if (key == "DI") {
        if (value.size() == 4 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c == '0' || c == '1'; })) {
            return std::nullopt;
        }
        return "DI takes four digits 0 or 1 (dynamic PTY, compressed, artificial head, stereo)";
    }
    if (key == "STB") {
        if (value == "1" || value == "2" || value == "0") {
            return std::nullopt;
        }
        return "STB takes 1 (bank 1) or 2 (bank 2)";
    }
    if (key == "PS") {
        return TextProblem(key, value, 8);
    }
    if (key.starts_with("DPS") && key.size() == 4 && IsDigits(key.substr(3))) {
        return TextProblem(key, value, 8);
    }
    if (key == "RT" || key == "RT2" || key == "RT3" || key == "RT4") {
        return TextProblem(key, value, 64);
    }
    if (key.starts_with("AF")) {
        return AfProblem(key, value, decimalSeparator);
    }
    if (key == "EFCHAR") {
        return TextProblem(key, value, 1);
    }
    if (key == "RTSF" || key == "DPSSF") {
        return TextProblem(key, value, value.size());
    }
    if (IsFlag(value)) {
        return std::nullopt;
    }
    return std::string(key) + " takes 0 or 1";
}

std::vector<std::string> FieldValues(const RdsParameterSet& set) {
    std::vector<std::string> values;
    values.reserve(StationFields().size() + 1);
    for (const StationField& field : StationFields()) {
        values.push_back(field.value(set));
    }
    return values;
}

FieldKeys ChangedFields(const std::vector<std::string>& before, const RdsParameterSet& after) {
    FieldKeys changed;
    const auto& fields = StationFields();
    for (std::size_t i = 0; i < fields.size() && i < before.size(); ++i) {
        if (fields[i].value(after) != before[i]) {
            changed.emplace_back(fields[i].key);
        }
    }
    return changed;
}

FieldChanges ApplyFieldLines(RdsParameterSet& set, std::string_view text, const FieldPolicy& policy,
                             bool answered) {
    FieldChanges changes;
    const auto before = FieldValues(set);
    ForEachLine(text, [&](V line) {
        if (!line.empty()) {
            TakeLine(set, line, policy, answered, changes);
        }
        return true;
    });
    changes.changed = ChangedFields(before, set);
    return changes;
}

}  // namespace vaxo
