#include "app/settings_file.h"

#include <filesystem>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "record/field_schema.h"

namespace vaxo {
namespace {

constexpr const char* kUntitled = "untitled.rds";
constexpr std::size_t kFirstOptionLine = 4;  // zero-based index of line 5
constexpr std::size_t kFirstRecordLine = 9;
// Lines 5 to 9: the options, as the station file writes and reads a field.
constexpr FieldId kOptionLines[] = {FieldId::ALONTOP, FieldId::PORT, FieldId::AUTOSAVE,
                                    FieldId::HIPRI, FieldId::MBS};

}  // namespace

std::vector<std::string> SettingsLines(const RdsParameterSet& set) {
    std::vector<std::string> lines{set.RememberedFile, set.LastSentRT, set.LastFileRT,
                                   set.LastFileDPS};
    for (const FieldId id : kOptionLines) {
        const StationField& field = Field(id);
        lines.push_back(FormatFieldValue(field.type, field.get(set)));
    }
    for (const auto& record : set.LastSent) {
        lines.insert(lines.end(), record.begin(), record.end());
    }
    return lines;
}

void ApplySettingsText(RdsParameterSet& set, std::string_view text) {
    if (CountLines(text, kSettingsLines + 1) != kSettingsLines) {
        set.StationFileName = kUntitled;
        return;
    }
    const std::vector<std::string> lines = SplitLines(text);
    set.StationFileName = lines[0].empty() ? kUntitled : lines[0];
    set.LastSentRT = lines[1];
    set.LastFileRT = lines[2];
    set.LastFileDPS = lines[3];
    // A line acts only when it reads otherwise than an empty one ("1"):
    // anything else leaves the option as it is.
    for (std::size_t i = 0; i < std::size(kOptionLines); ++i) {
        const StationField& field = Field(kOptionLines[i]);
        const FieldValue value = ReadLenient(field.type, lines[kFirstOptionLine + i]);
        if (value != ReadLenient(field.type, "")) {
            field.put(set, value);
            set.BothBanksDefault = set.BothBanksDefault || field.id == FieldId::MBS;
        }
    }
    for (std::size_t bank = 0; bank < set.LastSent.size(); ++bank) {
        for (std::size_t line = 0; line < kLastSentLines; ++line) {
            set.LastSent[bank][line] = lines[kFirstRecordLine + bank * kLastSentLines + line];
        }
    }
}

void LoadSettingsFile(RdsParameterSet& set) {
    std::optional<std::string> text;
    try {
        text = ReadFileIfExists(set.ProgramDir + kSettingsFileName);
    } catch (const FileError& error) {
        if (error.kind() != FileError::Kind::TooLarge) {
            throw;
        }
        text = "";  // no settings file is that long: as any file of the wrong length
    }
    if (!text) {
        set.StationFileName = kUntitled;
        return;
    }
    ApplySettingsText(set, *text);
}

void SaveSettingsFile(const RdsParameterSet& set) {
    SaveFile(set.ProgramDir + kSettingsFileName, JoinLinesCrLf(SettingsLines(set)));
}

}  // namespace vaxo
