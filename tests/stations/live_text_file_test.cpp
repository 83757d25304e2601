#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "stations/live_text_file.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::TempDir;
using test::WriteBytes;
using Outcome = LiveTextRead::Outcome;

void SetModified(const std::string& path, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

LiveTextRead Read(const TempDir& dir, const std::string& name) {
    return ReadLiveTextFile(name, dir.path().string() + "/");
}

TEST(LiveTextFile, TakesTheLastNonEmptyLine) {
    TempDir dir;
    WriteBytes(dir / "rt.txt", "first\r\nsecond\r\n\r\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "second");
    WriteBytes(dir / "rt.txt", "first\nsecond\n   \n\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "   ") << "a line of spaces counts";
    WriteBytes(dir / "rt.txt", "last without end");
    EXPECT_EQ(Read(dir, "rt.txt").text, "last without end");
    WriteBytes(dir / "rt.txt", "");
    const auto empty = Read(dir, "rt.txt");
    EXPECT_EQ(empty.outcome, Outcome::Read);
    EXPECT_EQ(empty.text, "");
}

TEST(LiveTextFile, LoneCarriageReturnIsDroppedAndCtrlZEndsTheFile) {
    TempDir dir;
    WriteBytes(dir / "rt.txt", "one\rtwo\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "onetwo");
    WriteBytes(dir / "rt.txt", "kept\n\x1Ahidden\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "kept");
}

TEST(LiveTextFile, NewestMatchingFileIsRead) {
    TempDir dir;
    WriteBytes(dir / "news1.txt", "one");
    WriteBytes(dir / "news2.txt", "two");
    WriteBytes(dir / "news3.txt", "three");
    WriteBytes(dir / "other.txt", "other");
    SetModified(dir / "news1.txt", 1000);
    SetModified(dir / "news2.txt", 3000);
    SetModified(dir / "news3.txt", 2000);
    SetModified(dir / "other.txt", 9000);
    EXPECT_EQ(Read(dir, "news*.txt").text, "two");
    EXPECT_EQ(Read(dir, "news?.txt").text, "two");
    EXPECT_EQ(ReadLiveTextFile(dir / "news3.txt", "/").text, "three") << "absolute name";
    EXPECT_EQ(Read(dir, "news*.TXT").outcome, Outcome::NotFound);
}

TEST(LiveTextFile, RelativeNamesAreTakenFromTheProgramFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir / "feeds");
    WriteBytes(dir / "feeds/dps.txt", "FEED");
    EXPECT_EQ(Read(dir, "feeds/dps.txt").text, "FEED");
}

TEST(LiveTextFile, MissingIsNotFoundAndAFailedReadIsUnreadable) {
    TempDir dir;
    EXPECT_EQ(Read(dir, "rt.txt").outcome, Outcome::NotFound);
    std::filesystem::create_directory(dir / "rt.txt");
    EXPECT_EQ(Read(dir, "rt.txt").outcome, Outcome::NotFound) << "folders never match";
    std::filesystem::create_symlink("/proc/self/mem", dir / "mem.txt");
    EXPECT_EQ(Read(dir, "mem.txt").outcome, Outcome::Unreadable);
}

TEST(LiveTextFile, Utf8TextIsTakenIntoTheCodePage) {
    TempDir dir;
    WriteBytes(dir / "rt.txt", "P\xC5\x99\xC3\xADli\xC5\xA1 \xE2\x82\xAC \xE2\x98\x83\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "P\xF8\xEDli\x9A \x80 ?") << "snowman is not in it";
    WriteBytes(dir / "rt.txt", "\xEF\xBB\xBFplain\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "plain") << "byte-order mark dropped";
    WriteBytes(dir / "rt.txt", "P\xF8\xEDli\x9A\n");
    EXPECT_EQ(Read(dir, "rt.txt").text, "P\xF8\xEDli\x9A") << "not UTF-8: taken as it is";
}

TEST(Wildcards, StarAndQuestionMarkOnly) {
    EXPECT_TRUE(MatchesWildcard("rt.txt", "rt.txt"));
    EXPECT_TRUE(MatchesWildcard("now-playing.txt", "*.txt"));
    EXPECT_TRUE(MatchesWildcard("a.txt", "*"));
    EXPECT_TRUE(MatchesWildcard("ab", "a*b*"));
    EXPECT_FALSE(MatchesWildcard("rt.txt.bak", "*.txt"));
    EXPECT_FALSE(MatchesWildcard("[a].txt", "a.txt"));
    EXPECT_TRUE(MatchesWildcard("[a].txt", "[a].txt")) << "brackets are plain characters";
    EXPECT_FALSE(MatchesWildcard("ab", "a?b"));
}

}  // namespace
}  // namespace vaxo
