#include "app/settings_file.h"

#include <filesystem>

#include "base/file_io.h"
#include "base/text_lines.h"

namespace vaxo {
namespace {

constexpr const char* kUntitled = "untitled.rds";
constexpr std::size_t kFirstRecordLine = 9;  // zero-based index of line 10

const char* Flag(bool on) {
    return on ? "1" : "0";
}

}  // namespace

std::vector<std::string> SettingsLines(const RdsParameterSet& set) {
    std::vector<std::string> lines{
        set.RememberedFile, set.LastSentRT,    set.LastFileRT,
        set.LastFileDPS,    Flag(set.ALONTOP), Flag(set.PORT == 1),
        Flag(set.AUTOSAVE), Flag(set.HIPRI),   Flag(set.AUTBSW),
    };
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
    if (lines[4] == "1") {
        set.ALONTOP = true;
    }
    if (lines[5] == "1") {
        set.PORT = 1;
    }
    if (lines[6] == "1") {
        set.AUTOSAVE = true;
    }
    if (lines[7] == "1") {
        set.HIPRI = true;
    }
    if (lines[8] == "1") {
        set.AUTBSW = true;
        set.BothBanksDefault = true;
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
