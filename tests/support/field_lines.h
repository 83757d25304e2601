#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "app/control_program.h"
#include "base/text_lines.h"

namespace vaxo::test {

// "KEY=value" lines as typed values, each read strictly through the schema,
// as a front end reads what it is given.
inline std::vector<FieldAssignment> Assignments(std::string_view lines, char separator = '.') {
    std::vector<FieldAssignment> values;
    ForEachLine(lines, [&](std::string_view line) {
        const std::size_t equals = line.find('=');
        const StationField* field = FindField(line.substr(0, equals));
        const StrictReading reading =
            field ? ReadStrict(*field, line.substr(equals + 1), separator) : StrictReading{};
        if (!reading.value) {
            ADD_FAILURE() << "not a value the schema takes: " << line;
        } else {
            values.push_back({field->id, *reading.value});
        }
        return true;
    });
    return values;
}

// A change of the fields the lines name, as one command.
inline CommandOutcome Change(ControlProgram& program, std::string_view lines,
                             Origin origin = {Origin::Kind::Window}) {
    return program.Execute({std::move(origin),
                            SetFields{Assignments(lines, program.View().DecimalSeparator())},
                            std::string(lines)});
}

inline CommandOutcome Do(ControlProgram& program, CommandAction action,
                         Origin origin = {Origin::Kind::Window}) {
    return program.Execute({std::move(origin), std::move(action)});
}

}  // namespace vaxo::test
