#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/file_io.h"
#include "app/text_lines.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;

TEST(SplitLines, EveryLineEndEndsALineAndAFinalOneAddsNoEmptyLine) {
    EXPECT_THAT(SplitLines("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(SplitLines("a\r\n"), ElementsAre("a"));
    EXPECT_THAT(SplitLines("a\r\n\r\n"), ElementsAre("a", ""));
    EXPECT_THAT(SplitLines("\n\r"), ElementsAre("", ""));
    EXPECT_THAT(SplitLines("a\n\rb"), ElementsAre("a", "", "b")) << "LF CR is two line ends";
    EXPECT_THAT(SplitLines(""), ElementsAre());
}

TEST(SplitLines, ZeroByteEndsTheText) {
    using namespace std::string_view_literals;
    EXPECT_THAT(SplitLines("ab\0cd\r\nef"sv), ElementsAre("ab"));
    EXPECT_THAT(SplitLines("\0abc"sv), ElementsAre());
}

TEST(JoinLinesCrLf, EndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLinesCrLf({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLinesCrLf({}), "");
}

TEST(ReadFileIfExists, DistinguishesMissingFromUnopenable) {
    TempDir dir;
    EXPECT_FALSE(ReadFileIfExists(dir / "missing.rds").has_value());
    EXPECT_FALSE(ReadFileIfExists(dir / "no-folder/x.rds").has_value());
    WriteBytes(dir / "a.rds", std::string("x\0y", 3));
    EXPECT_EQ(*ReadFileIfExists(dir / "a.rds"), std::string("x\0y", 3));
    try {
        ReadFileIfExists(dir.path().string());
        FAIL() << "a folder cannot be opened as a file";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + dir.path().string());
    }
}

TEST(ReadFileIfExists, PipesAndDevicesAreRefusedInsteadOfBlocking) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "rt.txt").c_str(), 0600), 0);
    EXPECT_THROW(ReadFileIfExists(dir / "rt.txt"), FileError) << "no writer: it would block";
    EXPECT_THROW(ReadFileIfExists("/dev/zero"), FileError) << "it would never end";
}

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    TempDir dir;
    const std::string path = dir / "station.rds";
    WriteBytes(path, "old contents that are longer");
    ::chmod(path.c_str(), 0640);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(ReadBytes(path), "new");
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "permissions of the replaced file are kept";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteFileAtomically, WritesThroughASymbolicLink) {
    TempDir dir;
    WriteBytes(dir / "real.rds", "old");
    std::filesystem::create_symlink(dir / "real.rds", dir / "link.rds");
    WriteFileAtomically(dir / "link.rds", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.rds"));
    EXPECT_EQ(ReadBytes(dir / "real.rds"), "new");
}

TEST(WriteFileAtomically, MissingFolderCannotBeCreated) {
    TempDir dir;
    const std::string path = dir / "no-such-folder/station.rds";
    try {
        WriteFileAtomically(path, "x");
        FAIL() << "expected an error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + path);
    }
}

// The disk runs full in the middle of a save: the write of the temporary
// file fails, and the station file must stay byte-identical.
TEST(WriteFileAtomically, FailedWriteKeepsTheOldFileIntact) {
    TempDir dir;
    const std::string path = dir / "station.rds";
    const std::string old(4000, 'o');
    WriteBytes(path, old);

    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        WriteFileAtomically(path, std::string(1000, 'n'));
    } catch (const FileError& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(message, "Stream write error");
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "the temporary file is removed";
}

}  // namespace
}  // namespace vaxo
