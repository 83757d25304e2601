// The encoder's memory outlives the station: sends from outside capped, each
// page within its budget of writes, every write counted across runs. On
// virtual time: the loop's timers fire as the link's clock passes them, and
// every case runs as on a machine that booted a minute ago and as on one
// that has run for three days.
#ifndef _WIN32
#include <stdlib.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/control_program.h"
#include "base/file_io.h"
#include "base/overloaded.h"
#include "encoding/receiver_view.h"
#include "link/encoder_simulator.h"
#include "platform/program_dir.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/field_lines.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::Change;
using test::ReadBytes;
using test::WriteBytes;

class MemoryWear : public ::testing::TestWithParam<std::chrono::hours::rep> {
  protected:
    void TearDown() override { Stop(); }

    void Start(const std::string& settings = "") {
        if (!settings.empty()) {
            WriteBytes(folder_ / "vaxow.ini", settings);
        }
        program_ = std::make_unique<ControlProgram>(
            ProgramServices{host_, layer_, layer_, timing_,
                            [] {
                                return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
                            },
                            WithSeparator(folder_.path())});
        listening_ = program_->Listen([this](const ProgramEvent& event) {
            std::visit(Overloaded{
                           [this](const SendStarted&) { ++sends_; },
                           [this](const SendsHeld&) { ++holdsTold_; },
                           [this](const ErrorReported& error) { errors_.push_back(error.text); },
                           [](const auto&) {},
                       },
                       event);
        });
        program_->Start({});
        Turn();
    }
    void Stop() {
        if (program_) {
            EXPECT_TRUE(program_->SaveOnExit());
            program_->ReleasePort();
            listening_.Remove();
            program_.reset();
        }
    }
    // Runs what is due: posted work, the timers whose time has come, the
    // link's work to its end.
    void Turn() {
        for (;;) {
            host_.RunPending();
            host_.FireDue();
            ASSERT_TRUE(host_.RunUntil([&] { return !program_->View().LinkBusy(); }));
            host_.RunPending();
            if (host_.Pending() == 0 && !program_->View().LinkBusy()) {
                return;
            }
        }
    }
    // `span` of virtual time passes in steps.
    void Pass(std::chrono::milliseconds span, std::chrono::milliseconds step = 100ms) {
        for (auto passed = 0ms; passed < span; passed += step) {
            timing_.Advance(step);
            Turn();
        }
    }
    CommandOutcome FromOutside(const std::string& lines) {
        return Change(*program_, lines, {Origin::Kind::TextClient, "text 192.0.2.7:4000"});
    }
    std::string OnAirRadiotext() const {
        const MemoryDump memory = ReadBack(encoder_, 1);
        const ReceiverView view = DecodeEncoderMemory(memory.area1, memory.area2);
        return view.rt ? view.rt->bytes.substr(0, view.rt->bytes.find_last_not_of(' ') + 1) : "";
    }

    test::OwnRuntimeDir runtime_;
    test::TempDir folder_;
    test::FakeLinkTiming timing_{GetParam() == 0 ? test::kUptimeAfterBoot
                                                 : std::chrono::hours(GetParam())};
    test::ManualHost host_{[this] { return timing_.Now(); }};
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    std::unique_ptr<ControlProgram> program_;
    Subscription listening_;
    int sends_ = 0;
    int holdsTold_ = 0;
    std::vector<std::string> errors_;
};

// A playout system that changes the radiotext ten times a second for 30 s:
// a send at most every 3 s, and the last text on air soon after.
TEST_P(MemoryWear, AFloodMakesASendEveryThreeSecondsAndTheLastValueGoesOnAir) {
    Start();
    Pass(5s);
    const int before = sends_;
    for (int change = 0; change < 300; ++change) {
        ASSERT_TRUE(FromOutside("RT=Title " + std::to_string(change)).Accepted());
        Pass(100ms);
    }
    EXPECT_LE(sends_ - before, 13);
    Pass(3s);
    EXPECT_EQ(OnAirRadiotext(), "Title 299");
    EXPECT_EQ(program_->View().Bank(1).revision, program_->View().Revision());
}

// 3650 cycles over one year: ten writes a day for each page. A flood of PS
// changes writes no page more than that after the first full write, and
// the hold is told.
TEST_P(MemoryWear, AFloodStaysWithinEachPagesBudgetAndTheHoldIsTold) {
    Start("ENDURANCE=3650\r\nWEARYEARS=1\r\n");
    FromOutside("PS=FIRST");
    Pass(1s);
    std::array<int, 16> afterFirst{};
    for (std::size_t page = 0; page < 16; ++page) {
        afterFirst[page] = encoder_.PageWrites(0, page);
    }
    ASSERT_EQ(afterFirst[0], 1) << "the first send wrote every page once";
    for (int change = 0; change < 600; ++change) {  // one a second for ten minutes
        ASSERT_TRUE(FromOutside("PS=PS " + std::to_string(change)).Accepted());
        Pass(1s, 500ms);
    }
    for (std::size_t page = 0; page < 16; ++page) {
        EXPECT_LE(encoder_.PageWrites(0, page) - afterFirst[page], 10) << "page " << page;
    }
    EXPECT_EQ(holdsTold_, 1) << "told once, then once an hour";
    ASSERT_TRUE(program_->View().Held());
    EXPECT_NEAR(program_->View().Held()->perDay, 10.0, 1e-9);
    EXPECT_GT(program_->View().Held()->next, std::chrono::system_clock::now());

    // The operator's own Send always goes.
    timing_.Advance(3s);
    const CommandOutcome send = test::Do(*program_, SendStation{SendWhen::Operator});
    Turn();
    ASSERT_TRUE(send.send && send.send->Done());
    EXPECT_TRUE(send.send->Result().OnAir());
}

// The ledger counts exactly the page writes the memory took, and finds them
// again after a restart.
TEST_P(MemoryWear, TheLedgerCountsEveryWriteAndSurvivesARestart) {
    Start();
    for (int change = 0; change < 5; ++change) {
        FromOutside("RT=Text " + std::to_string(change));
        Pass(4s);
    }
    const auto counts = [&] {
        PageCounts expected{};
        for (std::size_t block = 0; block < 4; ++block) {
            for (std::size_t page = 0; page < 16; ++page) {
                expected[block][page] =
                    static_cast<std::uint64_t>(encoder_.PageWrites(block, page));
            }
        }
        return expected;
    };
    EXPECT_EQ(program_->View().Ledger().Counts(), counts());
    Stop();
    EXPECT_THAT(ReadBytes(folder_ / "vaxow.wear"), ::testing::HasSubstr("\r\nA2 "));

    Start();
    EXPECT_EQ(program_->View().Ledger().Counts(), counts()) << "read back at the start";
    FromOutside("RT=After the restart");
    Pass(4s);
    EXPECT_EQ(program_->View().Ledger().Counts(), counts());
}

// A ledger this run cannot take (too long to read, a count no page reaches,
// a link planted in its place) is set aside under its date, told, and never
// written over; the link's target stays as it was.
TEST_P(MemoryWear, ALedgerThatCannotBeReadIsKeptAsideAndNeverOverwritten) {
    [[maybe_unused]] const std::string outside = folder_ / "elsewhere.txt";
    const std::vector<std::pair<std::string, std::function<void()>>> plantings{
        {"too long", [&] { WriteBytes(folder_ / "vaxow.wear", std::string(2 << 20, '#')); }},
        {"implausible",
         [&] {
             std::string line = "A0 18446744073709551615";
             for (int page = 1; page < 16; ++page) {
                 line += " 0";
             }
             WriteBytes(folder_ / "vaxow.wear", "since 1\r\n" + line + "\r\n");
         }},
#ifndef _WIN32
        {"a link",
         [&] {
             WriteBytes(outside, "not a ledger");
             std::filesystem::create_symlink(outside, folder_ / "vaxow.wear");
         }},
#endif
    };
    for (const auto& [what, plant] : plantings) {
        SCOPED_TRACE(what);
        std::filesystem::remove(folder_ / "vaxow.wear");
        plant();
        const std::string before = ReadBytes(folder_ / "vaxow.wear");
        errors_.clear();
        Start();
        ASSERT_THAT(errors_, ::testing::Contains(::testing::HasSubstr("is kept as ")));
        const std::string told = errors_.back();
        const std::string aside =
            told.substr(told.find("is kept as ") + 11,
                        told.find(" and the page") - told.find("is kept as ") - 11);
        EXPECT_THAT(aside, ::testing::HasSubstr("vaxow.wear.kept-"));
        EXPECT_EQ(program_->View().WearTrouble(), told) << "the page shows it too";
        FromOutside("RT=Counted afresh");
        Pass(4s);
        Stop();
        EXPECT_EQ(ReadBytes(aside), before);
        EXPECT_FALSE(std::filesystem::is_symlink(folder_ / "vaxow.wear"));
        EXPECT_THAT(ReadBytes(folder_ / "vaxow.wear"), ::testing::HasSubstr("\r\nA2 "));
        std::filesystem::remove(aside);
    }
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(outside), "not a ledger");
#endif
}

// A client that changes the radiotext every 3 s spends its share of the
// pages it writes; from then on its changes wait, and the hold is told, while
// an operator's change from the page goes on air within a second.
TEST_P(MemoryWear, AClientThatSpentItsShareNeverMakesTheOperatorWait) {
    Start("ENDURANCE=36500\r\nWEARYEARS=1\r\n");  // a hundred writes a day
    int changes = 0;
    for (; holdsTold_ == 0 && changes < 200; ++changes) {
        ASSERT_TRUE(FromOutside("RT=Title " + std::to_string(changes)).Accepted());
        Pass(3s);
    }
    ASSERT_EQ(holdsTold_, 1);
    EXPECT_NEAR(changes, 75, 2) << "three quarters of a day's hundred";
    ASSERT_TRUE(program_->View().Held());
    const std::string heldBack = "Title " + std::to_string(changes - 1);
    EXPECT_NE(OnAirRadiotext(), heldBack);

    const Origin operatorOnThePage{Origin::Kind::WebSession, "web 127.0.0.1"};
    ASSERT_TRUE(Change(*program_, "RT=From the studio", operatorOnThePage).Accepted());
    Pass(1s);
    EXPECT_EQ(OnAirRadiotext(), "From the studio");

    ASSERT_TRUE(FromOutside("RT=Title again").Accepted());
    Pass(10s);
    EXPECT_EQ(OnAirRadiotext(), "From the studio") << "the client still waits";
    EXPECT_TRUE(program_->View().Held());
    EXPECT_EQ(holdsTold_, 1) << "and was told so once";
}

INSTANTIATE_TEST_SUITE_P(Uptimes, MemoryWear, ::testing::Values(0, 72), [](const auto& info) {
    return info.param == 0 ? std::string("UpAMinute") : "Up" + std::to_string(info.param) + "Hours";
});

}  // namespace
}  // namespace vaxo
