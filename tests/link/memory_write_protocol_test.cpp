#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/memory_write_protocol.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/recording_port.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::FakeLinkTiming;
using test::RecordingPort;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::uint32_t kSpeed = kCpuSpeedBase + 300;  // c = 100

std::vector<BitElement> Area(std::size_t size, BitElement fill = 0) {
    return std::vector<BitElement>(size, fill);
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& all, std::size_t from,
                                std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(from),
            all.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

TEST(StartSequence, RowsGiveIdleStartAndTheDeviceAddress) {
    std::vector<std::uint8_t> values;
    for (std::size_t row = 0; kStartSequence[row].clock != kStartSequenceEnd; ++row) {
        const StartRow r = kStartSequence[row];
        const int data = r.data == kBankBit || r.data == kAreaBit ? 0 : r.data;
        values.push_back(LineState{r.clock, data}.Value());
    }
    EXPECT_THAT(values, ElementsAre(0x00, 0x40, 0x60, 0x20, 0x00, 0x20, 0x60, 0x40, 0x60, 0x20,
                                    0x00, 0x20, 0x60, 0x40, 0x60, 0x40, 0x60, 0x40, 0x60, 0x60,
                                    0x40, 0x60, 0x60, 0x40, 0x60, 0x20, 0x00, 0x20));
    EXPECT_EQ(kStartSequence.back().data, kStartSequenceEnd);
}

TEST(WriteImageBlock, ByteGoesOutAsTwentySevenWritesMostSignificantFirst) {
    auto area = Area(1664);
    const BitElement byte41[] = {0, 1, 0, 0, 0, 0, 0, 1};
    std::copy(std::begin(byte41), std::end(byte41), area.begin());
    RecordingPort port;
    FakeLinkTiming timing;
    WriteImageBlock(port, timing, ImageArea::Rt, area, kSpeed, 0, port.base);
    // 1 release, 28 start rows, 24 word-address writes, 3 acknowledge writes
    EXPECT_THAT(Slice(port.writes, 1 + 28 + 24 + 3, 27),
                ElementsAre(0x60, 0x40, 0x60, 0x20, 0x00, 0x20, 0x60, 0x40, 0x60, 0x60, 0x40, 0x60,
                            0x60, 0x40, 0x60, 0x60, 0x40, 0x60, 0x60, 0x40, 0x60, 0x20, 0x00, 0x20,
                            0x20, 0x00, 0x20));
}

TEST(WriteImageBlock, BankTwoSecondAreaSetsBothAddressBits) {
    RecordingPort port;
    FakeLinkTiming timing;
    WriteImageBlock(port, timing, ImageArea::Rt, Area(1664), kSpeed, 1, port.base);
    EXPECT_THAT(Slice(port.writes, 1 + 16, 6), ElementsAre(0x20, 0x00, 0x20, 0x20, 0x00, 0x20));
    RecordingPort bank1;
    WriteImageBlock(bank1, timing, ImageArea::Ps, Area(1537), kSpeed, 0, bank1.base);
    EXPECT_THAT(Slice(bank1.writes, 1 + 16, 6), ElementsAre(0x60, 0x40, 0x60, 0x60, 0x40, 0x60));
}

// The word address of each page, read back from the writes.
std::vector<unsigned> WordAddresses(const std::vector<std::uint8_t>& writes) {
    std::vector<unsigned> addresses;
    for (std::size_t page = 1; page + 490 <= writes.size(); page += 490) {
        unsigned address = 0;
        for (std::size_t bit = 0; bit < 8; ++bit) {
            address = address << 1 | (writes[page + 28 + 3 * bit + 1] == 0x00 ? 1u : 0u);
        }
        addresses.push_back(address);
    }
    return addresses;
}

TEST(WriteImageBlock, PageCountsFollowTheAreaAndItsTableFlag) {
    FakeLinkTiming timing;
    for (BitElement flag : {0, 2}) {
        auto ps = Area(1537, 1);
        ps[1536] = flag;
        RecordingPort port;
        WriteImageBlock(port, timing, ImageArea::Ps, ps, kSpeed, 0, port.base);
        EXPECT_EQ(port.writes.size(), 1u + 4 * 490) << int{flag};
        EXPECT_THAT(WordAddresses(port.writes), ElementsAre(0x00, 0x10, 0x20, 0x30));
    }
    auto ps = Area(1537);
    ps[1536] = 1;
    RecordingPort twelve;
    WriteImageBlock(twelve, timing, ImageArea::Ps, ps, kSpeed, 0, twelve.base);
    EXPECT_EQ(twelve.writes.size(), 1u + 12 * 490);
    EXPECT_EQ(WordAddresses(twelve.writes).back(), 0xB0u);

    RecordingPort rt;
    const auto slept = timing.Slept();
    WriteImageBlock(rt, timing, ImageArea::Rt, Area(1664), kSpeed, 0, rt.base);
    EXPECT_EQ(rt.writes.size(), 1u + 13 * 490);
    EXPECT_EQ(WordAddresses(rt.writes).back(), 0xC0u);
    EXPECT_EQ(timing.Slept() - slept, 1ms + 13 * 10ms) << "1 ms first, 10 ms after every page";
}

TEST(WriteImageBlock, OnlyAnElementOfOneIsAOneBit) {
    RecordingPort port;
    FakeLinkTiming timing;
    WriteImageBlock(port, timing, ImageArea::Rt, Area(1664, 2), kSpeed, 0, port.base);
    EXPECT_THAT(Slice(port.writes, 1 + 28 + 27, 3), ElementsAre(0x60, 0x40, 0x60));
}

TEST(WriteImageBlock, EveryWriteButTheFirstIsHeld) {
    RecordingPort port;
    FakeLinkTiming timing;
    WriteImageBlock(port, timing, ImageArea::Ps, Area(1537), kSpeed, 0, port.base);
    EXPECT_EQ(timing.Turns(), 4ull * 490 * 301) << "3c + 1 turns after each of 4 x 490 writes";
    EXPECT_EQ(port.writes.front(), 0x00);
    EXPECT_EQ(port.writes.back(), 0x00) << "the lines end released";
}

TEST(MeasureCpuSpeed, CountsCountdownsOfOneWholeSecond) {
    FakeLinkTiming timing;
    const std::uint32_t speed = MeasureCpuSpeed(timing).value();
    const std::uint32_t count = (speed - kCpuSpeedBase) / 3;
    EXPECT_EQ((speed - kCpuSpeedBase) % 3, 0u);
    EXPECT_GE(count, 99u);
    EXPECT_LE(count, 101u);
    EXPECT_GE(timing.Elapsed(), 1s) << "aligned on a second boundary, then one second";
    EXPECT_LE(timing.Elapsed(), 2100ms);
}

TEST(MeasureCpuSpeed, SlowProcessorCountsTheCountdownStartedWithinTheSecond) {
    FakeLinkTiming timing;
    timing.nanosecondsPerTurn = 5000.0;  // one countdown takes 1.75 s
    EXPECT_EQ(MeasureCpuSpeed(timing), 50'000'003u);
    FakeLinkTiming hold;
    HoldDelay(hold, 50'000'003u, hold.Now());
    EXPECT_EQ(hold.Turns(), 4u);
    HoldDelay(hold, kCpuSpeedBase - 1, hold.Now());
    EXPECT_EQ(hold.Turns(), 4u) << "no countdown below the base";
}

TEST(HoldDelay, NeverEndsBeforeTheDesignHoldWhateverTheCalibrationCounted) {
    // A calibration made while the processor was shared counts a third of the
    // turns: the countdown alone would hold the lines for about 2.9 us.
    FakeLinkTiming timing;
    const std::uint32_t loadedSpeed = kCpuSpeedBase + 3 * 33;
    for (int write = 0; write < 100; ++write) {
        const MonotonicTime changed = timing.Now();
        HoldDelay(timing, loadedSpeed, changed);
        EXPECT_GE(timing.Now() - changed, kDesignHold);
    }
    EXPECT_EQ(timing.Turns(), 100u * 100) << "the countdown still runs its 3c + 1 turns";
}

TEST(WaitForEncoder, SucceedsWhenTheLineGoesLowThenHigh) {
    FakeLinkTiming timing;
    int reads = 0;
    RecordingPort port([&] { return ++reads > 3 && reads != 4 ? reads > 6 : false; });
    EXPECT_EQ(WaitForEncoder(port, timing, port.base), LinkFault::None);
    EXPECT_LT(timing.Elapsed(), 1ms);
}

TEST(WaitForEncoder, StuckLinesTimeOutInTheirPhase) {
    FakeLinkTiming high;
    RecordingPort stuckHigh([] { return true; });
    EXPECT_EQ(WaitForEncoder(stuckHigh, high, stuckHigh.base), LinkFault::EncoderStuckHigh);
    EXPECT_GE(high.Elapsed(), 5s);
    EXPECT_LT(high.Elapsed(), 5100ms) << "the second phase ends at once";

    FakeLinkTiming low;
    RecordingPort stuckLow([] { return false; });
    EXPECT_EQ(WaitForEncoder(stuckLow, low, stuckLow.base), LinkFault::EncoderStuckLow);
    EXPECT_GE(low.Elapsed(), 5s);
    EXPECT_LT(low.Elapsed(), 5100ms);
}

// Every clock reading is one second later than the one before.
class SteppingTiming : public FakeLinkTiming {
  public:
    MonotonicTime Now() override { return start_ + std::chrono::seconds(readings_++); }

  private:
    MonotonicTime start_ = std::chrono::steady_clock::now();
    long readings_ = 0;
};

TEST(WaitForEncoder, APollPastFourWholeSecondsTimesOutEvenIfTheLineChangedThere) {
    // The first reading starts the phase; poll n sees n elapsed seconds.
    for (const int lowFrom : {4, 5}) {
        SteppingTiming timing;
        int reads = 0;
        RecordingPort port([&] {
            ++reads;
            return reads < lowFrom || reads > lowFrom;
        });
        EXPECT_EQ(WaitForEncoder(port, timing, port.base) != LinkFault::None, lowFrom == 5)
            << lowFrom;
    }
}

}  // namespace
}  // namespace vaxo
