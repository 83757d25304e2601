#ifdef _WIN32
#include <windows.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "stations/live_text_feeds.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;

// The feeds over a folder of text files; a tick that asks for a send counts.
struct Feeds {
    Feeds() : folder(dir.path().string() + "/") {}
    void Tick() {
        const FeedTick tick = ReadFeeds(set, memory, folder, radiotextLook, dynamicPsLook);
        reports = tick.reports;
        sends += tick.sendFor ? 1 : 0;
    }
    // A file its writer finished a while ago.
    void Write(const std::string& name, const std::string& text) {
        WriteBytes(dir / name, text);
        std::filesystem::last_write_time(
            dir / name, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(10));
    }

    TempDir dir;
    std::string folder;
    RdsParameterSet set;
    FeedMemory memory;
    FeedLook radiotextLook, dynamicPsLook;
    int sends = 0;
    std::vector<FeedReport> reports;
};

TEST(LiveTextFeeds, ChangedRadiotextFileIsSentOnce) {
    Feeds f;
    f.set.RTFF = true;
    f.Write("rt.txt", "first\r\nsecond\r\n\r\n");
    f.Tick();
    EXPECT_EQ(f.set.RT, "second");
    EXPECT_EQ(f.sends, 1);
    EXPECT_EQ(f.memory.lastFileRT, "second");
    f.Tick();
    EXPECT_EQ(f.sends, 1) << "unchanged file";
    f.Write("rt.txt", "");
    f.Tick();
    EXPECT_EQ(f.set.RT, "        ");
    EXPECT_EQ(f.sends, 2);
}

TEST(LiveTextFeeds, AFileBeingRewrittenIsLeftForTheNextTick) {
    Feeds f;
    f.set.RTFF = true;
    f.set.ENDPS = f.set.PSFF = true;
    f.Write("rt.txt", "on air");
    f.Write("dps.txt", "ROCK");
    f.Tick();
    ASSERT_EQ(f.sends, 1);
    WriteBytes(f.dir / "rt.txt", "");  // truncated just now, its text still to come
    f.Write("dps.txt", "POP");
    f.Tick();
    EXPECT_EQ(f.sends, 2) << "the other feed still sends";
    EXPECT_EQ(f.set.RT, "on air") << "no blank radiotext on air";
    EXPECT_EQ(f.memory.lastFileRT, "on air") << "nor recorded";
    f.Write("rt.txt", "on air");
    f.Tick();
    EXPECT_EQ(f.sends, 2) << "the finished file is the same text";
}

TEST(LiveTextFeeds, RadiotextTriggerNeedsSendOnChangeFirstRadiotextAndNoSwitching) {
    for (int variant = 0; variant < 3; ++variant) {
        Feeds f;
        f.set.RTFF = true;
        f.set.UPCH = variant != 0;
        f.set.SELRT = variant == 1 ? 2 : 1;
        f.set.RTSA = variant == 2;
        f.Write("rt.txt", "news");
        f.Tick();
        EXPECT_EQ(f.set.RT, "news") << variant;
        EXPECT_EQ(f.sends, 0) << variant;
        EXPECT_EQ(f.memory.lastFileRT, "") << variant;
    }
}

TEST(LiveTextFeeds, BothFilesChangingMakeOneSendThatRecordsBoth) {
    Feeds f;
    f.set.RTFF = true;
    f.set.PSFF = true;
    f.set.ENDPS = true;
    f.Write("rt.txt", "radiotext");
    f.Write("dps.txt", "THE BEST MUSIC IN TOWN");
    f.Tick();
    EXPECT_EQ(f.sends, 1);
    EXPECT_EQ(f.memory.lastFileRT, "radiotext");
    EXPECT_EQ(f.memory.lastFileDPS, "THE BESTMUSIC INTOWN");
    EXPECT_EQ(f.set.DPS[2], "TOWN");
}

TEST(LiveTextFeeds, DynamicPsFeedNeedsDynamicPsOn) {
    Feeds f;
    f.set.PSFF = true;
    f.set.DPSC = true;
    f.set.EFCHAR = "#";
    f.Write("dps.txt", "RADIO");
    f.Tick();
    EXPECT_EQ(f.sends, 0);
    EXPECT_EQ(f.set.DPS[0], "");
    f.set.ENDPS = true;
    f.Tick();
    EXPECT_EQ(f.sends, 1);
    EXPECT_THAT(f.set.DPS, ElementsAre("#RADIO##", "", "", "", "", "", "", ""));
}

TEST(LiveTextFeeds, ARecordedTextIsNotSentAgainWhateverTheSendGave) {
    Feeds f;
    f.set.RTFF = true;
    f.Write("rt.txt", "text");
    f.Tick();
    f.Tick();
    EXPECT_EQ(f.sends, 1);
    ASSERT_EQ(f.reports.size(), 1u);
    EXPECT_EQ(f.reports[0].text, "text");
    EXPECT_EQ(std::filesystem::path(f.reports[0].file).filename(), "rt.txt");
}

TEST(LiveTextFeeds, MissingSourceSendsOnceWithAnEmptyRecordAndKeepsTheText) {
    Feeds f;
    f.set.RTFF = true;
    f.set.RT = "kept";
    f.memory.lastFileRT = "earlier";
    f.Tick();
    EXPECT_EQ(f.sends, 1);
    EXPECT_EQ(f.set.RT, "kept");
    EXPECT_EQ(f.memory.lastFileRT, "");
    f.Tick();
    EXPECT_EQ(f.sends, 1);
}

TEST(LiveTextFeeds, UnreadableSourceCannotTriggerButIsRecordedEmpty) {
    Feeds f;
    f.set.RTFF = true;
    f.set.PSFF = true;
    f.set.ENDPS = true;
    f.memory.lastFileRT = "old rt";
#ifdef _WIN32
    // Playout software that keeps the file open without sharing.
    const HANDLE held = ::CreateFileA((f.dir / "rt.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    std::filesystem::create_symlink("/proc/self/mem", f.dir / "rt.txt");
#endif
    f.Tick();
    EXPECT_EQ(f.sends, 0) << "an unreadable radiotext file does not count as a change";
    f.Write("dps.txt", "DPS");
    f.Tick();
    EXPECT_EQ(f.sends, 1);
    EXPECT_EQ(f.memory.lastFileRT, "") << "recorded empty, so its next read counts as a change";
#ifdef _WIN32
    ::CloseHandle(held);
#endif
}

TEST(LiveTextFeeds, SwitchingSkipsEmptyRadiotexts) {
    Feeds f;
    f.set.RT = "one";
    f.set.RT3 = "three";
    AdvanceRadiotext(f.set);
    EXPECT_EQ(f.set.SELRT, 3);
    AdvanceRadiotext(f.set);
    EXPECT_EQ(f.set.SELRT, 1);

    Feeds empty;
    empty.set.SELRT = 2;
    AdvanceRadiotext(empty.set);
    EXPECT_EQ(empty.set.SELRT, 2) << "four advances come back";

    Feeds none;
    none.set.SELRT = 0;
    none.set.RT = "x";
    AdvanceRadiotext(none.set);
    EXPECT_EQ(none.set.SELRT, 0);
}

}  // namespace
}  // namespace vaxo
