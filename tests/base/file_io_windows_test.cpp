#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "base/temporary_names.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

FileError::Kind SaveFailure(const std::string& path) {
    try {
        SaveFile(path, "new");
    } catch (const FileError& error) {
        return error.kind();
    }
    return FileError::Kind::Other;
}

TEST(WindowsFiles, SavesReplaceWholeRemoveTheirLeftoversAndReadsAreBounded) {
    TempDir dir;
    const std::string station = dir / "station.rds";
    EXPECT_FALSE(ReadFileIfExists(station));
    SaveFile(station, "CLEAR\r\nPS=ONE\r\n");
    const std::string killedSave = dir / (TemporaryPrefix("station.rds") + "dead.tmp");
    const std::string otherFiles = dir / (TemporaryPrefix("other.rds") + "dead.tmp");
    WriteBytes(killedSave, "half");
    WriteBytes(otherFiles, "half");
    SaveFile(station, "CLEAR\r\n");
    EXPECT_EQ(ReadFileIfExists(station), "CLEAR\r\n") << "no CR LF translation, old bytes gone";
    EXPECT_FALSE(std::filesystem::exists(killedSave)) << "left by a save that was killed";
    EXPECT_TRUE(std::filesystem::exists(otherFiles)) << "another file's is not this save's";

    WriteBytes(dir / "big.rds", std::string(2048, 'x'));
    try {
        static_cast<void>(ReadFileIfExists(dir / "big.rds", 1024));
        ADD_FAILURE() << "a file over the limit was read";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::TooLarge);
    }
}

TEST(WindowsFiles, ReadOnlyFilesAndFoldersAreRefusedAndKept) {
    TempDir dir;
    const std::string locked = dir / "locked.rds";
    WriteBytes(locked, "old");
    ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(SaveFailure(locked), FileError::Kind::CannotCreate);
    ::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(locked), "old");

    std::filesystem::create_directory(dir / "folder.rds");
    EXPECT_EQ(SaveFailure(dir / "folder.rds"), FileError::Kind::CannotCreate);
    EXPECT_EQ(SaveFailure(dir / "missing\\station.rds"), FileError::Kind::CannotCreate);
    try {
        static_cast<void>(ReadFileIfExists(dir / "folder.rds"));
        ADD_FAILURE() << "a folder was read";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::CannotOpen);
    }
}

}  // namespace
}  // namespace vaxo
