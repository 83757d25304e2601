#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/encoder_simulator.h"
#include "link/send_operation.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/recording_front_end.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::FakeLinkTiming;
using test::RecordingFrontEnd;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// A send path on the simulated encoder with virtual time.
struct Rig {
    explicit Rig(EncoderScenario scenario = EncoderScenario::Healthy,
                 std::uint32_t encoderBase = kLpt1Base)
        : encoder(scenario, encoderBase), link(set, encoder, timing, frontEnd, [] {
              return ImageClock{*ParseLocalTime("2026-12-08 23:15:00"), '.'};
          }) {}

    bool Send() { return link.UploadRDS(); }
    std::vector<std::uint8_t> Memory(std::size_t block, std::size_t count) const {
        const auto& memory = encoder.Memory(block);
        return {memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    RdsParameterSet set;
    FakeLinkTiming timing;
    RecordingFrontEnd frontEnd;
    EncoderSimulator encoder;
    EncoderLink link;
};

TEST(Send, HealthySendPutsExactlyTheImageIntoTheChosenBank) {
    for (const int bank : {1, 2}) {
        for (const bool table : {false, true}) {
            Rig rig;
            rig.set.STB = bank;
            rig.set.ENDPS = table;
            rig.set.RT = "HELLO";
            ASSERT_TRUE(rig.Send());
            EXPECT_EQ(rig.link.LastBlockWrites(), 2);
            const std::size_t psBlock = bank == 1 ? 0 : 2;
            const std::size_t psBytes = table ? 192 : 64;
            EXPECT_EQ(rig.Memory(psBlock, psBytes), AreaBytes(rig.link.Image().PsArea, psBytes));
            EXPECT_EQ(rig.Memory(psBlock + 1, 208), AreaBytes(rig.link.Image().RtArea, 208));
            const EncoderSimulator::Block untouched =
                EncoderSimulator(EncoderScenario::Healthy).Memory(0);
            for (std::size_t block = 0; block < 4; ++block) {
                const auto& memory = rig.encoder.Memory(block);
                const std::size_t written = block == psBlock       ? psBytes
                                            : block == psBlock + 1 ? 208
                                                                   : 0;
                EXPECT_TRUE(std::equal(memory.begin() + static_cast<std::ptrdiff_t>(written),
                                       memory.end(),
                                       untouched.begin() + static_cast<std::ptrdiff_t>(written)))
                    << "bank " << bank << " block " << block;
            }
            EXPECT_EQ(rig.encoder.MalformedTransactions(), 0);
        }
    }
}

TEST(Send, EachScenarioEndsWithItsOutcomeAndWriteCount) {
    struct Case {
        EncoderScenario scenario;
        bool ok;
        int writes;
    };
    for (const Case c :
         {Case{EncoderScenario::Healthy, true, 2}, Case{EncoderScenario::Absent, false, 0},
          Case{EncoderScenario::StuckHigh, false, 0}, Case{EncoderScenario::StuckLow, false, 0},
          Case{EncoderScenario::NoConfirm, false, 3}, Case{EncoderScenario::ConfirmSecond, true, 4},
          Case{EncoderScenario::Corrupt, true, 2}}) {
        Rig rig(c.scenario);
        EXPECT_EQ(rig.Send(), c.ok) << static_cast<int>(c.scenario);
        EXPECT_EQ(rig.link.LastBlockWrites(), c.writes) << static_cast<int>(c.scenario);
    }
}

TEST(Send, UnconfirmedFirstAreaIsWrittenThreeTimesAndTheSecondNever) {
    Rig rig(EncoderScenario::NoConfirm);
    EXPECT_FALSE(rig.Send());
    EXPECT_EQ(rig.encoder.PagesWritten(), 3 * 4);
    EXPECT_EQ(rig.Memory(1, 208), std::vector<std::uint8_t>(208, 0xFF));
}

TEST(Send, CorruptMemoryIsVisibleInTheSimulatedContents) {
    Rig rig(EncoderScenario::Corrupt);
    ASSERT_TRUE(rig.Send());
    const auto expected = AreaBytes(rig.link.Image().PsArea, 64);
    const auto stored = rig.Memory(0, 64);
    int differentBits = 0;
    for (std::size_t i = 0; i < 64; ++i) {
        differentBits += __builtin_popcount(expected[i] ^ stored[i]);
    }
    EXPECT_EQ(differentBits, 1);
}

TEST(Send, ShowsProgressTenTwentyFiftyHundredThenZero) {
    Rig rig;
    ASSERT_TRUE(rig.Send());
    EXPECT_THAT(rig.frontEnd.events, ElementsAre("started", "10", "20", "events", "50", "100",
                                                 "shown", "0", "finished"));
}

TEST(Send, FailureShowsErrorAndKeepsTheRecord) {
    Rig rig(EncoderScenario::Absent);
    rig.set.LastSent[0][0] = "PS=EARLIER";
    rig.set.EXAL = true;
    EXPECT_FALSE(rig.Send());
    EXPECT_THAT(rig.frontEnd.events,
                ElementsAre("started", "10", "20", "events", "50", "Error", "0", "finished"));
    EXPECT_EQ(rig.set.LastSent[0][0], "PS=EARLIER");
    EXPECT_GE(rig.timing.Elapsed(), 5s) << "the first wait timed out";
    EXPECT_LT(rig.timing.Elapsed(), 8s);
}

TEST(Send, RecordDescribesWhatWasSent) {
    Rig rig;
    rig.set.PS = "ROCK FM";
    rig.set.RT2 = "Second text";
    rig.set.SELRT = 2;
    rig.set.PI = "d3c2";
    rig.set.PTY = 11;
    rig.set.MS = 0;
    rig.set.DI = {true, false, false, true};
    rig.set.AF[1] = "87.6";
    rig.set.AF[3] = "bad";
    rig.set.ENDPS = true;
    rig.set.DPS[0] = "%%TIME%%";
    rig.set.DPS[1] = "NEWS";
    rig.set.TextAbFlag = 1;
    rig.set.STB = 2;
    ASSERT_TRUE(rig.Send());
    const LastSentRecord& record = rig.set.LastSent[1];
    EXPECT_THAT(std::vector<std::string>(record.begin(), record.begin() + 27),
                ElementsAre("PS=ROCK FM", "RT=Second text", "DPS1=11-15 PM", "DPS2=NEWS",
                            "DPS3=", "DPS4=", "DPS5=", "DPS6=", "DPS7=", "DPS8=", "PTY=11", "MS=0",
                            "TP=1", "TA=0", "PI=D3C2", "DI=1001", "AF1=87.6", "AF2=", "AF3=",
                            "AF4=", "AF5=", "AF6=", "AF7=", "DPSP=13", "RTAB=1", "MBS=0",
                            ::testing::AnyOf("CPUSPEED=99", "CPUSPEED=100", "CPUSPEED=101")));
    EXPECT_THAT(record[27],
                ::testing::AllOf(::testing::StartsWith("SENDTIME="), ::testing::EndsWith(" ms")));
    EXPECT_EQ(rig.set.LastSent[0], LastSentRecord{}) << "bank 1 keeps its record";
}

TEST(Send, RecordWithoutDynamicPsHasBareKeys) {
    Rig rig;
    rig.set.DPS[0] = "IGNORED";
    ASSERT_TRUE(rig.Send());
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(rig.set.LastSent[0][2 + k], "DPS" + std::to_string(k + 1) + "=");
    }
}

TEST(Send, ShownRecordFollowsTheChosenBankNotTheWrittenOne) {
    Rig rig;
    rig.set.STB = 2;
    rig.link.SetShownBank(1);
    rig.set.LastSent[0][0] = "PS=BANK ONE";
    ASSERT_TRUE(rig.Send());
    EXPECT_EQ(rig.frontEnd.shown[0], "PS=BANK ONE");
    rig.link.SetShownBank(2);
    rig.link.ShowLastSent();
    EXPECT_EQ(rig.frontEnd.shown[0], "PS=FM RADIO");
}

TEST(Send, ExitAfterSendOnlyOnSuccessAndPendingSendIsCleared) {
    Rig ok;
    ok.set.EXAL = true;
    ok.set.SendPending = true;
    ASSERT_TRUE(ok.Send());
    EXPECT_THAT(ok.frontEnd.events, ::testing::Contains("exit"));
    EXPECT_FALSE(ok.set.SendPending);

    Rig failed(EncoderScenario::StuckLow);
    failed.set.EXAL = true;
    failed.set.SendPending = true;
    EXPECT_FALSE(failed.Send());
    EXPECT_THAT(failed.frontEnd.events, ::testing::Not(::testing::Contains("exit")));
    EXPECT_FALSE(failed.set.SendPending);
}

TEST(Send, SecondPortIsAddressedAfterPortClick) {
    Rig rig(EncoderScenario::Healthy, kLpt2Base);
    EXPECT_FALSE(rig.Send()) << "nothing answers on LPT1";
    rig.set.PORT = 1;
    rig.link.PORTClick();
    EXPECT_EQ(rig.link.PortBase(), kLpt2Base);
    EXPECT_TRUE(rig.Send());
}

TEST(Send, SendStartedDuringPendingEventsRunsToItsEndFirst) {
    Rig rig;
    bool nested = false;
    rig.frontEnd.onPendingEvents = [&] {
        if (!nested) {
            nested = true;
            EXPECT_TRUE(rig.link.UploadRDS());
        }
    };
    ASSERT_TRUE(rig.Send());
    EXPECT_THAT(
        rig.frontEnd.events,
        ElementsAre("started", "10", "20", "events", "started", "10", "20", "events", "50", "100",
                    "shown", "0", "finished", "50", "100", "shown", "0", "finished"));
}

TEST(SendButton, IgnoresClicksWithinTwoSecondsOfTheLastSend) {
    Rig rig;
    rig.link.UPClick();
    EXPECT_TRUE(rig.frontEnd.events.empty()) << "within two seconds of start-up";
    rig.timing.Advance(2s);
    rig.link.UPClick();
    EXPECT_EQ(rig.frontEnd.events.front(), "started");
    const auto sent = rig.frontEnd.events.size();
    rig.timing.Advance(1900ms);
    rig.link.UPClick();
    EXPECT_EQ(rig.frontEnd.events.size(), sent) << "1.9 s after the send's end";
    rig.timing.Advance(100ms);
    rig.link.UPClick();
    EXPECT_GT(rig.frontEnd.events.size(), sent);
}

TEST(SendButton, FailedSendAlsoArmsTheGuard) {
    Rig rig(EncoderScenario::StuckHigh);
    rig.timing.Advance(3s);
    rig.link.UPClick();
    const auto afterFailure = rig.frontEnd.events.size();
    EXPECT_GT(afterFailure, 0u);
    rig.timing.Advance(1s);
    rig.link.UPClick();
    EXPECT_EQ(rig.frontEnd.events.size(), afterFailure);
}

TEST(SendButton, TogglesAbOnlyForAChangedRadiotextWithUseAb) {
    Rig rig;
    rig.set.ABSW = true;
    rig.set.RT = "one";
    rig.timing.Advance(3s);
    rig.link.UPClick();
    EXPECT_EQ(rig.set.TextAbFlag, 1);
    rig.timing.Advance(3s);
    rig.link.UPClick();
    EXPECT_EQ(rig.set.TextAbFlag, 1) << "unchanged radiotext";
    EXPECT_EQ(rig.set.LastSent[0][24], "RTAB=1");
}

}  // namespace
}  // namespace vaxo
