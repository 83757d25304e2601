#include "stations/station_file.h"

#include <vector>

#include "base/file_io.h"
#include "base/product.h"
#include "base/text_lines.h"

namespace vaxo {
namespace {

constexpr std::size_t kResetLineLimit = 128;

}  // namespace

std::string StationFileText(const RdsParameterSet& set) {
    std::vector<std::string> lines{"CLEAR"};
    ForEachStationField([&](const StationField& field) {
        if (WrittenInStationFile(set, field)) {
            lines.push_back(FieldLine(set, field));
        }
    });
    lines.push_back(std::string("GEN=") + kProductName);
    return JoinLinesCrLf(lines);
}

StationChange ApplyStationText(RdsParameterSet& set, std::string_view text, char decimalSeparator) {
    std::string_view first;
    ForEachLine(text, [&](std::string_view line) {
        first = line;
        return false;
    });
    const auto before = FieldValues(set);
    const bool clear = first == "CLEAR" && CountLines(text, kResetLineLimit) < kResetLineLimit;
    if (clear) {
        set.ResetStation();
    }
    set.serverTexts.clear();  // a file's texts are the station's own
    StationChange change = ApplyStationLines(set, text, decimalSeparator);
    change.changed = ChangedFields(before, set);
    change.cleared = clear;
    if (clear && !change.sendAfterLoad) {
        change.sendAfterLoad = false;
    }
    return change;
}

std::uint64_t SaveStationFile(const RdsParameterSet& set, const std::string& path,
                              FileLinks links) {
    const std::string text = StationFileText(set);
    SaveFile(path, text, links);
    return ContentFingerprint(text);
}

StationLoad LoadStationFile(RdsParameterSet& set, const std::string& path, char decimalSeparator,
                            FileLinks links) {
    const auto text = ReadFileIfExists(path, kSmallFileLimit, links);
    if (!text) {
        return {};
    }
    return {ApplyStationText(set, *text, decimalSeparator), ContentFingerprint(*text)};
}

}  // namespace vaxo
