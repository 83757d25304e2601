// Sends beside the loop: the sequence a send shows, the copy it writes, one
// more send for the changes made while one runs, and the calibration kept
// out of the way. Real threads on virtual link time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

#include "base/overloaded.h"
#include "encoding/receiver_view.h"
#include "link/encoder_simulator.h"
#include "sending/send_scheduler.h"
#include "stations/field_changes.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/settle.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::FakeLinkTiming;
using test::ManualHost;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

struct Rig {
    explicit Rig(EncoderScenario scenario = EncoderScenario::Healthy,
                 std::uint32_t encoderBase = kLpt1Base)
        : encoder(scenario, encoderBase), layer(ForwardingPortBackends(encoder, encoderBase)) {
        layer.PortLayerStartup();
        listening = events.Listen([this](const ProgramEvent& event) { Note(event); });
    }
    ~Rig() { sends.Stop(); }

    void Note(const ProgramEvent& event) {
        std::visit(Overloaded{
                       [this](const SendStarted& s) { log.push_back("started " + s.reason); },
                       [this](const SendProgress& p) { log.push_back(std::to_string(p.percent)); },
                       [this](const SendFinished& f) {
                           log.push_back(f.problem ? "failed" : "finished");
                           finished.push_back(f);
                       },
                       [this](const ExitRequested&) { log.push_back("exit"); },
                       [](const auto&) {},
                   },
                   event);
    }
    bool Settle() {
        return test::SettleThroughHolds(
            host, timing, [this] { return sends.Idle(); }, [this] { return sends.Holding(); });
    }
    void Change(std::string_view lines) { static_cast<void>(ApplyStationLines(set, lines, '.')); }
    // A send as a client asks for it, at once.
    std::shared_ptr<SendTicket> Ask(const std::string& reason) {
        return sends.Ask(SendWhen::Now, reason, SendAsker::Client);
    }
    // The radiotext a receiver gets from bank 1's memory.
    std::string OnAirRadiotext() const {
        const MemoryDump memory = ReadBack(encoder, 1);
        const ReceiverView view = DecodeEncoderMemory(memory.area1, memory.area2);
        return view.rt ? view.rt->bytes : "";
    }

    ManualHost host;
    EventHub events;
    RdsParameterSet set;
    FakeLinkTiming timing;
    EncoderSimulator encoder;
    PortLayer layer;
    std::vector<std::string> log;
    std::vector<SendFinished> finished;
    Subscription listening;
    std::uint64_t revision = 7;
    SendScheduler sends{
        {host, timing,
         [] {
             return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
         },
         events, layer, encoder, [this](int bank) { return ReadBack(encoder, bank); }},
        set,
        revision};
};

TEST(Sends, ShowTenTwentyFiftyHundredAndKeepTheRecord) {
    Rig rig;
    rig.set.EXAL = true;
    rig.sends.AskAfterLoad(true);
    static_cast<void>(rig.Ask("operator"));
    EXPECT_TRUE(rig.sends.Running());
    EXPECT_FALSE(rig.sends.AfterLoadAsked()) << "cleared when the send starts";
    ASSERT_TRUE(rig.Settle());
    EXPECT_THAT(rig.log,
                ElementsAre("started operator", "10", "20", "50", "100", "finished", "exit"));
    EXPECT_EQ(rig.sends.Bank(1).record[0], "PS=FM RADIO");
    ASSERT_TRUE(rig.sends.Bank(1).image);
    EXPECT_FALSE(rig.sends.Bank(2).image);
}

TEST(Sends, AFailureKeepsTheRecordAndDoesNotExit) {
    Rig rig(EncoderScenario::StuckLow);
    LastSentRecord earlier{};
    earlier[0] = "PS=EARLIER";
    rig.sends.TakeRecords({earlier, {}});
    rig.set.EXAL = true;
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_THAT(rig.log, ElementsAre("started operator", "10", "20", "50", "failed"));
    EXPECT_EQ(rig.sends.Bank(1).record[0], "PS=EARLIER");
    EXPECT_EQ(rig.sends.Last()->problem.fault, LinkFault::EncoderStuckLow);
}

// Each request's ticket tells its caller how the send that carried it ended.
TEST(Sends, TicketsCompleteWithTheSendThatCarriedThem) {
    Rig rig;
    auto first = rig.Ask("first");
    rig.revision = 8;
    rig.Change("RT=second");
    auto second = rig.Ask("second");
    auto third = rig.Ask("third");
    EXPECT_FALSE(first->Done());
    ASSERT_TRUE(rig.Settle());
    ASSERT_EQ(rig.finished.size(), 2u);
    ASSERT_TRUE(first->Done() && second->Done() && third->Done());
    EXPECT_TRUE(first->Result().OnAir());
    EXPECT_EQ(first->Result().revision, 7u);
    EXPECT_EQ(second->Result().revision, 8u) << "requests during a send share the next";
    EXPECT_EQ(third->Result().at, second->Result().at);
    EXPECT_EQ(rig.sends.Bank(1).revision, 8u);
    EXPECT_FALSE(rig.sends.Bank(2).revision);
}

TEST(Sends, ATicketCarriesTheLinksReasonWhenTheEncoderDoesNotAnswer) {
    Rig rig(EncoderScenario::StuckLow);
    auto ticket = rig.Ask("operator");
    ASSERT_TRUE(rig.Settle());
    ASSERT_TRUE(ticket->Done());
    EXPECT_EQ(ticket->Result().status, SendResult::Status::Failed);
    EXPECT_EQ(ticket->Result().problem.fault, LinkFault::EncoderStuckLow);
    EXPECT_FALSE(rig.sends.Bank(1).revision) << "nothing known on air after a failure";
}

TEST(Sends, TheSecondPortIsAddressedOnceChosen) {
    Rig rig(EncoderScenario::Healthy, kLpt2Base);
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.log.back(), "failed") << "nothing answers on LPT1";
    rig.set.PORT = 1;
    rig.sends.FollowPortChoice();
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.log.back(), "finished");
    EXPECT_FALSE(rig.sends.Link().Port().problem);
}

TEST(Sends, ABFlagTogglesForAChangedRadiotextWithUseAb) {
    Rig rig;
    rig.Change("RTUSAB=1\nRT=one");
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.sends.TextAbState().flag, 1);
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.sends.TextAbState().flag, 1) << "unchanged radiotext";
    EXPECT_EQ(rig.sends.Bank(1).record[24], "RTAB=1");
}

// The send writes what the set held when it started; what changes meanwhile
// goes out in exactly one more send.
TEST(Sends, AChangeDuringASendLeadsToExactlyOneMore) {
    Rig rig;
    rig.Change("RT=first");
    static_cast<void>(rig.Ask("first"));
    rig.Change("RT=second");
    static_cast<void>(rig.Ask("change"));
    EXPECT_TRUE(rig.sends.Holding() || rig.sends.Running());
    EXPECT_TRUE(rig.sends.Wanted());
    ASSERT_TRUE(rig.Settle());
    ASSERT_EQ(rig.finished.size(), 2u);
    EXPECT_EQ(rig.finished[0].record[1], "RT=first");
    EXPECT_EQ(rig.finished[1].record[1], "RT=second");
    EXPECT_EQ(rig.OnAirRadiotext().substr(0, 6), "second");
}

TEST(Sends, ABurstOfAHundredChangesEndsInOneOrTwoSendsWithTheLastValues) {
    Rig rig;
    for (int i = 0; i < 100; ++i) {
        rig.Change("RT=text " + std::to_string(i) + "\nPS=PS " + std::to_string(i));
        static_cast<void>(rig.Ask("burst"));
    }
    ASSERT_TRUE(rig.Settle());
    EXPECT_GE(rig.finished.size(), 1u);
    EXPECT_LE(rig.finished.size(), 2u);
    EXPECT_EQ(rig.finished.back().record[0], "PS=PS 99");
    EXPECT_EQ(rig.OnAirRadiotext().substr(0, 7), "text 99");
}

TEST(Sends, AFailedSendStillLeadsToTheOneThatWaits) {
    Rig rig(EncoderScenario::NoConfirm);
    static_cast<void>(rig.Ask("first"));
    rig.Change("PS=LATER");
    static_cast<void>(rig.Ask("change"));
    ASSERT_TRUE(rig.Settle());
    ASSERT_EQ(rig.finished.size(), 2u);
    EXPECT_TRUE(rig.finished[0].problem);
    EXPECT_EQ(rig.finished[1].record[0], "PS=LATER") << "nothing lost";
}

// With the link's clock standing still the encoder wait can only end by
// being abandoned.
TEST(Sends, StoppingAbandonsASendThatWaitsForAnAbsentEncoder) {
    auto rig = std::make_unique<Rig>(EncoderScenario::StuckHigh);
    rig->timing.frozen = true;
    static_cast<void>(rig->Ask("operator"));
    while (std::find(rig->log.begin(), rig->log.end(), "50") == rig->log.end()) {
        rig->host.RunUntil([&] { return false; }, 10ms);
    }
    auto waiting = rig->Ask("waiting");
    rig->sends.Stop();
    EXPECT_THAT(rig->log, Not(Contains("finished")));
    ASSERT_TRUE(waiting->Done()) << "told, not left waiting";
    EXPECT_EQ(waiting->Result().status, SendResult::Status::NotSent);
}

// What is on air is what the encoder holds, not what the form says: a
// memory that flipped a bit shows it.
TEST(Sends, WhatIsOnAirIsReadBackFromTheEncoder) {
    Rig healthy;
    healthy.Change("PS=ON AIR\nRT=Read back");
    static_cast<void>(healthy.Ask("operator"));
    ASSERT_TRUE(healthy.Settle());
    ASSERT_TRUE(healthy.sends.Bank(1).onAir);
    EXPECT_FALSE(healthy.sends.Bank(2).onAir);
    const MemoryDump& memory = *healthy.sends.Bank(1).onAir;
    const ReceiverView view = DecodeEncoderMemory(memory.area1, memory.area2);
    EXPECT_EQ(view.ps.bytes, "ON AIR  ");
    EXPECT_EQ(view.rt->bytes.substr(0, 9), "Read back");

    Rig corrupt(EncoderScenario::Corrupt);
    static_cast<void>(corrupt.Ask("operator"));
    ASSERT_TRUE(corrupt.Settle());
    const MemoryDump& held = *corrupt.sends.Bank(1).onAir;
    EXPECT_FALSE(DecodeEncoderMemory(held.area1, held.area2).AllBlocksIntact());
    EXPECT_EQ(WrittenMemory(*corrupt.sends.Bank(1).image).area1.size(), 64u) << "the image as sent";
}

TEST(Sends, CalibrationIsMeasuredOnceAndGivesWayToASend) {
    Rig rig;
    rig.sends.StartCalibrating();
    ASSERT_TRUE(rig.Settle());
    ASSERT_TRUE(rig.sends.Link().CpuSpeed());
    const auto turns = rig.timing.Turns();
    static_cast<void>(rig.Ask("operator"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.finished.back().record[26],
              "CPUSPEED=" + std::to_string((*rig.sends.Link().CpuSpeed() - kCpuSpeedBase) / 3));
    EXPECT_LT(rig.timing.Turns() - turns, 10'000'000u) << "no calibration within the send";

    rig.host.Fire("calibration");            // ten minutes on: measured again
    static_cast<void>(rig.Ask("operator"));  // a send that comes meanwhile does not wait for it
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.log.back(), "finished");
    EXPECT_TRUE(rig.sends.Link().CpuSpeed());
}

// --- what the memory is spared ------------------------------------------------

// The page writes the simulated memory took in each block (A0 .. A6).
std::array<int, 4> BlockWrites(const EncoderSimulator& encoder) {
    std::array<int, 4> writes{};
    for (std::size_t block = 0; block < 4; ++block) {
        for (std::size_t page = 0; page < 16; ++page) {
            writes[block] += encoder.PageWrites(block, page);
        }
    }
    return writes;
}

TEST(Sends, OnlyThePagesThatChangedAreWritten) {
    Rig rig;
    rig.Change("RT=A radiotext");  // none would be a flag of the first area
    static_cast<void>(rig.Ask("first"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_THAT(BlockWrites(rig.encoder), ElementsAre(4, 13, 0, 0)) << "the first send: all";

    rig.Change("RT=Only the radiotext");
    static_cast<void>(rig.Ask("radiotext"));
    ASSERT_TRUE(rig.Settle());
    const auto afterRt = BlockWrites(rig.encoder);
    EXPECT_EQ(afterRt[0], 4) << "no page of the first area";
    EXPECT_GT(afterRt[1], 13);

    rig.Change("PS=ONLY PS");
    static_cast<void>(rig.Ask("ps"));
    ASSERT_TRUE(rig.Settle());
    const auto afterPs = BlockWrites(rig.encoder);
    EXPECT_GT(afterPs[0], 4);
    EXPECT_EQ(afterPs[1], afterRt[1]) << "no radiotext page";

    static_cast<void>(rig.Ask("the same again"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder), afterPs) << "nothing changed: nothing written";
    EXPECT_EQ(rig.log.back(), "finished") << "the encoder answered all the same";
    EXPECT_EQ(rig.OnAirRadiotext().substr(0, 18), "Only the radiotext");
}

// Whatever the memory may hold is written whole: after a failed send, on
// another port, with Write every page.
TEST(Sends, EveryPageIsWrittenWhenTheMemoryIsNotKnown) {
    Rig rig(EncoderScenario::Healthy, kLpt2Base);
    rig.set.PORT = 1;
    rig.sends.FollowPortChoice();
    static_cast<void>(rig.Ask("first"));
    ASSERT_TRUE(rig.Settle());
    const auto full = BlockWrites(rig.encoder);

    rig.encoder.SetScenario(EncoderScenario::NoConfirm);
    rig.Change("RT=changed");
    static_cast<void>(rig.Ask("fails"));
    ASSERT_TRUE(rig.Settle());
    ASSERT_EQ(rig.log.back(), "failed");
    rig.encoder.SetScenario(EncoderScenario::Healthy);
    auto before = BlockWrites(rig.encoder);
    static_cast<void>(rig.Ask("after a failure"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder)[0] - before[0], full[0]) << "every page again";
    EXPECT_EQ(BlockWrites(rig.encoder)[1] - before[1], full[1]);

    rig.set.PORT = 0;
    rig.sends.FollowPortChoice();
    rig.set.PORT = 1;
    rig.sends.FollowPortChoice();
    before = BlockWrites(rig.encoder);
    static_cast<void>(rig.Ask("another port"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder)[0] - before[0], full[0]);

    rig.set.WRITEALL = true;
    before = BlockWrites(rig.encoder);
    static_cast<void>(rig.Ask("write every page"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder)[1] - before[1], full[1]);
}

TEST(Sends, AFullWriteAtLeastOnceADay) {
    Rig rig;
    static_cast<void>(rig.Ask("first"));
    ASSERT_TRUE(rig.Settle());
    const auto full = BlockWrites(rig.encoder);
    rig.timing.Advance(std::chrono::hours(23));
    static_cast<void>(rig.Ask("unchanged"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder), full);
    rig.timing.Advance(std::chrono::hours(1));
    static_cast<void>(rig.Ask("a day on"));
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(BlockWrites(rig.encoder)[1], 2 * full[1]);
}

// Whatever the changes between sends, the memory holds what one full send of
// the last set would write: each page the memory plays is the image's.
TEST(Sends, PartialSendsLeaveWhatAFullSendWould) {
    std::mt19937 random(20261209);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int sequence = 0; sequence < 20; ++sequence) {
        Rig rig;
        for (int step = 0; step < 12; ++step) {
            switch (pick(7)) {
                case 0:
                    rig.set.PS = "PS " + std::to_string(pick(100));
                    break;
                case 1:
                    rig.set.RT = pick(3) ? "Radiotext " + std::to_string(pick(1000)) : "";
                    break;
                case 2:
                    rig.set.ENDPS = !rig.set.ENDPS;  // the table comes and goes
                    break;
                case 3:
                    rig.set.DPS[static_cast<std::size_t>(pick(8))] = std::to_string(pick(99));
                    break;
                case 4:
                    rig.set.AUTBSW = !rig.set.AUTBSW;
                    break;
                case 5:
                    rig.set.PI = pick(2) ? "D3C2" : "1234";
                    break;
                default:
                    rig.set.AF[0] = pick(2) ? "87.6" : "104.3";
                    break;
            }
            if (pick(3) > 0) {
                static_cast<void>(rig.Ask("step"));
                ASSERT_TRUE(rig.Settle());
            }
        }
        static_cast<void>(rig.Ask("last"));
        ASSERT_TRUE(rig.Settle());
        ASSERT_TRUE(rig.sends.Bank(1).image);
        const MemoryDump expected = WrittenMemory(*rig.sends.Bank(1).image);
        const MemoryDump held = ReadBack(rig.encoder, 1);
        ASSERT_GE(held.area1.size(), expected.area1.size());
        EXPECT_TRUE(std::equal(expected.area1.begin(), expected.area1.end(), held.area1.begin()))
            << "sequence " << sequence;
        EXPECT_TRUE(std::equal(expected.area2.begin(), expected.area2.end(), held.area2.begin()))
            << "sequence " << sequence;
    }
}

// Changes asked for a moment from now go out in one send; the operator's
// Send is ignored while one runs and for two seconds after the last one
// ended, and its ticket says so.
TEST(Sends, ABurstMakesOneSendAndTheOperatorsSendKeepsItsGuard) {
    Rig rig;
    std::vector<std::shared_ptr<SendTicket>> burst;
    for (int change = 0; change < 20; ++change) {
        rig.Change("PS=PS " + std::to_string(change));
        burst.push_back(rig.sends.Ask(SendWhen::Soon, "client", SendAsker::Client));
    }
    EXPECT_TRUE(rig.sends.SoonPending());
    EXPECT_TRUE(rig.log.empty()) << "nothing before the moment has passed";
    rig.host.Fire("send soon");
    ASSERT_TRUE(rig.Settle());
    ASSERT_EQ(rig.finished.size(), 1u);
    EXPECT_EQ(rig.finished[0].record[0], "PS=PS 19");
    for (const auto& ticket : burst) {
        ASSERT_TRUE(ticket->Done());
        EXPECT_TRUE(ticket->Result().OnAir());
    }

    const auto tooSoon = rig.sends.Ask(SendWhen::Operator, "operator", SendAsker::OperatorsSend);
    ASSERT_TRUE(tooSoon->Done());
    EXPECT_EQ(tooSoon->Result().why, "the last send ended less than 2 s ago");
    rig.timing.Advance(2s);
    const auto later = rig.sends.Ask(SendWhen::Operator, "operator", SendAsker::OperatorsSend);
    EXPECT_TRUE(rig.sends.Running());
    const auto during = rig.sends.Ask(SendWhen::Operator, "operator", SendAsker::OperatorsSend);
    EXPECT_EQ(during->Result().why, "a send is running");
    ASSERT_TRUE(rig.Settle());
    EXPECT_TRUE(later->Result().OnAir());
    EXPECT_EQ(rig.finished.size(), 2u);
}

}  // namespace
}  // namespace vaxo
