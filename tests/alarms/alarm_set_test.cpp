// The alarm set: hysteresis, acknowledgement, the bounded history and its
// file, and what a restart takes up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "alarms/alarm_history_file.h"
#include "alarms/alarm_set.h"
#include "base/utc_stamp.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using What = AlarmEntry::What;

const AlarmKey kEncoder{AlarmKind::EncoderNotAnswering};
const AlarmKey kRadiotextFeed{AlarmKind::FeedUnreadable, "radiotext"};
const AlarmKey kPsFeed{AlarmKind::FeedUnreadable, "dynamic_ps"};

class AlarmClock {
  public:
    AlarmNow At(std::chrono::seconds offset) const {
        return {*ParseUtcStamp("2026-12-10T03:00:00Z") + offset, MonotonicTime() + 1000h + offset};
    }
};

TEST(AlarmSetTest, AConditionIsRaisedAndClearedOnlyAfterItsHysteresis) {
    AlarmClock clock;
    AlarmSet alarms;
    const auto holds = AlarmCondition::Holding("its status line stays high");
    ASSERT_TRUE(alarms.Observe(kEncoder, holds, clock.At(0s)));
    EXPECT_TRUE(alarms.Stands(kEncoder));
    // The encoder's alarm clears only once it has answered for 10 s: an
    // answer between two silences raises nothing again.
    EXPECT_FALSE(alarms.Observe(kEncoder, AlarmCondition::Gone(), clock.At(5s)));
    EXPECT_FALSE(alarms.Observe(kEncoder, holds, clock.At(9s)));
    EXPECT_FALSE(alarms.Observe(kEncoder, AlarmCondition::Gone(), clock.At(10s)));
    EXPECT_EQ(alarms.NextDue(), clock.At(20s).elapsed);
    EXPECT_FALSE(alarms.Observe(kEncoder, AlarmCondition::Gone(), clock.At(19s)));
    const auto cleared = alarms.Observe(kEncoder, AlarmCondition::Gone(), clock.At(20s));
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->what, What::Cleared);
    EXPECT_FALSE(alarms.Stands(kEncoder));
    EXPECT_EQ(alarms.History().size(), 2U);

    // A file that is away for a moment (being rewritten) raises nothing.
    EXPECT_FALSE(
        alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("not found"), clock.At(30s)));
    EXPECT_FALSE(alarms.Observe(kRadiotextFeed, AlarmCondition::Gone(), clock.At(35s)));
    EXPECT_FALSE(
        alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("not found"), clock.At(36s)));
    EXPECT_FALSE(
        alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("not found"), clock.At(45s)));
    const auto raised =
        alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("gone"), clock.At(46s));
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->text, "gone");
    EXPECT_EQ(raised->at, clock.At(46s).wall);
}

TEST(AlarmSetTest, AnUnknownLookOrAClockSetBackChangesNothing) {
    AlarmClock clock;
    AlarmSet alarms;
    ASSERT_TRUE(alarms.Observe(kEncoder, AlarmCondition::Holding("stays low"), clock.At(0s)));
    for (int second = 1; second < 100; ++second) {
        EXPECT_FALSE(alarms.Observe(kEncoder, {}, clock.At(std::chrono::seconds(second))));
    }
    EXPECT_TRUE(alarms.Stands(kEncoder));
    // The hysteresis runs on elapsed time: the wall clock set a day back
    // neither delays nor hastens the clear.
    AlarmNow back = clock.At(100s);
    back.wall -= 24h;
    EXPECT_FALSE(alarms.Observe(kEncoder, AlarmCondition::Gone(), back));
    back.elapsed += 10s;
    const auto cleared = alarms.Observe(kEncoder, AlarmCondition::Gone(), back);
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->at, back.wall);
}

TEST(AlarmSetTest, WhatIsNoLongerLookedAtIsClearedAndAFlappingConditionStartsAfresh) {
    AlarmClock clock;
    AlarmSet alarms;
    ASSERT_TRUE(alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("x"), clock.At(0s)) ||
                alarms.Observe(kRadiotextFeed, AlarmCondition::Holding("x"), clock.At(10s)));
    EXPECT_FALSE(alarms.Observe(kPsFeed, AlarmCondition::Holding("y"), clock.At(10s)));
    // The radiotext file is followed no more: its alarm clears at once, and
    // the dynamic PS file's on its way is forgotten.
    const auto made = alarms.Forget(AlarmKind::FeedUnreadable, {}, clock.At(11s).wall);
    ASSERT_EQ(made.size(), 1U);
    EXPECT_EQ(made[0].key, kRadiotextFeed);
    EXPECT_EQ(made[0].what, What::Cleared);
    EXPECT_FALSE(alarms.NextDue());
    EXPECT_FALSE(alarms.Observe(kPsFeed, AlarmCondition::Holding("y"), clock.At(20s)));
}

TEST(AlarmSetTest, AnAlarmIsAcknowledgedOnceWhileItStands) {
    AlarmClock clock;
    AlarmSet alarms;
    EXPECT_EQ(alarms.Acknowledge(kEncoder, "web 192.0.2.7", clock.At(0s).wall),
              "no such alarm stands");
    ASSERT_TRUE(alarms.Observe(kEncoder, AlarmCondition::Holding("stays high"), clock.At(0s)));
    EXPECT_FALSE(alarms.Acknowledge(kEncoder, "web 192.0.2.7", clock.At(1s).wall));
    EXPECT_EQ(alarms.Acknowledge(kEncoder, "the window", clock.At(2s).wall),
              "acknowledged already by web 192.0.2.7");
    ASSERT_TRUE(alarms.Active().at(kEncoder).acknowledged);
    EXPECT_EQ(alarms.History().back().what, What::Acknowledged);
    EXPECT_EQ(alarms.History().back().text, "web 192.0.2.7");
}

// The history as the file keeps it: an alarm that stood at the end stands
// after a restart, acknowledged as it was; lines no reader could take are
// passed over and counted, whatever their bytes.
TEST(AlarmSetTest, TheHistoryFileCarriesTheAlarmsAcrossARestart) {
    AlarmClock clock;
    AlarmSet before;
    ASSERT_TRUE(before.Observe(kEncoder, AlarmCondition::Holding("stays\thigh\n"), clock.At(0s)));
    ASSERT_FALSE(before.Acknowledge(kEncoder, "web 192.0.2.7", clock.At(5s).wall));
    ASSERT_TRUE(
        before.Observe({AlarmKind::SendsFailing}, AlarmCondition::Holding("no"), clock.At(6s)));
    ASSERT_TRUE(before.Observe({AlarmKind::SendsFailing}, AlarmCondition::Gone(), clock.At(7s)));
    const std::string text = WriteAlarmHistory(before.History());
    EXPECT_THAT(text, ::testing::HasSubstr(
                          "2026-12-10T03:00:00Z\traised\tencoder_not_answering\t\tstays high \n"));

    const AlarmHistoryRead read =
        ReadAlarmHistory(text +
                         "2026-13-01T00:00:00Z\traised\tsends_failing\t\tx\n"
                         "2026-12-10T03:00:09Z\traised\tno_such_alarm\t\tx\n"
                         "2026-12-10T03:00:09Z\traised\tsends_failing\tx\n"
                         "garbage \xff here\n");
    EXPECT_EQ(read.entries.size(), 4U);
    EXPECT_EQ(read.linesPassedOver, 4U);
    const AlarmSet after(read.entries);
    ASSERT_EQ(after.Active().size(), 1U);
    const ActiveAlarm& standing = after.Active().at(kEncoder);
    EXPECT_EQ(standing.since, clock.At(0s).wall);
    EXPECT_EQ(standing.reason, "stays high ");
    ASSERT_TRUE(standing.acknowledged);
    EXPECT_EQ(standing.acknowledged->text, "web 192.0.2.7");
}

TEST(AlarmSetTest, TheHistoryIsBoundedButKeepsWhatStillStands) {
    AlarmClock clock;
    AlarmSet alarms;
    ASSERT_TRUE(alarms.Observe(kEncoder, AlarmCondition::Holding("stays low"), clock.At(0s)));
    ASSERT_FALSE(alarms.Acknowledge(kEncoder, "op", clock.At(1s).wall));
    const AlarmKey sends{AlarmKind::SendsFailing};
    for (int round = 0; round < 1000; ++round) {
        const auto at = std::chrono::seconds(10 + 2 * round);
        ASSERT_TRUE(alarms.Observe(sends, AlarmCondition::Holding("failed"), clock.At(at)));
        ASSERT_TRUE(alarms.Observe(sends, AlarmCondition::Gone(), clock.At(at + 1s)));
    }
    EXPECT_EQ(alarms.History().size(), AlarmSet::kHistory);
    EXPECT_EQ(alarms.History()[0].key, kEncoder);
    EXPECT_EQ(alarms.History()[1].what, What::Acknowledged);
    EXPECT_EQ(alarms.History().back().what, What::Cleared);
    const AlarmSet after({alarms.History().begin(), alarms.History().end()});
    EXPECT_TRUE(after.Stands(kEncoder));
    EXPECT_FALSE(after.Stands(sends));
}

TEST(AlarmSetTest, AlarmIdsReadBackAsTheyAreWritten) {
    for (int kind = 0; kind < kAlarmKinds; ++kind) {
        const AlarmKey key{static_cast<AlarmKind>(kind), kind % 2 ? "web 0.0.0.0:443" : ""};
        EXPECT_EQ(ParseAlarmId(AlarmId(key)), key) << AlarmId(key);
    }
    EXPECT_FALSE(ParseAlarmId("encoder_not_answering "));
    EXPECT_FALSE(ParseAlarmId("Encoder_not_answering"));
    EXPECT_FALSE(ParseAlarmId(""));
}

TEST(UtcStampTest, OnlyTheExactFormOfARealMomentIsRead) {
    const auto moment = ParseUtcStamp("2028-02-29T23:59:59Z");
    ASSERT_TRUE(moment);
    EXPECT_EQ(UtcStamp(*moment), "2028-02-29T23:59:59Z");
    EXPECT_EQ(UtcStamp(*moment + 1s), "2028-03-01T00:00:00Z");
    for (const char* bad : {"2027-02-29T00:00:00Z", "2026-12-10T24:00:00Z", "2026-12-10 03:00:00Z",
                            "2026-12-10T03:00:00", "2026-12-1OT03:00:00Z", "+026-12-10T03:00:00Z",
                            "1186-12-10T03:00:00Z", "9999-12-31T23:59:59Z"}) {
        EXPECT_FALSE(ParseUtcStamp(bad)) << bad;
    }
}

}  // namespace
}  // namespace vaxo
