#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/file_io.h"
#include "base/temporary_names.h"
#include "base/text_lines.h"
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
        static_cast<void>(ReadFileIfExists(dir.path().string()));
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

TEST(SaveFile, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    TempDir dir;
    const std::string path = dir / "station.rds";
    WriteBytes(path, "old contents that are longer");
    ::chmod(path.c_str(), 0640);
    SaveFile(path, "new");
    EXPECT_EQ(ReadBytes(path), "new");
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "permissions of the replaced file are kept";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SaveFile, WritesThroughASymbolicLink) {
    TempDir dir;
    WriteBytes(dir / "real.rds", "old");
    std::filesystem::create_symlink(dir / "real.rds", dir / "link.rds");
    SaveFile(dir / "link.rds", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.rds"));
    EXPECT_EQ(ReadBytes(dir / "real.rds"), "new");
}

// A link planted in the working folder leads a confined read or save
// nowhere: the file it points at is neither read nor written, and a link
// put in the file's place is replaced, never written through.
TEST(SaveFile, ConfinedNeverReachesThroughALink) {
    TempDir dir;
    TempDir elsewhere;
    WriteBytes(elsewhere / "bashrc", "precious");
    std::filesystem::create_symlink(elsewhere / "bashrc", dir / "planted.rds");
    std::filesystem::create_hard_link(elsewhere / "bashrc", dir / "hard.rds");
    for (const char* name : {"planted.rds", "hard.rds"}) {
        EXPECT_THROW(
            static_cast<void>(ReadFileIfExists(dir / name, kSmallFileLimit, FileLinks::Confined)),
            FileError)
            << name;
        EXPECT_THROW(SaveFile(dir / name, "overwritten", FileLinks::Confined), FileError) << name;
    }
    EXPECT_EQ(ReadBytes(elsewhere / "bashrc"), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "planted.rds")) << "nothing is lost either";

    WriteBytes(dir / "plain.rds", "old");
    SaveFile(dir / "plain.rds", "new", FileLinks::Confined);
    EXPECT_EQ(ReadFileIfExists(dir / "plain.rds", kSmallFileLimit, FileLinks::Confined), "new");
    SaveFile(dir / "fresh.rds", "made", FileLinks::Confined);
    EXPECT_EQ(ReadBytes(dir / "fresh.rds"), "made");
}

TEST(SaveFile, MissingFolderCannotBeCreated) {
    TempDir dir;
    const std::string path = dir / "no-such-folder/station.rds";
    try {
        SaveFile(path, "x");
        FAIL() << "expected an error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + path);
    }
}

// The disk runs full in the middle of a save: the write of the temporary
// file fails, and the station file must stay byte-identical.
TEST(SaveFile, FailedWriteKeepsTheOldFileIntact) {
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
        SaveFile(path, std::string(1000, 'n'));
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

std::size_t Entries(const TempDir& dir) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

TEST(SaveFile, KeepsWhatTheFileWasOwnerGroupModeAndHardLinks) {
    TempDir dir;
    const std::string path = dir / "shared.rds";
    WriteBytes(path, "old");
    ::chmod(path.c_str(), 0664);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4321), 0);
    }
    SaveFile(path, "new");
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4321u) << "the next colleague can still save it";
    }

    std::filesystem::create_hard_link(path, dir / "other-name.rds");
    SaveFile(path, "linked");
    EXPECT_EQ(ReadBytes(dir / "other-name.rds"), "linked") << "hard links stay linked";
}

TEST(SaveFile, RefusesWhatIsNoRegularFileAndWhatMayNotBeWritten) {
    TempDir dir;
    const std::string readOnly = dir / "read-only.rds";
    WriteBytes(readOnly, "keep");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_THROW(SaveFile(readOnly, "x"), FileError) << "also for root";
    EXPECT_EQ(ReadBytes(readOnly), "keep");

    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "pipe", dir / "vaxow.dat");
    try {
        SaveFile(dir / "vaxow.dat", "settings");
        FAIL() << "a save through a link onto a pipe";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + dir / "vaxow.dat");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe")) << "nothing written, nothing replaced";
    EXPECT_EQ(Entries(dir), 3u) << "no temporary file left";
}

TEST(SaveFile, AnyLoadableNameCanBeSavedAndLeftoversOfAKilledSaveGo) {
    TempDir dir;
    const std::string longest = dir / (std::string(251, 'n') + ".rds");
    SaveFile(longest, "255 bytes of name");
    EXPECT_EQ(ReadBytes(longest), "255 bytes of name");

    const std::string path = dir / "station.rds";
    WriteBytes(path, "old");
    const pid_t child = ::fork();
    if (child == 0) {  // killed by the file size limit half-way through its save
        struct rlimit small {
            100, 100
        };
        ::setrlimit(RLIMIT_FSIZE, &small);
        SaveFile(path, std::string(1000, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Entries(dir), 3u) << "its temporary file is left";
    EXPECT_EQ(ReadBytes(path), "old");
    SaveFile(path, "new");
    EXPECT_EQ(Entries(dir), 2u) << "and removed by the next save";
    EXPECT_EQ(ReadBytes(path), "new");
}

// A pipe where a leftover would be is no save's: it goes without being
// opened, which would wait for a writer for ever.
TEST(SaveFile, APipeNamedLikeALeftoverNeitherHangsTheSaveNorStays) {
    TempDir dir;
    const std::string path = dir / "station.rds";
    const std::string pipe = dir / (TemporaryPrefix("station.rds") + "0badf00d" + kTemporarySuffix);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(5);  // a save that hangs ends here, and the test fails
        SaveFile(path, "saved");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the save hung on the pipe";
    EXPECT_EQ(ReadBytes(path), "saved");
    EXPECT_FALSE(std::filesystem::exists(pipe));
}

TEST(ReadFileIfExists, RefusesAFileLongerThanItsLimitWithoutReadingIt) {
    TempDir dir;
    WriteBytes(dir / "just.rds", std::string(kSmallFileLimit, 'a'));
    EXPECT_EQ(ReadFileIfExists(dir / "just.rds")->size(), kSmallFileLimit);
    WriteBytes(dir / "over.rds", std::string(kSmallFileLimit + 1, 'a'));
    try {
        static_cast<void>(ReadFileIfExists(dir / "over.rds"));
        FAIL();
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::TooLarge);
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + dir / "over.rds");
    }
}

}  // namespace
}  // namespace vaxo
