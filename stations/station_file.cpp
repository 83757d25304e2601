#include "stations/station_file.h"

#include <vector>

#include "base/file_io.h"
#include "base/product.h"
#include "base/text_lines.h"
#include "record/station_fields.h"

namespace vaxo {
namespace {

constexpr std::size_t kResetLineLimit = 128;

void ApplyLine(RdsParameterSet& set, std::string_view line) {
    const std::size_t equals = line.find('=');
    if (line.size() < 2 || equals == std::string_view::npos || equals < 1 || equals > 8) {
        return;
    }
    if (const StationField* field = FindStationField(line.substr(0, equals))) {
        field->read(set, line.substr(equals + 1));
    }
}

}  // namespace

std::string StationFileText(const RdsParameterSet& set) {
    std::vector<std::string> lines{"CLEAR"};
    for (const StationField& field : StationFields()) {
        lines.push_back(StationFieldLine(set, field));
    }
    lines.push_back(std::string("GEN=") + kProductName);
    return JoinLinesCrLf(lines);
}

void ApplyStationText(RdsParameterSet& set, std::string_view text) {
    std::string_view first;
    ForEachLine(text, [&](std::string_view line) {
        first = line;
        return false;
    });
    if (first == "CLEAR" && CountLines(text, kResetLineLimit) < kResetLineLimit) {
        set.ResetStation();
        set.RememberedFile = set.StationFileName;
    }
    ForEachLine(text, [&](std::string_view line) {
        ApplyLine(set, line);
        return true;
    });
}

void SaveStationFile(const RdsParameterSet& set) {
    SaveFile(set.StationFileName, StationFileText(set));
}

void LoadStationFile(RdsParameterSet& set) {
    const auto text = ReadFileIfExists(set.StationFileName);
    if (!text) {
        return;
    }
    ApplyStationText(set, *text);
    set.NotifyChanged();
}

}  // namespace vaxo
