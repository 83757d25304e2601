#include <gtest/gtest.h>

#include "app/settings_file.h"
#include "base/file_io.h"
#include "base/text_lines.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> FirstExitLines() {
    std::vector<std::string> lines{"untitled.rds", "", "", "", "0", "0", "0", "0", "0"};
    lines.resize(kSettingsLines);
    return lines;
}

RdsParameterSet Applied(const std::vector<std::string>& lines) {
    RdsParameterSet set;
    ApplySettingsText(set, JoinLinesCrLf(lines));
    return set;
}

TEST(SettingsFile, FirstExitWritesUntitledThreeEmptyTextsFiveZerosAndEmptyRecords) {
    TempDir dir;
    RdsParameterSet set;
    set.ProgramDir = dir.path().string() + "/";
    set.RememberedFile = "untitled.rds";
    SaveSettingsFile(set);
    EXPECT_EQ(ReadBytes(dir / "vaxow.dat"), JoinLinesCrLf(FirstExitLines()));

    RdsParameterSet next;
    next.ProgramDir = set.ProgramDir;
    LoadSettingsFile(next);
    EXPECT_EQ(next.StationFileName, "untitled.rds");
    next.RememberedFile = next.StationFileName;  // as the end of start-up does
    EXPECT_EQ(SettingsLines(next), SettingsLines(set)) << "reading it gives the same state";
}

TEST(SettingsFile, LineOneIsReadIntoTheStationFileButWrittenFromTheRememberedOne) {
    auto lines = FirstExitLines();
    lines[0] = "C:\\stations\\rock.rds";
    RdsParameterSet set = Applied(lines);
    EXPECT_EQ(set.StationFileName, "C:\\stations\\rock.rds");
    EXPECT_EQ(set.RememberedFile, "");
    set.RememberedFile = "remembered.rds";
    set.StationFileName = "open-now.rds";
    EXPECT_EQ(SettingsLines(set)[0], "remembered.rds");

    lines[0] = "";
    EXPECT_EQ(Applied(lines).StationFileName, "untitled.rds");
}

TEST(SettingsFile, OptionsActOnlyOnAnExactOne) {
    auto lines = FirstExitLines();
    lines[4] = "1";
    lines[5] = "1";
    lines[6] = " 1";
    lines[7] = "true";
    lines[8] = "1";
    const RdsParameterSet set = Applied(lines);
    EXPECT_TRUE(set.ALONTOP);
    EXPECT_EQ(set.PORT, 1);
    EXPECT_FALSE(set.AUTOSAVE);
    EXPECT_FALSE(set.HIPRI);
    EXPECT_TRUE(set.AUTBSW);
    EXPECT_TRUE(set.BothBanksDefault);

    lines[5] = "2";
    EXPECT_EQ(Applied(lines).PORT, 0) << "2 leaves the port at LPT1";
}

TEST(SettingsFile, TextsAndBothRecordsComeBackExactly) {
    RdsParameterSet set;
    set.RememberedFile = " spaced name .rds";
    set.LastSentRT = "  radiotext  ";
    set.LastFileRT = "file rt";
    set.LastFileDPS = "#RADIO##";
    set.PORT = 1;
    set.AUTOSAVE = true;
    for (std::size_t line = 0; line < kLastSentLines; ++line) {
        set.LastSent[0][line] = "one" + std::to_string(line);
        set.LastSent[1][line] = "two" + std::to_string(line);
    }
    const auto lines = SettingsLines(set);
    ASSERT_EQ(lines.size(), kSettingsLines);
    EXPECT_EQ(lines[9], "one0");
    EXPECT_EQ(lines[36], "one27");
    EXPECT_EQ(lines[37], "two0");
    EXPECT_EQ(lines[64], "two27");

    const RdsParameterSet back = Applied(lines);
    EXPECT_EQ(back.StationFileName, " spaced name .rds");
    EXPECT_EQ(back.LastSentRT, "  radiotext  ");
    EXPECT_EQ(back.LastFileRT, "file rt");
    EXPECT_EQ(back.LastFileDPS, "#RADIO##");
    EXPECT_EQ(back.LastSent, set.LastSent);
    EXPECT_EQ(back.PORT, 1);
    EXPECT_TRUE(back.AUTOSAVE);
}

TEST(SettingsFile, ZeroBytesAndLineBreaksInsideATextCannotBreakTheLines) {
    RdsParameterSet set;
    set.AUTOSAVE = true;
    set.LastFileRT = std::string("UTF-16\0t\0e\0x\0t", 14);
    set.LastFileDPS = "two\r\nlines";
    set.RememberedFile = "odd\nname.rds";
    const RdsParameterSet back = Applied(SettingsLines(set));
    EXPECT_TRUE(back.AUTOSAVE) << "still 65 lines";
    EXPECT_EQ(back.LastFileRT, "UTF-16 t e x t");
    EXPECT_EQ(back.LastFileDPS, "two  lines");
    EXPECT_EQ(back.StationFileName, "odd name.rds");
}

TEST(SettingsFile, AnyOtherLineCountLosesEverySetting) {
    for (std::size_t count : {0u, 64u, 66u}) {
        auto lines = FirstExitLines();
        lines[0] = "rock.rds";
        lines[4] = "1";
        lines[10] = "PS=ROCK";
        lines.resize(count);
        RdsParameterSet set;
        set.StationFileName = "before.rds";
        ApplySettingsText(set, JoinLinesCrLf(lines));
        EXPECT_EQ(set.StationFileName, "untitled.rds") << count;
        EXPECT_FALSE(set.ALONTOP) << count;
        EXPECT_EQ(set.LastSent[0][1], "") << count;
    }
}

TEST(SettingsFile, ReadsLinesEndedByCrOrLf) {
    for (const char* lineEnd : {"\r", "\n"}) {
        std::string text;
        for (std::size_t i = 0; i < kSettingsLines; ++i) {
            text += i == 4 ? "1" : "";
            text += lineEnd;
        }
        RdsParameterSet set;
        ApplySettingsText(set, text);
        EXPECT_TRUE(set.ALONTOP);
    }
}

TEST(SettingsFile, MissingFileGivesUntitledAndAFolderCannotBeOpened) {
    TempDir dir;
    RdsParameterSet set;
    set.ProgramDir = dir.path().string() + "/";
    set.StationFileName = "before.rds";
    LoadSettingsFile(set);
    EXPECT_EQ(set.StationFileName, "untitled.rds");

    std::filesystem::create_directory(dir / "vaxow.dat");
    EXPECT_THROW(LoadSettingsFile(set), FileError);
    EXPECT_THROW(SaveSettingsFile(set), FileError);
}

TEST(SettingsFile, AFileOverTheLimitIsTakenAsOneOfTheWrongLength) {
    TempDir dir;
    RdsParameterSet set;
    set.ProgramDir = dir.path().string() + "/";
    std::vector<std::string> lines = FirstExitLines();
    lines[0] = std::string(kSmallFileLimit - 200, 'x');
    lines[6] = "1";
    WriteBytes(dir / "vaxow.dat", JoinLinesCrLf(lines));
    LoadSettingsFile(set);
    EXPECT_TRUE(set.AUTOSAVE) << "just under the limit: read";
    lines[0] += std::string(300, 'x');
    WriteBytes(dir / "vaxow.dat", JoinLinesCrLf(lines));
    RdsParameterSet over;
    over.ProgramDir = set.ProgramDir;
    LoadSettingsFile(over);
    EXPECT_FALSE(over.AUTOSAVE) << "just over: not read";
    EXPECT_EQ(over.StationFileName, "untitled.rds");
}

}  // namespace
}  // namespace vaxo
