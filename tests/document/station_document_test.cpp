// The station's file: its name, what is unsaved, a file changed by another
// hand, names from outside the machine.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/local_time.h"
#include "document/station_document.h"
#include "stations/station_file.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

LocalTime StampAt(const char* text) {
    return *ParseLocalTime(text);
}

TEST(StationDocument, AFileThatCannotBeReadKeepsItsNameAndIsLeftAloneAtTheEnd) {
    TempDir dir;
    StationDocument document;
    RdsParameterSet set;
    EXPECT_EQ(document.Name(), "untitled.rds");
    EXPECT_THROW(static_cast<void>(document.Load(set, dir.path().string(), false, '.')), FileError);
    EXPECT_EQ(document.Name(), dir.path().string());
    EXPECT_TRUE(document.Unreadable());
    EXPECT_EQ(
        document.SaveAtEnd(set, ChangedStationChoice::Overwrite, StampAt("2026-12-08 12:00:00"))
            .what,
        StationDocument::AutoSaved::Unreadable);

    const std::string station = dir / "station.rds";
    WriteBytes(station, "CLEAR\r\nPS=READ\r\nSEND=1\r\n");
    const StationChange change = document.Load(set, station, false, '.');
    EXPECT_FALSE(document.Unreadable());
    EXPECT_TRUE(change.cleared);
    EXPECT_EQ(change.sendAfterLoad, true);
    EXPECT_EQ(document.Remembered(), station) << "a whole station is the next start's";
    EXPECT_FALSE(document.HasUnsavedChanges(set));
    set.PS = "CHANGED";
    EXPECT_TRUE(document.HasUnsavedChanges(set));
}

// Auto Save never writes over what another hand wrote unasked.
TEST(StationDocument, AFileChangedOnDiskIsSavedBesideOverwrittenOrLeftAsAsked) {
    TempDir dir;
    const std::string station = dir / "rock.rds";
    WriteBytes(station, "CLEAR\r\nPS=ROCK\r\n");
    StationDocument document;
    RdsParameterSet set;
    static_cast<void>(document.Load(set, station, false, '.'));
    EXPECT_FALSE(document.ChangedOnDisk());
    WriteBytes(station, "CLEAR\r\nPS=OTHER\r\n");
    EXPECT_TRUE(document.ChangedOnDisk());

    const auto beside =
        document.SaveAtEnd(set, ChangedStationChoice::SaveBeside, StampAt("2026-12-08 14:32:10"));
    EXPECT_EQ(beside.what, StationDocument::AutoSaved::WroteBeside);
    EXPECT_EQ(beside.beside, dir / "rock.autosave-20261208-143210.rds");
    EXPECT_EQ(ReadBytes(beside.beside), StationFileText(set));
    EXPECT_EQ(ReadBytes(station), "CLEAR\r\nPS=OTHER\r\n");
    EXPECT_EQ(document.SaveAtEnd(set, ChangedStationChoice::LeaveAlone, {}).what,
              StationDocument::AutoSaved::LeftAlone);
    EXPECT_EQ(document.SaveAtEnd(set, ChangedStationChoice::Overwrite, {}).what,
              StationDocument::AutoSaved::Saved);
    EXPECT_EQ(ReadBytes(station), StationFileText(set));
    EXPECT_FALSE(document.ChangedOnDisk());
}

TEST(StationDocument, ASaveAsThatFailsKeepsTheNameAndANameFromOutsideFollowsNoLink) {
    TempDir dir;
    StationDocument document;
    RdsParameterSet set;
    document.TakeRemembered("");
    EXPECT_THROW(document.SaveAs(set, dir / "no-folder/new.rds", false), FileError);
    EXPECT_EQ(document.Name(), "untitled.rds");

#ifndef _WIN32
    const std::string target = dir / "target.rds";
    WriteBytes(target, "CLEAR\r\nPS=SECRET\r\n");
    std::filesystem::create_symlink(target, dir / "planted.rds");
    EXPECT_THROW(static_cast<void>(document.Load(set, dir / "planted.rds", true, '.')), FileError);
    EXPECT_NE(set.PS, "SECRET");
    EXPECT_TRUE(document.NamedFromOutside());
    static_cast<void>(document.Load(set, dir / "planted.rds", false, '.'));
    EXPECT_EQ(set.PS, "SECRET") << "the operator's own choice follows links";
#endif
}

}  // namespace
}  // namespace vaxo
