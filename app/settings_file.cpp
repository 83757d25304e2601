#include "app/settings_file.h"

#include <filesystem>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "record/field_schema.h"

namespace vaxo {
namespace {

constexpr std::size_t kFirstOptionLine = 4;  // zero-based index of line 5
constexpr std::size_t kFirstRecordLine = 9;
// Lines 5 to 9: the options, as the station file writes and reads a field.
constexpr FieldId kOptionLines[] = {FieldId::ALONTOP, FieldId::PORT, FieldId::AUTOSAVE,
                                    FieldId::HIPRI, FieldId::MBS};

}  // namespace

std::vector<std::string> SettingsLines(const RdsParameterSet& options, const RunMemory& run) {
    std::vector<std::string> lines{run.stationFile, run.lastSentRT, run.feeds.lastFileRT,
                                   run.feeds.lastFileDPS};
    for (const FieldId id : kOptionLines) {
        const StationField& field = Field(id);
        lines.push_back(FormatFieldValue(field.type, field.get(options)));
    }
    for (const auto& record : run.lastSent) {
        lines.insert(lines.end(), record.begin(), record.end());
    }
    return lines;
}

void ApplySettingsText(RdsParameterSet& options, RunMemory& run, std::string_view text) {
    if (CountLines(text, kSettingsLines + 1) != kSettingsLines) {
        run.stationFile.clear();
        return;
    }
    const std::vector<std::string> lines = SplitLines(text);
    run.stationFile = lines[0];
    run.lastSentRT = lines[1];
    run.feeds.lastFileRT = lines[2];
    run.feeds.lastFileDPS = lines[3];
    // A line acts only when it reads otherwise than an empty one ("1"):
    // anything else leaves the option as it is.
    for (std::size_t i = 0; i < std::size(kOptionLines); ++i) {
        const StationField& field = Field(kOptionLines[i]);
        const FieldValue value = ReadLenient(field.type, lines[kFirstOptionLine + i]);
        if (value != ReadLenient(field.type, "")) {
            field.put(options, value);
            options.BothBanksDefault = options.BothBanksDefault || field.id == FieldId::MBS;
        }
    }
    for (std::size_t bank = 0; bank < run.lastSent.size(); ++bank) {
        for (std::size_t line = 0; line < kLastSentLines; ++line) {
            run.lastSent[bank][line] = lines[kFirstRecordLine + bank * kLastSentLines + line];
        }
    }
}

RunMemory LoadSettingsFile(RdsParameterSet& options, const std::string& folder) {
    std::optional<std::string> text;
    try {
        text = ReadOwnFile(folder + kSettingsFileName);
    } catch (const FileError& error) {
        if (error.kind() != FileError::Kind::TooLarge) {
            throw;
        }
        text = "";  // no settings file is that long: as any file of the wrong length
    }
    RunMemory run;
    if (text) {
        ApplySettingsText(options, run, *text);
    }
    return run;
}

void SaveSettingsFile(const RdsParameterSet& options, const RunMemory& run,
                      const std::string& folder) {
    SaveOwnFile(folder + kSettingsFileName, JoinLinesCrLf(SettingsLines(options, run)));
}

}  // namespace vaxo
