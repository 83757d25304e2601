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

struct Read {
    RdsParameterSet options;
    RunMemory run;
};

Read Applied(const std::vector<std::string>& lines) {
    Read read;
    ApplySettingsText(read.options, read.run, JoinLinesCrLf(lines));
    return read;
}

TEST(SettingsFile, FirstExitWritesUntitledThreeEmptyTextsFiveZerosAndEmptyRecords) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    RdsParameterSet set;
    RunMemory run;
    run.stationFile = "untitled.rds";
    SaveSettingsFile(set, run, folder);
    EXPECT_EQ(ReadBytes(dir / "vaxow.dat"), JoinLinesCrLf(FirstExitLines()));

    RdsParameterSet next;
    const RunMemory read = LoadSettingsFile(next, folder);
    EXPECT_EQ(read.stationFile, "untitled.rds");
    EXPECT_EQ(SettingsLines(next, read), SettingsLines(set, run)) << "reading gives the same";
}

TEST(SettingsFile, OptionsActOnlyOnAnExactOne) {
    auto lines = FirstExitLines();
    lines[4] = "1";
    lines[5] = "1";
    lines[6] = " 1";
    lines[7] = "true";
    lines[8] = "1";
    const RdsParameterSet set = Applied(lines).options;
    EXPECT_TRUE(set.ALONTOP);
    EXPECT_EQ(set.PORT, 1);
    EXPECT_FALSE(set.AUTOSAVE);
    EXPECT_FALSE(set.HIPRI);
    EXPECT_TRUE(set.AUTBSW);
    EXPECT_TRUE(set.BothBanksDefault);

    lines[5] = "2";
    EXPECT_EQ(Applied(lines).options.PORT, 0) << "2 leaves the port at LPT1";
}

TEST(SettingsFile, TextsAndBothRecordsComeBackExactly) {
    RdsParameterSet set;
    RunMemory run;
    run.stationFile = " spaced name .rds";
    run.lastSentRT = "  radiotext  ";
    run.feeds = {"file rt", "#RADIO##"};
    set.PORT = 1;
    set.AUTOSAVE = true;
    for (std::size_t line = 0; line < kLastSentLines; ++line) {
        run.lastSent[0][line] = "one" + std::to_string(line);
        run.lastSent[1][line] = "two" + std::to_string(line);
    }
    const auto lines = SettingsLines(set, run);
    ASSERT_EQ(lines.size(), kSettingsLines);
    EXPECT_EQ(lines[9], "one0");
    EXPECT_EQ(lines[36], "one27");
    EXPECT_EQ(lines[37], "two0");
    EXPECT_EQ(lines[64], "two27");

    const Read back = Applied(lines);
    EXPECT_EQ(back.run.stationFile, " spaced name .rds");
    EXPECT_EQ(back.run.lastSentRT, "  radiotext  ");
    EXPECT_EQ(back.run.feeds.lastFileRT, "file rt");
    EXPECT_EQ(back.run.feeds.lastFileDPS, "#RADIO##");
    EXPECT_EQ(back.run.lastSent, run.lastSent);
    EXPECT_EQ(back.options.PORT, 1);
    EXPECT_TRUE(back.options.AUTOSAVE);
}

TEST(SettingsFile, ZeroBytesAndLineBreaksInsideATextCannotBreakTheLines) {
    RdsParameterSet set;
    set.AUTOSAVE = true;
    RunMemory run;
    run.feeds.lastFileRT = std::string("UTF-16\0t\0e\0x\0t", 14);
    run.feeds.lastFileDPS = "two\r\nlines";
    run.stationFile = "odd\nname.rds";
    const Read back = Applied(SettingsLines(set, run));
    EXPECT_TRUE(back.options.AUTOSAVE) << "still 65 lines";
    EXPECT_EQ(back.run.feeds.lastFileRT, "UTF-16 t e x t");
    EXPECT_EQ(back.run.feeds.lastFileDPS, "two  lines");
    EXPECT_EQ(back.run.stationFile, "odd name.rds");
}

TEST(SettingsFile, AnyOtherLineCountLosesEverySetting) {
    for (std::size_t count : {0u, 64u, 66u}) {
        auto lines = FirstExitLines();
        lines[0] = "rock.rds";
        lines[4] = "1";
        lines[10] = "PS=ROCK";
        lines.resize(count);
        RdsParameterSet set;
        RunMemory run;
        run.stationFile = "before.rds";
        ApplySettingsText(set, run, JoinLinesCrLf(lines));
        EXPECT_EQ(run.stationFile, "") << count;
        EXPECT_FALSE(set.ALONTOP) << count;
        EXPECT_EQ(run.lastSent[0][1], "") << count;
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
        RunMemory run;
        ApplySettingsText(set, run, text);
        EXPECT_TRUE(set.ALONTOP);
    }
}

TEST(SettingsFile, AMissingFileRemembersNoStationAndAFolderCannotBeOpened) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    RdsParameterSet set;
    EXPECT_EQ(LoadSettingsFile(set, folder).stationFile, "");

    std::filesystem::create_directory(dir / "vaxow.dat");
    EXPECT_THROW(LoadSettingsFile(set, folder), FileError);
    EXPECT_THROW(SaveSettingsFile(set, {}, folder), FileError);
}

TEST(SettingsFile, AFileOverTheLimitIsTakenAsOneOfTheWrongLength) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    RdsParameterSet set;
    std::vector<std::string> lines = FirstExitLines();
    lines[0] = std::string(kSmallFileLimit - 200, 'x');
    lines[6] = "1";
    WriteBytes(dir / "vaxow.dat", JoinLinesCrLf(lines));
    static_cast<void>(LoadSettingsFile(set, folder));
    EXPECT_TRUE(set.AUTOSAVE) << "just under the limit: read";
    lines[0] += std::string(300, 'x');
    WriteBytes(dir / "vaxow.dat", JoinLinesCrLf(lines));
    RdsParameterSet over;
    EXPECT_EQ(LoadSettingsFile(over, folder).stationFile, "");
    EXPECT_FALSE(over.AUTOSAVE) << "just over: not read";
}

}  // namespace
}  // namespace vaxo
