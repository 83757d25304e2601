// The encoder watched between sends: its status line read (never written)
// every few seconds, on virtual time, as on a machine that booted a minute
// ago and as on one that has run for three days.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/control_program.h"
#include "app/health.h"
#include "base/overloaded.h"
#include "link/encoder_simulator.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_services.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using State = EncoderAnswer::State;

class EncoderProbeTest : public ::testing::TestWithParam<std::chrono::hours::rep> {
  protected:
    void SetUp() override {
        program_ =
            std::make_unique<ControlProgram>(test::TestServices(host_, layer_, timing_, folder_));
        listening_ = program_->Listen([this](const ProgramEvent& event) {
            if (const auto* changed = std::get_if<EncoderAnswerChanged>(&event)) {
                told_.push_back(changed->answer);
            }
        });
        program_->Start({});
        Pass(100ms);
    }
    void TearDown() override {
        program_->ReleasePort();
        listening_.Remove();
    }
    void Pass(std::chrono::milliseconds span) {
        for (auto passed = 0ms; passed < span; passed += 100ms) {
            timing_.Advance(100ms);
            host_.RunPending();
            host_.FireDue();
            ASSERT_TRUE(host_.RunUntil([&] { return !program_->View().LinkBusy(); }));
            host_.RunPending();
        }
    }
    // Virtual time until the answer is `state`; how long that took.
    std::chrono::milliseconds Until(State state, std::chrono::milliseconds limit = 60s) {
        auto passed = 0ms;
        while (program_->View().Encoder().state != state && passed < limit) {
            Pass(100ms);
            passed += 100ms;
        }
        return passed;
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
    std::vector<EncoderAnswer> told_;
};

// With nothing sent: the encoder is known to answer at once, and to stop
// within 15 s of its line sticking or of its going away; it answers again at
// the next probe after it comes back. Each change is told once, and the
// probe never writes to the port.
TEST_P(EncoderProbeTest, AnEncoderThatStopsAndComesBackIsToldWithinSecondsWithoutASend) {
    EXPECT_LE(Until(State::Answering), EncoderProbe::kEvery) << "known from the start";
    const long writes = encoder_.Writes();
    for (const auto& [scenario, reason] : std::vector<std::pair<EncoderScenario, std::string>>{
             {EncoderScenario::StuckHigh, "its status line stays high"},
             {EncoderScenario::StuckLow, "its status line stays low"},
             {EncoderScenario::Absent, "its status line stays low"}}) {
        SCOPED_TRACE(reason);
        told_.clear();
        encoder_.SetScenario(scenario);
        EXPECT_LE(Until(State::NotAnswering), 15s);
        EXPECT_EQ(program_->View().Encoder().reason, reason);
        EXPECT_EQ(HealthOf(program_->View()).link, Health::Link::Bad);
        EXPECT_THAT(HealthOf(program_->View()).linkText, ::testing::HasSubstr(reason));
        Pass(30s);
        encoder_.SetScenario(EncoderScenario::Healthy);
        EXPECT_LE(Until(State::Answering), EncoderProbe::kEvery);
        ASSERT_EQ(told_.size(), 2u) << "one change each way";
        EXPECT_EQ(told_[0].state, State::NotAnswering);
        EXPECT_EQ(told_[1].state, State::Answering);
    }
    EXPECT_EQ(encoder_.Writes(), writes) << "reads only: nothing written, nothing worn";
    EXPECT_EQ(program_->View().LastSendEnded(), std::nullopt) << "and no send asked for";
}

TEST(EncoderTimeline, ScenariosInTurnEachFromItsSecond) {
    const TimelineReading read = ParseEncoderTimeline("healthy,absent@20,stuck-high@60");
    ASSERT_EQ(read.refusal, "");
    ASSERT_EQ(read.timeline.size(), 3u);
    EXPECT_EQ(read.timeline[1].scenario, EncoderScenario::Absent);
    EXPECT_EQ(read.timeline[2].from, 60s);
    EXPECT_EQ(ParseEncoderTimeline("corrupt").timeline.front().scenario, EncoderScenario::Corrupt);
    for (const char* wrong : {"bogus", "healthy,absent@x", "healthy,absent@20,healthy@20",
                              "absent@5", "healthy,", "healthy,absent@-1", ""}) {
        EXPECT_NE(ParseEncoderTimeline(wrong).refusal, "") << wrong;
    }

    EncoderSimulator encoder;
    auto now = 0s;
    encoder.FollowTimeline(ParseEncoderTimeline("healthy,stuck-high@20,stuck-low@30").timeline,
                           [&] { return std::chrono::steady_clock::duration(now); });
    const auto status = [&] { return encoder.PortRead(kLpt1Base + 1, PortWidth::Byte); };
    now = 25s;
    EXPECT_EQ(status(), kStatusBit);
    EXPECT_EQ(status(), kStatusBit);
    now = 30s;
    EXPECT_EQ(status(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Uptimes, EncoderProbeTest, ::testing::Values(0, 72),
                         [](const ::testing::TestParamInfo<std::chrono::hours::rep>& info) {
                             return info.param == 0 ? std::string("UpAMinute")
                                                    : "Up" + std::to_string(info.param) + "Hours";
                         });

}  // namespace
}  // namespace vaxo
