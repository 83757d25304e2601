#include "app/options_file.h"

#include "base/file_io.h"
#include "base/text_lines.h"
#include "record/field_schema.h"

namespace vaxo {
namespace {

constexpr std::size_t kOptionsFileLimit = 64 * 1024;

}  // namespace

std::string OptionsText(const RdsParameterSet& set) {
    std::vector<std::string> lines;
    for (const StationField& field : AllFields()) {
        if (field.scope == FieldScope::Setting) {
            lines.push_back(FieldLine(set, field));
        }
    }
    return JoinLinesCrLf(lines);
}

void ApplyOptionsText(RdsParameterSet& set, std::string_view text) {
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t equals = line.find('=');
        const StationField* field =
            equals == std::string_view::npos ? nullptr : FindField(line.substr(0, equals));
        if (field && field->scope == FieldScope::Setting) {
            field->put(set, ReadLenient(field->type, line.substr(equals + 1)));
        }
        return true;
    });
}

void LoadOptionsFile(RdsParameterSet& set, const std::string& folder) {
    if (const auto text = ReadOwnFile(folder + kOptionsFileName, kOptionsFileLimit)) {
        ApplyOptionsText(set, *text);
    }
}

void SaveOptionsFile(const RdsParameterSet& set, const std::string& folder) {
    SaveOwnFile(folder + kOptionsFileName, OptionsText(set));
}

}  // namespace vaxo
