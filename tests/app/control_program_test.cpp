#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/control_program.h"
#include "app/settings_file.h"
#include "base/file_io.h"
#include "base/overloaded.h"
#include "base/text_lines.h"
#include "encoding/receiver_view.h"
#include "link/encoder_simulator.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "stations/station_file.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/field_lines.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/settle.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::Change;
using test::Do;
using test::FakeLinkTiming;
using test::ManualHost;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// What the program told its listeners, as short words.
struct Heard {
    void Note(const ProgramEvent& event) {
        std::visit(
            Overloaded{
                [this](const ErrorReported& e) { errors.push_back(e.text); },
                [this](const TitleChanged& t) { title = t.title; },
                [this](const PriorityRefused&) { ++priorityRefusals; },
                [this](const SendStarted& s) { events.push_back("send " + s.reason); },
                [this](const SendFinished& f) { events.push_back(f.problem ? "failed" : "sent"); },
                [this](const HandOverTaken&) { events.push_back("restored"); },
                [this](const ExitRequested&) { events.push_back("exit"); },
                [this](const FieldsChanged& f) {
                    changes.push_back(f);
                    alwaysOnTopTold += f.fields.Has(FieldId::ALONTOP) ? 1 : 0;
                },
                [](const auto&) {},
            },
            event);
    }
    std::vector<std::string> events;
    std::vector<std::string> errors;
    std::vector<FieldsChanged> changes;
    std::string title;
    int priorityRefusals = 0;
    long alwaysOnTopTold = 0;
};

class ControlProgramTest : public ::testing::Test {
  protected:
    std::string Dir() const { return WithSeparator(programDir_.path()); }
    std::string File(const std::string& name) const { return programDir_ / name; }

    // On the simulated encoder, or on one whose status line never rises.
    std::unique_ptr<ControlProgram> Make(bool silentEncoder = false) {
        PortLayer& layer = silentEncoder ? silentLayer_ : layer_;
        auto program = std::make_unique<ControlProgram>(
            ProgramServices{host_, layer, layer, timing_,
                            [] {
                                return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
                            },
                            Dir()});
        listening_.push_back(
            program->Listen([this](const ProgramEvent& event) { heard_.Note(event); }));
        return program;
    }
    std::unique_ptr<ControlProgram> Start(std::vector<std::string> arguments = {}) {
        auto program = Make();
        program->Start(arguments);
        Settle(*program);
        return program;
    }
    // Lets the link thread finish what it was given.
    void Settle(const ControlProgram& program) {
        ASSERT_TRUE(test::SettleThroughHolds(
            host_, timing_, [&] { return program.View().Idle(); },
            [&] { return program.View().SendHolding(); }));
    }

    std::vector<std::string> SettingsOnDisk() const {
        return SplitLines(ReadBytes(File("vaxow.dat")));
    }

    test::OwnRuntimeDir runtime_;
    TempDir programDir_;
    ManualHost host_;
    Heard heard_;
    std::vector<Subscription> listening_;
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    EncoderSimulator silent_{EncoderScenario::StuckLow};
    PortLayer silentLayer_{ForwardingPortBackends(silent_)};
    FakeLinkTiming timing_;
};

TEST_F(ControlProgramTest, FirstStartEverShowsTheDesignedDefaultsAndUntitled) {
    auto program = Start();
    ASSERT_TRUE(program->View().Instance().IsFirstInstance());
    EXPECT_TRUE(heard_.errors.empty());
    EXPECT_TRUE(program->View().StartedCompletely());
    EXPECT_EQ(heard_.title, "VAXO for Windows 3 - RDS Encoder Solution, version 3.60");
    host_.Fire("live text");
    EXPECT_EQ(heard_.title, "VAXO for Windows 3 - untitled.rds");
    EXPECT_EQ(program->View().Station().PS, "FM RADIO");
    EXPECT_EQ(program->View().Station().PI, "FFFF");
    EXPECT_EQ(program->View().Document().Remembered(), "untitled.rds");
    EXPECT_TRUE(layer_.PortAccessAvailable());
    EXPECT_EQ(encoder_.Writes(), 1) << "the port's lines were set to rest";
    EXPECT_THAT(host_.timerEvents, Contains("live text 3000"));
    EXPECT_TRUE(program->View().CpuSpeed()) << "calibrated at start";

    EXPECT_TRUE(program->SaveOnExit());
    std::vector<std::string> expected{"untitled.rds", "", "", "", "0", "0", "0", "0", "0"};
    expected.resize(kSettingsLines);
    EXPECT_EQ(SettingsOnDisk(), expected);
}

TEST_F(ControlProgramTest, OneArgumentIsLoadedAndRememberedWithOrWithoutClear) {
    WriteBytes(File("partial.rds"), "PS=PARTIAL\r\n");
    auto program = Start({File("partial.rds")});
    EXPECT_EQ(program->View().Station().PS, "PARTIAL");
    EXPECT_EQ(program->View().Document().Remembered(), File("partial.rds"));
}

TEST_F(ControlProgramTest, TwoArgumentsAreIgnoredAndRelativeNamesResolveInTheProgramFolder) {
    WriteBytes(File("remembered.rds"), "CLEAR\r\nPS=REMEMBER\r\n");
    WriteBytes(File("other.rds"), "CLEAR\r\nPS=OTHER\r\n");
    std::vector<std::string> settings{"remembered.rds", "", "", "", "0", "0", "0", "0", "0"};
    settings.resize(kSettingsLines);
    WriteBytes(File("vaxow.dat"), JoinLinesCrLf(settings));
    std::filesystem::current_path("/");
    EXPECT_EQ(Start({"other.rds", "x"})->View().Station().PS, "REMEMBER");
}

TEST_F(ControlProgramTest, RelativeArgumentMeansTheFolderTheStartWasMadeIn) {
    WriteBytes(File("relative.rds"), "PS=PROGRAM\r\n");
    TempDir elsewhere;
    WriteBytes(elsewhere / "relative.rds", "PS=HERE\r\n");
    std::filesystem::current_path(elsewhere.path());
    auto program = Start({"relative.rds"});
    EXPECT_EQ(program->View().Station().PS, "HERE");
    EXPECT_EQ(program->View().Document().Name(), elsewhere / "relative.rds");
}

TEST_F(ControlProgramTest, AutoSaveLeavesAStationItCouldNotReadAlone) {
    const std::string huge = std::string(kSmallFileLimit + 1, '\n');
    WriteBytes(File("damaged.rds"), huge);
    std::vector<std::string> settings{File("damaged.rds"), "", "", "", "1", "0", "1", "1", "0"};
    settings.resize(kSettingsLines);
    WriteBytes(File("vaxow.dat"), JoinLinesCrLf(settings));
    auto program = Start();
    ASSERT_EQ(heard_.errors.size(), 1u);
    EXPECT_EQ(heard_.errors[0], "Cannot open file " + File("damaged.rds"));
    EXPECT_TRUE(program->View().Station().ALONTOP);
    EXPECT_GT(heard_.alwaysOnTopTold, 0) << "options act as they are read";
    EXPECT_TRUE(program->SaveOnExit());
    EXPECT_EQ(heard_.errors.back(),
              "Auto Save left " + File("damaged.rds") + " alone: it could not be read");
    EXPECT_EQ(ReadBytes(File("damaged.rds")), huge);
    EXPECT_EQ(SettingsOnDisk(), settings) << "the remembered station and every option kept";
    if (heard_.priorityRefusals == 0) {
#ifndef _WIN32
        EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), -10);
#endif
        static_cast<void>(SetHighProcessPriority(false));
    } else {
        EXPECT_EQ(heard_.priorityRefusals, 1) << "told once, although applied twice";
    }
}

TEST_F(ControlProgramTest, AutoSaveWritesTheWholeSetButTheSettingsKeepTheRememberedFile) {
    WriteBytes(File("remembered.rds"), "CLEAR\r\nPS=FIRST\r\n");
    auto program = Start({File("remembered.rds")});
    Change(*program, "AUTOSAVE=1");
    WriteBytes(File("update.rds"), "RT=Only a radiotext\r\n");
    Do(*program, LoadStation{File("update.rds")});
    EXPECT_EQ(program->View().Station().RT, "Only a radiotext");
    EXPECT_TRUE(program->SaveOnExit());
    EXPECT_EQ(ReadBytes(File("update.rds")), StationFileText(program->View().Station()));
    EXPECT_EQ(SettingsOnDisk().at(0), File("remembered.rds"));
    EXPECT_EQ(SettingsOnDisk().at(6), "1");
}

TEST_F(ControlProgramTest, SaveAsRemembersTheNewFile) {
    auto program = Start();
    Do(*program, SaveStationAs{File("saved as.rds")});
    EXPECT_EQ(program->View().Document().Remembered(), File("saved as.rds"));
    EXPECT_EQ(ReadBytes(File("saved as.rds")), StationFileText(program->View().Station()));
}

TEST_F(ControlProgramTest, AFailingSaveAsLeavesEveryNameAsItWas) {
    auto program = Start();
    host_.Fire("live text");
    const CommandOutcome outcome = Do(*program, SaveStationAs{File("24/7 fm.rds")});
    ASSERT_TRUE(outcome.refusal);
    EXPECT_EQ(outcome.refusal->why, "Cannot create file " + File("24/7 fm.rds"));
    EXPECT_EQ(outcome.refusal->code, RefusalCode::FileTrouble);
    ASSERT_EQ(heard_.errors.size(), 1u);
    EXPECT_EQ(heard_.errors[0], "Cannot create file " + File("24/7 fm.rds"));
    EXPECT_EQ(program->View().Document().Name(), "untitled.rds");
    EXPECT_EQ(program->View().Document().Remembered(), "untitled.rds");
    EXPECT_EQ(heard_.title, "VAXO for Windows 3 - untitled.rds");
}

TEST_F(ControlProgramTest, TitleShowsTheFileNamePartFullyLowered) {
    auto program = Start();
    host_.Fire("live text");
    Do(*program, LoadStation{"C:\\Stations\\Radio1.RDS"});
    EXPECT_EQ(heard_.title, "VAXO for Windows 3 - radio1.rds");
    Do(*program, LoadStation{"/home/op/\xC5\xBDIV\xC4\x9A.RDS"});  // ŽIVĚ.RDS
    EXPECT_EQ(heard_.title, "VAXO for Windows 3 - \xC5\xBEiv\xC4\x9B.rds");
}

// A settings file that cannot be read is told, and the station named at the
// start still goes on air; the settings are not written over at the end.
TEST_F(ControlProgramTest, UnreadableSettingsAreToldAndTheStationStillRuns) {
    std::filesystem::create_directory(File("vaxow.dat"));
    WriteBytes(File("station.rds"), "PS=READ\r\n");
    auto program = Start({File("station.rds")});
    ASSERT_FALSE(heard_.errors.empty());
    EXPECT_EQ(heard_.errors.front(), "Cannot open file " + File("vaxow.dat"));
    EXPECT_EQ(program->View().Station().PS, "READ");
    EXPECT_EQ(program->View().Document().Remembered(), File("station.rds"));
    EXPECT_EQ(encoder_.Writes(), 1) << "the port was prepared";
    EXPECT_FALSE(program->View().StartedCompletely());
    EXPECT_TRUE(program->SaveOnExit());
    EXPECT_EQ(heard_.errors.back(), "The settings file " + File("vaxow.dat") +
                                        " is left alone: it could not be read at start");
    EXPECT_TRUE(std::filesystem::is_directory(File("vaxow.dat")));
}

// The station file replaced on disk while the program ran (cp new.rds
// station.rds, then a restart): Auto Save puts the set beside it.
TEST_F(ControlProgramTest, AutoSaveNeverWritesOverAStationReplacedOnDisk) {
    WriteBytes(File("station.rds"), "CLEAR\r\nPI=D3C2\r\n");
    auto program = Start({File("station.rds")});
    Change(*program, "AUTOSAVE=1");
    EXPECT_FALSE(program->View().Document().ChangedOnDisk());
    WriteBytes(File("station.rds"), "CLEAR\r\nPI=D3C3\r\n");
    EXPECT_TRUE(program->View().Document().ChangedOnDisk());
    EXPECT_TRUE(program->SaveOnExit());
    EXPECT_EQ(ReadBytes(File("station.rds")), "CLEAR\r\nPI=D3C3\r\n") << "the new file stays";
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(Dir())) {
        if (entry.path().filename().string().starts_with("station.autosave-")) {
            beside.push_back(entry.path().string());
        }
    }
    ASSERT_EQ(beside.size(), 1u);
    EXPECT_THAT(ReadBytes(beside[0]), ::testing::HasSubstr("\r\nPI=D3C2\r\n"));
    EXPECT_THAT(heard_.errors.back(), ::testing::StartsWith("Auto Save wrote " + beside[0] +
                                                            " beside " + File("station.rds")));

    // Saved by the program itself, it is the program's to write again.
    program->ReleasePort();
    program.reset();
    WriteBytes(File("other.rds"), "CLEAR\r\nPS=OTHER\r\n");
    auto second = Start({File("other.rds")});
    Change(*second, "AUTOSAVE=1");
    Do(*second, SaveStation{});
    Change(*second, "PS=CHANGED");
    EXPECT_TRUE(second->SaveOnExit());
    EXPECT_THAT(ReadBytes(File("other.rds")), ::testing::HasSubstr("\r\nPS=CHANGED\r\n"));
}

#ifndef _WIN32
// As the service user finds a settings file that root copied in: told at
// the start, before a run whose sends would be forgotten.
TEST_F(ControlProgramTest, SettingsThatCannotBeWrittenAreToldAtStart) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "needs root to start as another user";
    }
    std::vector<std::string> settings{"", "", "", "", "0", "0", "0", "0", "0"};
    settings.resize(kSettingsLines);
    WriteBytes(File("vaxow.dat"), JoinLinesCrLf(settings));
    ::chmod(File("vaxow.dat").c_str(), 0644);
    ::chmod(Dir().c_str(), 0777);
    ::chmod(runtime_.path().c_str(), 0777);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        TempDir ownRuntime;
        ::setenv("XDG_RUNTIME_DIR", ownRuntime.path().c_str(), 1);
        ::setenv("VAXO_INSTANCE", ("nobody-" + std::to_string(::getpid())).c_str(), 1);
        auto program = Make();
        program->Start({});
        const bool told = std::find(heard_.errors.begin(), heard_.errors.end(),
                                    "The settings cannot be saved (" + File("vaxow.dat") +
                                        " may not be written by this user): what this run "
                                        "sends will not be remembered") != heard_.errors.end();
        program->ReleasePort();
        ::_exit(told ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not told";
}
#endif

TEST_F(ControlProgramTest, FailedAutoSaveAtExitSkipsTheSettingsFile) {
    auto program = Start();
    Change(*program, "AUTOSAVE=1");
    Do(*program, SaveStationAs{File("missing-folder/station.rds")});
    heard_.errors.clear();
    Do(*program, LoadStation{File("missing-folder/station.rds")});
    EXPECT_FALSE(program->SaveOnExit());
    ASSERT_EQ(heard_.errors.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(File("vaxow.dat")));
}

TEST_F(ControlProgramTest, SendAfterLoadAndExitAfterSendHappenAtTheFirstTick) {
    WriteBytes(File("go.rds"), "CLEAR\r\nSEND=1\r\nEXIT=1\r\n");
    auto program = Start({File("go.rds")});
    EXPECT_TRUE(program->View().SendAfterLoadAsked());
    EXPECT_THAT(heard_.events, Not(Contains("sent"))) << "start-up itself does not send";
    host_.Fire("live text");
    Settle(*program);
    EXPECT_THAT(heard_.events, Contains("send send after load"));
    EXPECT_EQ(heard_.events.back(), "exit");
    EXPECT_FALSE(program->View().SendAfterLoadAsked());
    host_.Fire("live text");
    Settle(*program);
    EXPECT_EQ(std::count(heard_.events.begin(), heard_.events.end(), "sent"), 1) << "once";
}

TEST_F(ControlProgramTest, TheOperatorsSendIsIgnoredWithinTwoSecondsAndWhileOneRuns) {
    auto program = Make();
    program->Start({});
    Do(*program, SendStation{SendWhen::Operator});
    EXPECT_THAT(heard_.events, Not(Contains("send operator"))) << "within two seconds of start";
    Settle(*program);
    timing_.Advance(2s);
    Do(*program, SendStation{SendWhen::Operator});
    Do(*program, SendStation{SendWhen::Operator});
    Settle(*program);
    EXPECT_EQ(std::count(heard_.events.begin(), heard_.events.end(), "sent"), 1)
        << "a click while one runs is no second send";
    timing_.Advance(1900ms);
    Do(*program, SendStation{SendWhen::Operator});
    Settle(*program);
    EXPECT_EQ(std::count(heard_.events.begin(), heard_.events.end(), "sent"), 1);
    timing_.Advance(100ms);
    Do(*program, SendStation{SendWhen::Operator});
    Settle(*program);
    EXPECT_EQ(std::count(heard_.events.begin(), heard_.events.end(), "sent"), 2);
}

TEST_F(ControlProgramTest, SwitchingAlwaysSendsAndTogglesAbOnlyForANewText) {
    auto program = Start();
    Change(*program, "RTUSAB=1\nRT=one\nRT2=two");
    host_.Fire("radiotext switching");
    Settle(*program);
    EXPECT_EQ(program->View().Station().SELRT, 2);
    EXPECT_EQ(program->View().RadiotextAb().flag, 1);
    Change(*program, "RT=\nRT3=\nRT4=");
    host_.Fire("radiotext switching");
    Settle(*program);
    EXPECT_EQ(program->View().Station().SELRT, 2) << "four advances came back to the only text";
    EXPECT_EQ(program->View().RadiotextAb().flag, 1) << "the same text: no toggle";
    EXPECT_EQ(std::count(heard_.events.begin(), heard_.events.end(), "sent"), 2);
}

// A command's outcome is its caller's: a refusal with its reason (nothing
// changes, no revision), a change with the fields it changed and the new
// revision. The events tell every listener what changed, never a refusal's
// reason to another caller.
TEST_F(ControlProgramTest, EachCommandsOutcomeIsItsCallersOwn) {
    auto program = Start();
    heard_.changes.clear();
    const std::uint64_t start = program->View().Revision();
    const Origin client{Origin::Kind::TextClient, "text 192.0.2.7:4000"};
    const CommandOutcome refused = program->Execute(
        {client, SetFields{{{FieldId::PS, std::string("NEW FM")}, {FieldId::PTY, 45}}}, "PTY=45"});
    ASSERT_TRUE(refused.refusal);
    EXPECT_EQ(refused.refusal->why, "PTY takes a number from 0 to 31");
    EXPECT_EQ(refused.refusal->code, RefusalCode::OutOfRange);
    ASSERT_EQ(refused.fields.size(), 2u);
    EXPECT_TRUE(refused.fields[0].Accepted());
    EXPECT_FALSE(refused.fields[1].Accepted());
    EXPECT_TRUE(refused.changed.Empty());
    EXPECT_EQ(refused.revision, start) << "a refusal makes no revision";
    EXPECT_EQ(program->View().Station().PS, "FM RADIO") << "all or none";
    EXPECT_TRUE(heard_.changes.empty());

    const CommandOutcome taken = Change(*program, "PS=NEW FM\nRTSA=1\nRTSAT=2", client);
    EXPECT_TRUE(taken.Accepted());
    EXPECT_THAT(taken.changed.Keys(), ElementsAre("PS", "RTSAT", "RTSA"));
    EXPECT_EQ(taken.revision, start + 1) << "one command, one revision";
    EXPECT_EQ(program->View().Stamp(FieldId::PS).revision, start + 1);
    EXPECT_EQ(program->View().Stamp(FieldId::PS).origin, "text 192.0.2.7:4000");
    EXPECT_EQ(program->View().Stamp(FieldId::PTY).revision, 0u)
        << "a field not changed keeps its stamp";
    EXPECT_TRUE(taken.send) << "a change from outside that goes on air asks for a send";
    ASSERT_EQ(heard_.changes.size(), 1u);
    EXPECT_EQ(heard_.changes[0].origin, "text 192.0.2.7:4000");
    EXPECT_TRUE(program->View().Derived().switching) << "derived state follows";
    EXPECT_THAT(host_.timerEvents, Contains("radiotext switching 120000"));

    EXPECT_EQ(Change(*program, "PS=NEW FM").revision, start + 1) << "the same value is no change";
    EXPECT_EQ(Change(*program, "PS=OTHER").revision, start + 2);
}

// Feeds, loads and the program's own changes count as revisions too.
TEST_F(ControlProgramTest, EveryChangeFromAnyOriginMakesOneRevision) {
    WriteBytes(File("rt.txt"), "from the feed");
    std::filesystem::last_write_time(File("rt.txt"),
                                     std::filesystem::file_time_type::clock::now() - 10s);
    WriteBytes(File("load.rds"), "PS=LOADED\r\nRT=x\r\n");
    auto program = Start();
    const std::uint64_t start = program->View().Revision();
    Change(*program, "RTFF=1");
    host_.Fire("live text");
    Settle(*program);
    EXPECT_EQ(program->View().Station().RT, "from the feed");
    EXPECT_EQ(program->View().Revision(), start + 2);
    EXPECT_EQ(program->View().Stamp(FieldId::RT).origin, "live text");
    Do(*program, LoadStation{File("load.rds")});
    EXPECT_EQ(program->View().Revision(), start + 3);
    EXPECT_EQ(program->View().Stamp(FieldId::PS).origin, "the window");
}

// A station file and a live-text file keep their letters; the memory holds
// them in the RDS character table, a letter it lacks as its base letter.
TEST_F(ControlProgramTest, LettersOfFilesReachTheMemoryAsAReceiverShouldShowThem) {
    const std::string ps = "PS=\x8Elut\xFD\r\n";  // "Žlutý"
    const std::string rt =
        "RT=P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2\r\n";  // "Příliš žluťoučký kůň"
    WriteBytes(File("cz.rds"), ps + rt);
    WriteBytes(File("rt.txt"),
               "\xC5\x81\xC3\xB3"
               "d\xC5\xBA \xE2\x80\x93 \xC5\xBB\xC3\xB3\xC5\x82w");
    std::filesystem::last_write_time(File("rt.txt"),
                                     std::filesystem::file_time_type::clock::now() - 10s);
    auto program = Start();
    const auto onAir = [&] {
        const MemoryDump memory = program->View().Preview();
        return DecodeEncoderMemory(memory.area1, memory.area2);
    };
    Do(*program, LoadStation{File("cz.rds")});
    EXPECT_EQ(onAir().ps.Shown(), "\u017Dlut\u00FD   ");
    EXPECT_EQ(onAir().rt->Shown().substr(0, 28),
              "P\u0159\u00EDli\u0161 \u017Elutou\u010Dk\u00FD ku\u0148 ")
        << "ť and ů have no code";
    Do(*program, SaveStation{});
    EXPECT_THAT(ReadBytes(File("cz.rds")), AllOf(HasSubstr(ps), HasSubstr(rt)))
        << "the file keeps its bytes";

    Change(*program, "RTFF=1");
    host_.Fire("live text");
    Settle(*program);
    // "Łódź – Żółw" in UTF-8, reduced to plain letters as live text is
    EXPECT_EQ(onAir().rt->Shown().substr(0, 13), "Lodz - Zolw  ");
}

// The caller of a send learns how it ended, with the link's reason.
TEST_F(ControlProgramTest, ASendsTicketCompletesWithTheLinksReason) {
    auto program = Make(true);
    program->Start({});
    Settle(*program);
    const CommandOutcome outcome = Do(*program, SendStation{SendWhen::Now, Bank::Two},
                                      {Origin::Kind::WebSession, "web 127.0.0.1"});
    ASSERT_TRUE(outcome.send);
    EXPECT_EQ(program->View().Station().STB, 2) << "the bank chosen first";
    std::optional<SendResult> told;
    outcome.send->WhenDone([&](const SendResult& result) { told = result; });
    Settle(*program);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->status, SendResult::Status::Failed);
    EXPECT_EQ(told->bank, 2);
    EXPECT_EQ(told->problem.fault, LinkFault::EncoderStuckLow);
}

TEST_F(ControlProgramTest, TheOperatorsTicketTellsASuccessAndAnIgnoredClick) {
    auto program = Start();
    timing_.Advance(3s);
    const CommandOutcome good = Do(*program, SendStation{SendWhen::Operator});
    Settle(*program);
    ASSERT_TRUE(good.send && good.send->Done());
    EXPECT_TRUE(good.send->Result().OnAir());
    EXPECT_EQ(good.send->Result().revision, program->View().Revision());
    const CommandOutcome tooSoon = Do(*program, SendStation{SendWhen::Operator});
    ASSERT_TRUE(tooSoon.send && tooSoon.send->Done()) << "the guard answers at once";
    EXPECT_EQ(tooSoon.send->Result().status, SendResult::Status::NotSent);
}

TEST_F(ControlProgramTest, SwitchingTimerRestartsOnlyWhenSwitchedOnOrRetimedWhileRunning) {
    auto program = Start();
    host_.timerEvents.clear();
    Change(*program, "RTSAT=7");
    EXPECT_THAT(host_.timerEvents, ElementsAre()) << "a stopped timer is not started";
    Change(*program, "RTSA=1");
    Change(*program, "RTSA=1");
    Change(*program, "RTSAT=7");
    EXPECT_THAT(host_.timerEvents, ElementsAre("radiotext switching 420000"))
        << "switching on again or the same interval does not restart";
    Change(*program, "RTSAT=8");
    Change(*program, "RTSA=0");
    EXPECT_THAT(host_.timerEvents,
                ElementsAre("radiotext switching 420000", "radiotext switching 480000",
                            "radiotext switching stop"));
    WriteBytes(File("switching.rds"), "CLEAR\r\nRTSA=1\r\nRTSAT=2\r\n");
    Do(*program, LoadStation{File("switching.rds")});
    EXPECT_EQ(host_.timerEvents.back(), "radiotext switching 120000")
        << "a load follows the same rule";
}

TEST_F(ControlProgramTest, ALiveTextChangeDuringASendGoesOutInOneMore) {
    WriteBytes(File("rt.txt"), "first");
    std::filesystem::last_write_time(File("rt.txt"),
                                     std::filesystem::file_time_type::clock::now() - 10s);
    auto program = Start();
    Change(*program, "RTFF=1");
    timing_.Advance(3s);
    Do(*program, SendStation{SendWhen::Operator});
    ASSERT_TRUE(program->View().SendRunning());
    host_.Fire("live text");  // the file's text, while the operator's send runs
    Settle(*program);
    EXPECT_THAT(heard_.events, ElementsAre("send operator", "sent", "send radiotext file", "sent"));
    EXPECT_EQ(program->View().Bank(1).record[1], "RT=first");
}

TEST_F(ControlProgramTest, ASendAskedForRightAfterARemoteChangeIsTheOnlySend) {
    auto program = Start();
    timing_.Advance(3s);
    const Origin web{Origin::Kind::WebSession, "web 127.0.0.1"};
    const CommandOutcome change = Change(*program, "PS=REMOTE", web);
    EXPECT_THAT(host_.timerEvents, Contains("send soon 100"));
    const CommandOutcome send = Do(*program, SendStation{}, web);
    EXPECT_EQ(host_.timerEvents.back(), "send soon stop");
    Settle(*program);
    EXPECT_THAT(heard_.events, ElementsAre("send web 127.0.0.1", "sent"));
    EXPECT_EQ(program->View().Bank(1).record[0], "PS=REMOTE");
    ASSERT_TRUE(change.send && send.send);
    EXPECT_TRUE(change.send->Done() && change.send->Result().OnAir()) << "carried by that send";
}

#ifndef _WIN32  // Windows: a later process hands over in the platform's tests
TEST_F(ControlProgramTest, HandOverFromALaterStartLoadsTheFile) {
    WriteBytes(File("handed over.rds"), "PS=HANDED\r\n");
    auto program = Start();
    const std::string name = File("handed over.rds");
    const pid_t pid = ::fork();
    if (pid == 0) {
        TTellTail later;
        later.MapFileName = kSharedBlockName;
        later.MutexName = kSharedLockName;
        later.Arguments = {name};
        ::_exit(later.Activate() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    program->TakeHandOver();
    EXPECT_EQ(program->View().Station().PS, "HANDED");
    EXPECT_EQ(program->View().Document().Name(), name) << "the quotes are stripped";
    EXPECT_EQ(program->View().Document().Remembered(), "untitled.rds");
    EXPECT_THAT(heard_.events, Contains("restored"));
}

// Without a window to ask, a station's unsaved changes are saved before the
// handed-over file replaces it, and the log says so.
TEST_F(ControlProgramTest, AHandOverSavesUnsavedChangesFirstWithoutAWindow) {
    WriteBytes(File("next.rds"), "PS=NEXT\r\n");
    auto program = Start();
    const Origin web{Origin::Kind::WebSession, "web 192.0.2.7"};
    static_cast<void>(program->Execute({web, SetFields{{{FieldId::PS, std::string("UNSAVED")}}}}));
    ASSERT_TRUE(program->View().HasUnsavedChanges());
    const pid_t pid = ::fork();
    if (pid == 0) {
        TTellTail later;
        later.MapFileName = kSharedBlockName;
        later.MutexName = kSharedLockName;
        later.Arguments = {File("next.rds")};
        ::_exit(later.Activate() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    program->TakeHandOver();
    EXPECT_EQ(program->View().Station().PS, "NEXT");
    EXPECT_THAT(ReadBytes(File("untitled.rds")), HasSubstr("PS=UNSAVED"));
    EXPECT_THAT(heard_.errors, Contains(HasSubstr("the unsaved changes of ")));
    EXPECT_FALSE(program->View().HasUnsavedChanges());
}
#endif

#ifndef _WIN32
// A block garbled by another program is no station name: nothing loads, and
// the exit saves go to the station that was there.
TEST_F(ControlProgramTest, AHandOverThatNamesNoFileIsIgnored) {
    auto program = Start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        TTellTail later;
        later.MapFileName = kSharedBlockName;
        later.MutexName = kSharedLockName;
        later.Arguments = {"\x01\xFF\xFE\x03garbage"};
        ::_exit(later.Activate() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    program->TakeHandOver();
    EXPECT_EQ(program->View().Document().Name(), "untitled.rds");
    EXPECT_THAT(heard_.errors, Contains("A later start handed over something that names no "
                                        "station file; it is ignored"));
    EXPECT_TRUE(program->SaveOnExit());
}
#endif

TEST_F(ControlProgramTest, SecondStartEndsWithoutTouchingPortOrSettings) {
    auto first = Start();
    EncoderSimulator secondEncoder;
    PortLayer secondLayer{ForwardingPortBackends(secondEncoder)};
    ManualHost secondHost;
    ControlProgram second(
        {secondHost, secondLayer, secondLayer, timing_, [] { return ImageClock{}; }, Dir()});
    Heard secondHeard;
    const Subscription listening =
        second.Listen([&](const ProgramEvent& event) { secondHeard.Note(event); });
    second.Start({"x.rds"});
    EXPECT_FALSE(second.View().Instance().IsFirstInstance());
    EXPECT_THAT(secondHeard.events, ElementsAre("exit"));
    EXPECT_FALSE(secondLayer.PortAccessAvailable());
    EXPECT_TRUE(second.SaveOnExit()) << "a later start saves nothing, so nothing fails";
    second.ReleasePort();
    EXPECT_FALSE(std::filesystem::exists(File("vaxow.dat")));
    first->TakeHandOver();
    EXPECT_EQ(first->View().Document().Name(), std::filesystem::absolute("x.rds").string());
}

TEST_F(ControlProgramTest, MultipleArgumentsHandedOverNameNoFile) {
    auto program = Start();
    Do(*program, LoadStation{"a.rds \"b c.rds\""});
    EXPECT_EQ(program->View().Document().Name(), "a.rds \"b c.rds\"");
    EXPECT_TRUE(heard_.errors.empty());
}

// One change from outside builds one encoder image, shared by the check
// whether it alters what goes on air, the budget of writes, the send and
// the preview; a change that alters nothing on air asks for no send.
TEST_F(ControlProgramTest, OneChangeBuildsOneImageForItsCheckItsBudgetItsSendAndThePreview) {
    auto program = Start();
    const Origin client{Origin::Kind::TextClient, "text 192.0.2.7:4000"};
    const auto sendSoon = [&] {
        host_.Fire("send soon");
        Settle(*program);
    };
    ASSERT_TRUE(Change(*program, "RT=Warm up", client).send);
    sendSoon();
    const std::uint64_t before = program->View().ImagesBuilt();
    ASSERT_TRUE(Change(*program, "PS=ONCE", client).send);
    sendSoon();
    const MemoryDump onAir = *program->View().Bank(1).onAir;
    EXPECT_EQ(DecodeEncoderMemory(onAir.area1, onAir.area2).ps.bytes, "ONCE    ");
    EXPECT_EQ(program->View().Preview().area1, onAir.area1);
    EXPECT_EQ(program->View().ImagesBuilt() - before, 1u);

    const CommandOutcome offAir = Change(*program, "RT2=Not the current one", client);
    EXPECT_TRUE(offAir.Accepted());
    EXPECT_FALSE(offAir.send) << "radiotext 2 is not on air";
    EXPECT_EQ(program->View().ImagesBuilt() - before, 2u);
}

// A reload (SIGHUP) reads both settings files and the station again: the
// settings of vaxow.ini are those of the file, not the defaults.
TEST_F(ControlProgramTest, AReloadReadsTheSettingsOfBothFilesAndTheStation) {
    WriteBytes(File("vaxow.ini"), "MINSEND=7\r\nWEARYEARS=2\r\n");
    WriteBytes(File("station.rds"), "CLEAR\r\nPS=FIRST\r\n");
    auto program = Start({File("station.rds")});
    ASSERT_EQ(program->View().Station().MINSEND, 7);
    WriteBytes(File("vaxow.ini"), "MINSEND=9\r\nWEARYEARS=2\r\n");
    WriteBytes(File("station.rds"), "CLEAR\r\nPS=SECOND\r\n");
    const CommandOutcome reload = Do(*program, ReloadStation{}, {Origin::Kind::Program, "SIGHUP"});
    EXPECT_TRUE(reload.Accepted());
    EXPECT_EQ(program->View().Station().MINSEND, 9);
    EXPECT_EQ(program->View().Station().WEARYEARS, 2);
    EXPECT_EQ(program->View().Station().PS, "SECOND");
    ASSERT_TRUE(reload.send) << "what goes on air changed";
    Settle(*program);
    EXPECT_TRUE(reload.send->Result().OnAir());
}

}  // namespace
}  // namespace vaxo
