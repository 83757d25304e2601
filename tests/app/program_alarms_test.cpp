// The program's alarms on virtual time: raised and cleared from what the
// program sees, kept across a restart, acknowledged by name; the TA limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "alarms/alarm_history_file.h"
#include "app/control_program.h"
#include "link/encoder_simulator.h"
#include "stations/live_text_shaping.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_services.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using What = AlarmEntry::What;

const AlarmKey kEncoderAlarm{AlarmKind::EncoderNotAnswering};
const AlarmKey kTaAlarm{AlarmKind::TaTooLong};

class ProgramAlarmsTest : public ::testing::Test {
  protected:
    void SetUp() override { StartProgram(); }
    void TearDown() override { StopProgram(); }

    void StartProgram() {
        program_ =
            std::make_unique<ControlProgram>(test::TestServices(host_, layer_, timing_, folder_));
        listening_ = program_->Listen([this](const ProgramEvent& event) {
            if (const auto* changed = std::get_if<AlarmChanged>(&event)) {
                told_.push_back(changed->entry);
            }
        });
        program_->Start({});
        Pass(100ms);
    }
    void StopProgram() {
        program_->ReleasePort();
        listening_.Remove();
        program_.reset();
    }
    void Pass(std::chrono::milliseconds span) {
        for (auto passed = 0ms; passed < span; passed += 100ms) {
            timing_.Advance(100ms);
            host_.RunPending();
            host_.FireDue();
            ASSERT_TRUE(host_.RunUntil([&] {
                return !program_->View().LinkBusy() && !program_->View().LookingAtFeeds();
            }));
            host_.RunPending();
        }
    }
    std::chrono::milliseconds Until(const std::function<bool()>& done,
                                    std::chrono::milliseconds limit) {
        auto passed = 0ms;
        while (!done() && passed < limit) {
            Pass(100ms);
            passed += 100ms;
        }
        return passed;
    }
    bool Stands(const AlarmKey& key) const { return program_->View().Alarms().Stands(key); }
    CommandOutcome Do(CommandAction action,
                      Origin origin = {Origin::Kind::WebSession, "web 192.0.2.7"}) {
        return program_->Execute({std::move(origin), std::move(action)});
    }
    std::string History() const { return test::ReadBytes(folder_ / kAlarmHistoryFileName); }

    test::OwnRuntimeDir runtime_;
    test::TempDir folder_;
    test::FakeLinkTiming timing_{test::kUptimeAfterBoot};
    test::ManualHost host_{[this] { return timing_.Now(); }};
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    std::unique_ptr<ControlProgram> program_;
    Subscription listening_;
    std::vector<AlarmEntry> told_;
};

// The encoder goes away with nothing sent: raised within 15 s, told once,
// written to the history; it stands after a restart (not raised again) and
// clears once the encoder has answered for the hysteresis.
TEST_F(ProgramAlarmsTest, AnEncoderThatGoesAwayIsRaisedKeptAcrossARestartAndCleared) {
    Pass(5s);
    EXPECT_TRUE(told_.empty()) << "a healthy start raises nothing";
    encoder_.SetScenario(EncoderScenario::Absent);
    EXPECT_LE(Until([&] { return Stands(kEncoderAlarm); }, 30s), 15s);
    ASSERT_EQ(told_.size(), 1U);
    EXPECT_EQ(told_[0].what, What::Raised);
    EXPECT_EQ(told_[0].text, "its status line stays low");
    EXPECT_THAT(History(),
                HasSubstr("\traised\tencoder_not_answering\t\tits status line stays low"));
    ASSERT_TRUE(Do(AcknowledgeAlarm{"encoder_not_answering"}).Accepted());
    EXPECT_EQ(Do(AcknowledgeAlarm{"encoder_not_answering"}).Why(),
              "acknowledged already by web 192.0.2.7");
    EXPECT_EQ(Do(AcknowledgeAlarm{"no_such_alarm"}).Why(), "no such alarm: no_such_alarm");

    StopProgram();
    told_.clear();
    StartProgram();
    EXPECT_TRUE(Stands(kEncoderAlarm));
    EXPECT_TRUE(program_->View().Alarms().Active().at(kEncoderAlarm).acknowledged);
    Pass(20s);
    EXPECT_TRUE(told_.empty()) << "still away: not raised a second time";

    encoder_.SetScenario(EncoderScenario::Healthy);
    const auto clearing = Until([&] { return !Stands(kEncoderAlarm); }, 60s);
    EXPECT_GE(clearing, 10s);
    EXPECT_LE(clearing, 20s);
    ASSERT_EQ(told_.size(), 1U);
    EXPECT_EQ(told_[0].what, What::Cleared);
    EXPECT_THAT(History(), HasSubstr("\tcleared\tencoder_not_answering\t\t\n"));
}

// TA left on past its limit goes off with one send, and the alarm stands
// until someone acknowledges it or sets TA again; 0 is no limit.
TEST_F(ProgramAlarmsTest, TaLeftOnPastItsLimitIsTurnedOffWithASend) {
    const Origin window{Origin::Kind::Window};
    ASSERT_TRUE(Do(SetFields{{{FieldId::TALIMIT, FieldValue(1)}}}, window).Accepted());
    ASSERT_TRUE(Do(SetFields{{{FieldId::TA, FieldValue(true)}}}, window).Accepted());
    Pass(55s);
    EXPECT_EQ(program_->View().Station().TA, 1);
    const auto sends = program_->View().SendsEnded().onAir;
    EXPECT_LE(Until([&] { return program_->View().Station().TA == 0; }, 30s), 10s);
    EXPECT_TRUE(Stands(kTaAlarm));
    EXPECT_EQ(program_->View().Stamp(FieldId::TA).origin, "the TA limit");
    Until([&] { return program_->View().SendsEnded().onAir > sends; }, 10s);
    EXPECT_EQ(program_->View().SendsEnded().onAir, sends + 1);
    ASSERT_TRUE(program_->View().Bank(1).sent);
    EXPECT_EQ(program_->View().Bank(1).sent->TA, 0) << "the memory holds TA off";

    ASSERT_TRUE(Do(AcknowledgeAlarm{"ta_too_long"}).Accepted());
    EXPECT_FALSE(Stands(kTaAlarm));

    ASSERT_TRUE(Do(SetFields{{{FieldId::TALIMIT, FieldValue(0)}}}, window).Accepted());
    ASSERT_TRUE(Do(SetFields{{{FieldId::TA, FieldValue(true)}}}, window).Accepted());
    Pass(3min);
    EXPECT_EQ(program_->View().Station().TA, 1) << "no limit";
    EXPECT_FALSE(Stands(kTaAlarm));
}

// A radiotext file that stops changing for its limit gives way to the
// fallback with one send, and its next change takes over with one send;
// each way the alarms follow.
TEST_F(ProgramAlarmsTest, AStaleFeedGivesWayToTheFallbackAndTakesOverAgainOneSendEachWay) {
    const auto writeFeed = [&](const std::string& text) {
        test::WriteBytes(folder_ / "rt.txt", text);
        std::filesystem::last_write_time(folder_ / "rt.txt",
                                         std::filesystem::file_time_type::clock::now() - 10s);
    };
    writeFeed("Now playing: the first song");
    const Origin window{Origin::Kind::Window};
    ASSERT_TRUE(Do(SetFields{{{FieldId::RTSTALE, FieldValue(1)},
                              {FieldId::RTFB, FieldValue(std::string("Rock FM - more music"))},
                              {FieldId::RTFF, FieldValue(true)}}},
                   window)
                    .Accepted());
    const auto rt = [&] { return program_->View().Station().RT.str(); };
    const auto sent = [&] { return program_->View().SendsEnded().onAir; };
    const AlarmKey fallback{AlarmKind::FallbackOnAir, "radiotext"};
    const AlarmKey unchanged{AlarmKind::FeedUnchanged, "radiotext"};
    Until([&] { return rt() == "Now playing: the first song" && sent() == 1; }, 10s);
    ASSERT_EQ(sent(), 1U);

    EXPECT_LE(Until([&] { return rt() == "Rock FM - more music"; }, 90s),
              60s + AlarmKeeping::kLookEvery);
    Pass(20s);
    EXPECT_EQ(rt(), "Rock FM - more music") << "the stale text does not come back at each look";
    EXPECT_EQ(sent(), 2U);
    EXPECT_EQ(program_->View().Bank(1).record[1], "RT=Rock FM - more music");
    EXPECT_TRUE(Stands(fallback));
    EXPECT_TRUE(Stands(unchanged));
    EXPECT_EQ(program_->View().Stamp(FieldId::RT).origin, "the fallback");

    writeFeed("Now playing: the next song");
    EXPECT_LE(Until([&] { return rt() == "Now playing: the next song"; }, 30s), 10s);
    Pass(10s);
    EXPECT_EQ(sent(), 3U);
    EXPECT_EQ(program_->View().Bank(1).record[1], "RT=Now playing: the next song");
    EXPECT_FALSE(Stands(fallback));
    EXPECT_FALSE(Stands(unchanged));

    // Without a fallback text of its own, the station's own radiotext.
    ASSERT_TRUE(Do(SetFields{{{FieldId::RTFB, FieldValue(std::string())}}}, window).Accepted());
    Until([&] { return Stands(fallback); }, 90s);
    EXPECT_EQ(rt(), "") << "radiotext 1 as the station set it: empty";
}

// The dynamic-PS file's fallback is a line shaped as the file's lines are:
// eight texts of its words, as the station's alignment makes them.
TEST_F(ProgramAlarmsTest, AStaleDynamicPsFileGivesWayToItsShapedFallbackLine) {
    test::WriteBytes(folder_ / "dps.txt", "ARTIST TITLE");
    std::filesystem::last_write_time(folder_ / "dps.txt",
                                     std::filesystem::file_time_type::clock::now() - 10s);
    const Origin window{Origin::Kind::Window};
    ASSERT_TRUE(Do(SetFields{{{FieldId::DPSSTALE, FieldValue(2)},
                              {FieldId::DPSFB, FieldValue(std::string("ROCK FM MORE MUSIC"))},
                              {FieldId::DPSFF, FieldValue(true)},
                              {FieldId::DPSE, FieldValue(true)}}},
                   window)
                    .Accepted());
    const auto dps = [&](std::size_t k) { return program_->View().Station().DPS[k].str(); };
    Until([&] { return dps(0) == "ARTIST  "; }, 10s);
    ASSERT_EQ(dps(0), "ARTIST  ");
    Pass(100s);
    EXPECT_EQ(dps(0), "ARTIST  ") << "not before its limit";
    EXPECT_LE(Until([&] { return dps(0) != "ARTIST  "; }, 60s), 30s);
    const RdsParameterSet& set = program_->View().Station();
    const auto shaped = SplitDpsSegments(
        ProcessDpsLine("ROCK FM MORE MUSIC", {set.DPSA, set.DPSC, set.EFCHAR.str()}));
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        EXPECT_EQ(dps(k), shaped[k]) << k;
    }
    EXPECT_THAT(dps(0), HasSubstr("ROCK"));
    EXPECT_TRUE(Stands({AlarmKind::FallbackOnAir, "dynamic_ps"}));
}

// A history no reader can take is put aside and a new one begins; one that
// is a link is never followed.
TEST_F(ProgramAlarmsTest, AHistoryThatCannotBeReadIsKeptAside) {
    StopProgram();
    test::WriteBytes(folder_ / kAlarmHistoryFileName, std::string(2 << 20, 'x'));
    StartProgram();
    EXPECT_THAT(program_->View().AlarmTrouble(), HasSubstr("is kept as"));
    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        kept = kept || entry.path().filename().string().rfind("vaxow.alarms.kept-", 0) == 0;
    }
    EXPECT_TRUE(kept);
    encoder_.SetScenario(EncoderScenario::StuckHigh);
    Until([&] { return Stands(kEncoderAlarm); }, 30s);
    EXPECT_THAT(History(), HasSubstr("raised\tencoder_not_answering"));
}

}  // namespace
}  // namespace vaxo
