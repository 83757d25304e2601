// The live-text files are read beside the loop: one on a mount that stops
// answering holds up neither the other feed nor the program.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/feed_reading.h"
#include "tests/support/manual_host.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using Outcome = LiveTextRead::Outcome;

// A radiotext file whose read waits until the test lets it go.
struct HangingMount {
    LiveTextRead Read(const std::string& name, const std::string&, FeedLook&) {
        if (name != "rt.txt") {
            return {Outcome::Read, "DPS TEXT", name};
        }
        ++radiotextReads;
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return free; });
        return {Outcome::Read, "late", name};
    }
    void Release() {
        {
            const std::lock_guard lock(mutex);
            free = true;
        }
        released.notify_all();
    }

    std::mutex mutex;
    std::condition_variable released;
    bool free = false;
    std::atomic<int> radiotextReads{0};
};

TEST(FeedReading, AFileThatDoesNotAnswerHoldsUpNeitherTheOtherFeedNorTheLoop) {
    test::ManualHost host;
    HangingMount mount;
    std::vector<FeedReads> looks;
    auto reading = std::make_unique<FeedReading>(
        host, [&](const FeedReads& reads) { looks.push_back(reads); }, 2s,
        [&](const std::string& name, const std::string& folder, FeedLook& look) {
            return mount.Read(name, folder, look);
        });
    RdsParameterSet set;
    set.RTFF = true;
    set.ENDPS = set.PSFF = true;

    reading->Look(set, "");
    host.RunUntil([] { return false; }, 200ms);  // the dynamic PS file comes back
    EXPECT_TRUE(reading->Looking()) << "the radiotext file has not";
    host.Fire("live text time limit");  // two seconds on
    ASSERT_EQ(looks.size(), 1u);
    EXPECT_EQ(looks[0].dynamicPs->text, "DPS TEXT");
    EXPECT_EQ(looks[0].radiotext->outcome, Outcome::NotAnswering);
    EXPECT_EQ(looks[0].radiotext->why, "no answer within 2000 ms");

    reading->Look(set, "");  // the next tick: no second read of the file that hangs
    ASSERT_TRUE(host.RunUntil([&] { return looks.size() == 2; }));
    EXPECT_EQ(looks[1].radiotext->outcome, Outcome::NotAnswering);
    EXPECT_EQ(looks[1].radiotext->why, "an earlier read has not come back");
    EXPECT_EQ(looks[1].dynamicPs->text, "DPS TEXT") << "the other feed is read meanwhile";
    EXPECT_EQ(mount.radiotextReads, 1);

    reading.reset();  // the program ends while the read still hangs
    mount.Release();
    host.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(looks.size(), 2u) << "what comes back after the end goes nowhere";
}

TEST(FeedReading, ALookAtNothingCompletesAtOnce) {
    test::ManualHost host;
    int looks = 0;
    FeedReading reading(host, [&](const FeedReads& reads) {
        ++looks;
        EXPECT_FALSE(reads.radiotext);
        EXPECT_FALSE(reads.dynamicPs);
    });
    reading.Look(RdsParameterSet{}, "");
    EXPECT_EQ(looks, 1);
    EXPECT_FALSE(reading.Looking());
}

}  // namespace
}  // namespace vaxo
