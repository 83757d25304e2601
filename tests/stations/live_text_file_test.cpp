#include <fcntl.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "stations/live_text_file.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using Outcome = LiveTextRead::Outcome;
using namespace std::chrono_literals;

void SetModified(const std::string& path, long seconds) {
    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(when));
}

// Read as a first look would, long after the file was written.
LiveTextRead Read(const TempDir& dir, const std::string& name) {
    FeedLook look;
    return ReadLiveTextFile(name, dir.path().string() + "/", look,
                            std::chrono::system_clock::now() + std::chrono::hours(1));
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
    EXPECT_EQ(Read(dir, dir / "news3.txt").text, "three") << "absolute name";
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
#ifndef _WIN32
    std::filesystem::create_symlink("/proc/self/mem", dir / "mem.txt");
    EXPECT_EQ(Read(dir, "mem.txt").outcome, Outcome::Unreadable);
#endif
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

TEST(LiveTextFile, NulEndsItsLineAndUtf16IsDecodedWithOrWithoutMark) {
    EXPECT_EQ(LastLiveTextLine(std::string("kept\ngone\0after\n", 17)), "gone");
    EXPECT_EQ(LastLiveTextLine(std::string("text\n\0\0\0\0\0\0", 11)), "text")
        << "zero-filled after a power cut";
    EXPECT_EQ(LastLiveTextLine(std::string(4096, '\0')), "") << "all zeros: empty, not UTF-16";
    const std::string le("\xFF\xFEP\0\x59\x01\xED\0l\0i\0\x61\x01\r\0\n\0", 18);
    EXPECT_EQ(LastLiveTextLine(le), "P\xF8\xEDli\x9A");
    const std::string noMark("H\0i\0 \0\xAC\x20\n\0\0\0\0\0", 14);  // euro sign
    EXPECT_EQ(LastLiveTextLine(noMark), "Hi \x80");
    const std::string be("\xFE\xFF\0O\0K\xD8\x3D\xDE\x00", 10);
    EXPECT_EQ(LastLiveTextLine(be), "OK?") << "a character beyond the code page";
    LastLineScanner pieces;  // a code unit split across two reads
    for (char byte : le) {
        pieces.Feed(std::string_view(&byte, 1));
    }
    EXPECT_EQ(pieces.Finish(), "P\xF8\xEDli\x9A");
}

TEST(LiveTextFile, AnEndlessLineIsKeptOnlyAsFarAsItsLimit) {
    const std::string line = LastLiveTextLine(std::string(3 * LastLineScanner::kLineLimit, 'x'));
    EXPECT_EQ(line, std::string(LastLineScanner::kLineLimit, 'x'));
}

TEST(LiveTextFile, WhetherTextIsUtf8IsDecidedOnTheLineTaken) {
    EXPECT_EQ(LastLiveTextLine("\xE8"
                               "esky\n\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD\n"),
              "\x8Elu\x9Dou\xE8k\xFD");
    EXPECT_EQ(LastLiveTextLine("\xC5\xBD\n\xE8"
                               "esky\n"),
              "\xE8"
              "esky");
}

TEST(LiveTextFile, AFileBeingRewrittenInPlaceIsNotTakenUntilItSettles) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    const auto now = std::chrono::system_clock::now();
    FeedLook look;
    WriteBytes(dir / "rt.txt", "first");
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now + 1h).text, "first");
    WriteBytes(dir / "rt.txt", "");  // the same file, truncated
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now).outcome, Outcome::Busy)
        << "truncated, the text not yet written";
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now + 3s).outcome, Outcome::Read)
        << "empty for good";
    WriteBytes(dir / "rt.txt", "half");
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now).outcome, Outcome::Busy);
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now + 1s).text, "half");
}

#ifndef _WIN32  // a file's identity tells a replaced file; Windows has none here
// The safe way to write, a temporary file renamed over the feed, is taken at
// once however recent; a writer in step with the looks starves nothing: a
// file still being written is left for at most three looks.
TEST(LiveTextFile, ARenamedFileIsTakenAtOnceAndNoWriterStarvesTheFeed) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    FeedLook look;
    const auto now = std::chrono::system_clock::now();
    EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now).outcome, Outcome::NotFound);
    for (const char* title : {"One", "Two", "Three"}) {
        WriteBytes(dir / "rt.new", title);
        std::filesystem::rename(dir / "rt.new", dir / "rt.txt");
        EXPECT_EQ(ReadLiveTextFile("rt.txt", folder, look, now).text, title) << "just renamed";
    }
    std::vector<Outcome> looks;
    for (int i = 0; i < 4; ++i) {
        WriteBytes(dir / "rt.txt", "In step " + std::to_string(i));  // in place, just now
        looks.push_back(ReadLiveTextFile("rt.txt", folder, look, now).outcome);
    }
    EXPECT_THAT(looks, ElementsAre(Outcome::Busy, Outcome::Busy, Outcome::Busy, Outcome::Read));
}
#endif

TEST(LiveTextFile, ALargeFileIsPassedOverWithoutBeingRead) {
    TempDir dir;
    {
        std::ofstream file(dir / "rt.txt", std::ios::binary);
        file << "text\n";
    }
    std::filesystem::resize_file(dir / "rt.txt", std::uintmax_t{2} << 30);  // 2 GiB, sparse
    const LiveTextRead read = Read(dir, "rt.txt");
    EXPECT_EQ(read.outcome, Outcome::TooLarge);
    EXPECT_EQ(read.why, "larger than 1024 KiB");
}

// What a crash leaves, a file of zero bytes or one that begins with one, is
// no text: not a blank radiotext.
TEST(LiveTextFile, ZeroFilledFilesArePassedOverAsUnreadable) {
    TempDir dir;
    for (const std::string& bytes : {std::string(512, '\0'), std::string("\0Title\n", 7)}) {
        WriteBytes(dir / "rt.txt", bytes);
        const LiveTextRead read = Read(dir, "rt.txt");
        EXPECT_EQ(read.outcome, Outcome::Unreadable);
        EXPECT_EQ(read.why, "zero bytes, not text (left by a crash?)");
    }
    WriteBytes(dir / "rt.txt", std::string("Power cut\n") + std::string(64, '\0'));
    EXPECT_EQ(Read(dir, "rt.txt").text, "Power cut") << "zero bytes after the text";
}

TEST(LiveTextFile, WildcardsChooseAmongRegularFilesOnly) {
    TempDir dir;
    WriteBytes(dir / "np-old.txt", "regular");
    SetModified(dir / "np-old.txt", 1000);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "np-pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "np-device.txt");
#endif
    EXPECT_EQ(Read(dir, "np-*.txt").text, "regular") << "the newer pipe and device are passed over";
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
