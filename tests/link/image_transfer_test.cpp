#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stop_token>

#include "encoding/encoder_image.h"
#include "link/encoder_simulator.h"
#include "link/image_transfer.h"
#include "link/last_sent_record.h"
#include "tests/support/fake_link_timing.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::FakeLinkTiming;
using ::testing::ElementsAre;

// A transfer on the simulated encoder with virtual time.
struct Rig {
    explicit Rig(EncoderScenario scenario = EncoderScenario::Healthy,
                 std::uint32_t encoderBase = kLpt1Base)
        : encoder(scenario, encoderBase) {}

    TransferResult Send(const std::stop_token& stop = {}) {
        EncodedFields fields;
        BuildEncoderImage(set, textAb, ImageClock{*ParseLocalTime("2026-12-08 23:15:00"), '.'},
                          fields, job.image);
        job.bank = set.STB == 1 ? 1 : 2;
        return TransferImage(
            *port, timing, job, [this](int p) { progress.push_back(p); }, stop);
    }
    std::vector<std::uint8_t> Memory(std::size_t block, std::size_t count) const {
        const auto& memory = encoder.Memory(block);
        return {memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    RdsParameterSet set;
    int textAb = 0;
    FakeLinkTiming timing;
    EncoderSimulator encoder;
    PortIo* port = &encoder;
    SendJob job;
    std::vector<int> progress;
};

// Forwards to the encoder and asks the send to give up at a given write.
class StopAtWrite : public PortIo {
  public:
    StopAtWrite(PortIo& inner, long at, std::stop_source& stop)
        : inner_(inner), at_(at), stop_(stop) {}
    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override {
        return inner_.PortRead(port, width);
    }
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override {
        inner_.PortWrite(port, width, value);
        if (++writes_ == at_) {
            stop_.request_stop();
        }
    }

  private:
    PortIo& inner_;
    long at_;
    long writes_ = 0;
    std::stop_source& stop_;
};

TEST(Transfer, HealthySendPutsExactlyTheImageIntoTheChosenBank) {
    for (const int bank : {1, 2}) {
        for (const bool table : {false, true}) {
            Rig rig;
            rig.set.STB = bank;
            rig.set.ENDPS = table;
            rig.set.RT = "HELLO";
            const TransferResult result = rig.Send();
            ASSERT_FALSE(result.problem);
            EXPECT_EQ(result.blockWrites, 2);
            const std::size_t psBlock = bank == 1 ? 0 : 2;
            const std::size_t psBytes = table ? 192 : 64;
            EXPECT_EQ(rig.Memory(psBlock, psBytes), AreaBytes(rig.job.image.PsArea, psBytes));
            EXPECT_EQ(rig.Memory(psBlock + 1, 208), AreaBytes(rig.job.image.RtArea, 208));
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
            EXPECT_THAT(rig.progress, ElementsAre(50, 100));
        }
    }
}

TEST(Transfer, EachScenarioEndsWithItsOutcomeAndWriteCount) {
    struct Case {
        EncoderScenario scenario;
        LinkFault fault;
        int writes;
    };
    for (const Case c : {Case{EncoderScenario::Healthy, LinkFault::None, 2},
                         Case{EncoderScenario::Absent, LinkFault::EncoderStuckLow, 0},
                         Case{EncoderScenario::StuckHigh, LinkFault::EncoderStuckHigh, 0},
                         Case{EncoderScenario::StuckLow, LinkFault::EncoderStuckLow, 0},
                         Case{EncoderScenario::NoConfirm, LinkFault::WriteNotConfirmed, 3},
                         Case{EncoderScenario::ConfirmSecond, LinkFault::None, 4},
                         Case{EncoderScenario::Corrupt, LinkFault::None, 2}}) {
        Rig rig(c.scenario);
        const TransferResult result = rig.Send();
        EXPECT_EQ(result.problem.fault, c.fault) << static_cast<int>(c.scenario);
        EXPECT_EQ(result.blockWrites, c.writes) << static_cast<int>(c.scenario);
    }
}

TEST(Transfer, UnconfirmedFirstAreaIsWrittenThreeTimesAndTheSecondNever) {
    Rig rig(EncoderScenario::NoConfirm);
    EXPECT_TRUE(rig.Send().problem);
    EXPECT_EQ(rig.encoder.PagesWritten(), 3 * 4);
    EXPECT_EQ(rig.Memory(1, 208), std::vector<std::uint8_t>(208, 0xFF));
}

TEST(Transfer, CorruptMemoryIsVisibleInTheSimulatedContents) {
    Rig rig(EncoderScenario::Corrupt);
    ASSERT_FALSE(rig.Send().problem);
    const auto expected = AreaBytes(rig.job.image.PsArea, 64);
    const auto stored = rig.Memory(0, 64);
    int differentBits = 0;
    for (std::size_t i = 0; i < 64; ++i) {
        differentBits += __builtin_popcount(expected[i] ^ stored[i]);
    }
    EXPECT_EQ(differentBits, 1);
}

TEST(Transfer, AnAbsentEncoderTimesOutInTheFirstWait) {
    Rig rig(EncoderScenario::Absent);
    const TransferResult result = rig.Send();
    EXPECT_EQ(DescribeLinkProblem(result.problem),
              "the encoder did not answer: status line stuck low");
    EXPECT_THAT(rig.progress, ElementsAre(50));
    EXPECT_GE(rig.timing.Elapsed(), 5s) << "the first wait timed out";
    EXPECT_LT(rig.timing.Elapsed(), 8s);
}

TEST(Transfer, AbandonedInAWaitOrBetweenPages) {
    std::stop_source stop;
    stop.request_stop();
    Rig waiting(EncoderScenario::StuckHigh);
    EXPECT_EQ(waiting.Send(stop.get_token()).problem.fault, LinkFault::Abandoned);
    EXPECT_LT(waiting.timing.Elapsed(), 1s) << "no wait runs its five seconds";

    // Asked to give up within the second page: that page is finished, no
    // other begun.
    Rig writing;
    std::stop_source midPage;
    StopAtWrite stopping(writing.encoder, 1 + 490 + 100, midPage);
    writing.port = &stopping;
    const TransferResult result = writing.Send(midPage.get_token());
    EXPECT_EQ(result.problem.fault, LinkFault::Abandoned);
    EXPECT_EQ(writing.encoder.PagesWritten(), 2);
    EXPECT_EQ(writing.encoder.MalformedTransactions(), 0);
}

TEST(Transfer, APortThatCannotBeOpenedFailsAtOnce) {
    Rig rig;
    rig.job.portBase = kLpt2Base;  // the simulator answers on LPT1 only
    const TransferResult result = rig.Send();
    EXPECT_TRUE(result.problem);
    EXPECT_EQ(rig.encoder.Writes(), 0);
}

TEST(Record, DescribesWhatWasSent) {
    Rig rig;
    rig.set.PS = "ROCK FM";
    rig.set.RT2 = "Second text";
    rig.set.SELRT = 2;
    rig.set.PI = "d3c2";
    rig.set.PTY = 11;
    rig.set.MS = 0;
    rig.set.DI = {true, false, false, true};
    rig.set.AF[0] = "87.6";
    rig.set.ENDPS = true;
    rig.set.DPS[0] = "%%TIME%%";
    rig.set.DPS[1] = "NEWS";
    rig.textAb = 1;
    rig.set.STB = 2;
    const TransferResult result = rig.Send();
    ASSERT_FALSE(result.problem);
    const LastSentRecord record = RecordOfSend(rig.set, rig.job.image, 100, result.took.count());
    EXPECT_THAT(std::vector<std::string>(record.begin(), record.begin() + 27),
                ElementsAre("PS=ROCK FM", "RT=Second text", "DPS1=11-15 PM", "DPS2=NEWS",
                            "DPS3=", "DPS4=", "DPS5=", "DPS6=", "DPS7=", "DPS8=", "PTY=11", "MS=0",
                            "TP=1", "TA=0", "PI=D3C2", "DI=1001", "AF1=87.6",
                            "AF2=", "AF3=", "AF4=", "AF5=", "AF6=", "AF7=", "DPSP=13", "RTAB=1",
                            "MBS=0", "CPUSPEED=100"));
    EXPECT_THAT(record[27],
                ::testing::AllOf(::testing::StartsWith("SENDTIME="), ::testing::EndsWith(" ms")));
}

TEST(Record, WithoutDynamicPsHasBareKeys) {
    Rig rig;
    rig.set.DPS[0] = "IGNORED";
    ASSERT_FALSE(rig.Send().problem);
    const LastSentRecord record = RecordOfSend(rig.set, rig.job.image, 0, 0);
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(record[2 + k], "DPS" + std::to_string(k + 1) + "=");
    }
}

}  // namespace
}  // namespace vaxo
