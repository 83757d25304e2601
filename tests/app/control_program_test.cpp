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
#include "base/text_lines.h"
#include "link/encoder_simulator.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "stations/station_file.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::FakeLinkTiming;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class FakeProgramFrontEnd : public ProgramFrontEnd {
  public:
    void SendStarted() override {}
    void SetProgress(int) override {}
    void HandlePendingEvents() override {}
    void SendFailed() override { events.push_back("Error"); }
    void SendFinished() override { events.push_back("sent"); }
    void ShowLastSent(const LastSentRecord&) override {}
    void RequestExit() override { events.push_back("exit"); }
    void LoadDefaultLanguage() override { events.push_back("language"); }
    void ShowHelp() override { events.push_back("help"); }
    void ShowErrorMessage(const std::string& text) override { errors.push_back(text); }
    void SetCaption(const std::string& text) override { caption = text; }
    void ApplyAlwaysOnTop(bool on) override {
        if (on) {
            events.push_back("on top");
        }
    }
    void HighPriorityRefused(const std::string&) override { ++priorityRefusals; }
    void ClearDecoderIdFocus() override { events.push_back("di focus cleared"); }
    void FollowDerivedState(const DerivedState&) override {}
    void StartSwitchingTimer(int intervalMs) override {
        events.push_back("timer2 " + std::to_string(intervalMs));
    }
    void StopSwitchingTimer() override { events.push_back("timer2 stop"); }
    std::optional<std::string> ChooseStationToLoad() override { return toLoad; }
    std::optional<std::string> ChooseStationToSave(const std::string& proposal) override {
        proposals.push_back(proposal);
        return toSave;
    }
    void RestoreFromHandOver() override { events.push_back("restored"); }

    std::vector<std::string> events;
    std::vector<std::string> errors;
    std::vector<std::string> proposals;
    std::string caption;
    std::optional<std::string> toLoad;
    std::optional<std::string> toSave;
    int priorityRefusals = 0;
};

class ControlProgramTest : public ::testing::Test {
  protected:
#ifndef _WIN32  // on Windows the hand-over objects are named, not kept in a folder
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
#endif

    std::string Dir() const {
        return WithSeparator(programDir_.path());
    }
    std::string File(const std::string& name) const {
        return programDir_ / name;
    }

    std::unique_ptr<ControlProgram> Start(std::vector<std::string> arguments = {}) {
        auto program = std::make_unique<ControlProgram>(ControlProgram::Environment{
            frontEnd_, layer_, layer_, timing_,
            [] {
                return ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'};
            },
            Dir()});
        program->StartVAXO(arguments);
        return program;
    }

    std::vector<std::string> SettingsOnDisk() const {
        return SplitLines(ReadBytes(File("vaxow.dat")));
    }

    TempDir runtime_;
    TempDir programDir_;
    FakeProgramFrontEnd frontEnd_;
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    FakeLinkTiming timing_;
};

TEST_F(ControlProgramTest, FirstStartEverShowsTheDesignedDefaultsAndUntitled) {
    auto program = Start();
    ASSERT_TRUE(program->IsFirstInstance());
    EXPECT_TRUE(frontEnd_.errors.empty());
    EXPECT_EQ(frontEnd_.events.front(), "language");
    EXPECT_EQ(frontEnd_.events.back(), "di focus cleared");
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - RDS Encoder Solution, version 3.60");
    program->Timer1Timer();
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - untitled.rds");
    EXPECT_EQ(program->Set().PS, "FM RADIO");
    EXPECT_EQ(program->Set().PI, "FFFF");
    EXPECT_EQ(program->Set().RememberedFile, "untitled.rds");
    EXPECT_TRUE(layer_.PortAccessAvailable());
    EXPECT_EQ(encoder_.Writes(), 1) << "the port's lines were set to rest";

    EXPECT_TRUE(program->ExitApp());
    std::vector<std::string> expected{"untitled.rds", "", "", "", "0", "0", "0", "0", "0"};
    expected.resize(kSettingsLines);
    EXPECT_EQ(SettingsOnDisk(), expected);
}

TEST_F(ControlProgramTest, OneArgumentIsLoadedAndRememberedWithOrWithoutClear) {
    WriteBytes(File("partial.rds"), "PS=PARTIAL\r\n");
    auto program = Start({File("partial.rds")});
    EXPECT_EQ(program->Set().PS, "PARTIAL");
    EXPECT_EQ(program->Set().RememberedFile, File("partial.rds"));
}

TEST_F(ControlProgramTest, TwoArgumentsAreIgnoredAndRelativeNamesResolveInTheProgramFolder) {
    WriteBytes(File("remembered.rds"), "CLEAR\r\nPS=REMEMBER\r\n");
    WriteBytes(File("other.rds"), "CLEAR\r\nPS=OTHER\r\n");
    std::vector<std::string> settings{"remembered.rds", "", "", "", "0", "0", "0", "0", "0"};
    settings.resize(kSettingsLines);
    WriteBytes(File("vaxow.dat"), JoinLinesCrLf(settings));
    std::filesystem::current_path("/");
    EXPECT_EQ(Start({"other.rds", "x"})->Set().PS, "REMEMBER");
}

TEST_F(ControlProgramTest, RelativeArgumentMeansTheFolderTheStartWasMadeIn) {
    WriteBytes(File("relative.rds"), "PS=PROGRAM\r\n");
    TempDir elsewhere;
    WriteBytes(elsewhere / "relative.rds", "PS=HERE\r\n");
    std::filesystem::current_path(elsewhere.path());
    auto program = Start({"relative.rds"});
    EXPECT_EQ(program->Set().PS, "HERE");
    EXPECT_EQ(program->Set().StationFileName, elsewhere / "relative.rds");
}

TEST_F(ControlProgramTest, AutoSaveLeavesAStationItCouldNotReadAlone) {
    const std::string huge = std::string(kSmallFileLimit + 1, '\n');
    WriteBytes(File("damaged.rds"), huge);
    std::vector<std::string> settings{File("damaged.rds"), "", "", "", "1", "0", "1", "1", "0"};
    settings.resize(kSettingsLines);
    WriteBytes(File("vaxow.dat"), JoinLinesCrLf(settings));
    auto program = Start();
    ASSERT_EQ(frontEnd_.errors.size(), 1u);
    EXPECT_EQ(frontEnd_.errors[0], "Cannot open file " + File("damaged.rds"));
    EXPECT_THAT(frontEnd_.events, Contains("on top")) << "options act as they are read";
    EXPECT_TRUE(program->ExitApp());
    EXPECT_EQ(frontEnd_.errors.back(),
              "Auto Save left " + File("damaged.rds") + " alone: it could not be read");
    EXPECT_EQ(ReadBytes(File("damaged.rds")), huge);
    EXPECT_EQ(SettingsOnDisk(), settings) << "the remembered station and every option kept";
    if (frontEnd_.priorityRefusals == 0) {
#ifndef _WIN32
        EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), -10);
#endif
        static_cast<void>(SetHighProcessPriority(false));
    } else {
        EXPECT_EQ(frontEnd_.priorityRefusals, 1) << "told once, although applied twice";
    }
}

TEST_F(ControlProgramTest, AutoSaveWritesTheWholeSetButTheSettingsKeepTheRememberedFile) {
    WriteBytes(File("remembered.rds"), "CLEAR\r\nPS=FIRST\r\n");
    auto program = Start({File("remembered.rds")});
    program->Set().AUTOSAVE = true;
    WriteBytes(File("update.rds"), "RT=Only a radiotext\r\n");
    frontEnd_.toLoad = File("update.rds");
    program->LOADClick();
    EXPECT_EQ(program->Set().RT, "Only a radiotext");
    EXPECT_TRUE(program->ExitApp());
    EXPECT_EQ(ReadBytes(File("update.rds")), StationFileText(program->Set()));
    EXPECT_EQ(SettingsOnDisk().at(0), File("remembered.rds"));
    EXPECT_EQ(SettingsOnDisk().at(6), "1");
}

TEST_F(ControlProgramTest, SaveAsProposesThePsLoweredInAToZOnly) {
    auto program = Start();
    program->Set().PS = "Rock FM";
    program->SAASClick();
    program->Set().PS = "\xC4RGER";
    program->SAASClick();
    program->Set().PS = "24/7 FM";
    program->SAASClick();
    EXPECT_THAT(frontEnd_.proposals, ElementsAre("rock fm", "\xC4rger", "24-7 fm"));
    frontEnd_.toSave = File("saved as.rds");
    program->SAASClick();
    EXPECT_EQ(program->Set().RememberedFile, File("saved as.rds"));
    EXPECT_EQ(ReadBytes(File("saved as.rds")), StationFileText(program->Set()));
}

TEST_F(ControlProgramTest, AFailingSaveAsLeavesEveryNameAsItWas) {
    auto program = Start();
    program->Timer1Timer();
    frontEnd_.toSave = File("24/7 fm.rds");
    program->SAASClick();
    ASSERT_EQ(frontEnd_.errors.size(), 1u);
    EXPECT_EQ(frontEnd_.errors[0], "Cannot create file " + File("24/7 fm.rds"));
    EXPECT_EQ(program->Set().StationFileName, "untitled.rds");
    EXPECT_EQ(program->Set().RememberedFile, "untitled.rds");
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - untitled.rds");
}

TEST_F(ControlProgramTest, CaptionShowsTheFileNamePartFullyLowered) {
    auto program = Start();
    program->Timer1Timer();
    program->Set().StationFileName = "C:\\Stations\\Radio1.RDS";
    program->ShowFileName();
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - radio1.rds");
    program->Set().StationFileName = "/home/op/\xC5\xBDIV\xC4\x9A.RDS";  // ŽIVĚ.RDS
    program->ShowFileName();
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - \xC5\xBEiv\xC4\x9B.rds");
}

TEST_F(ControlProgramTest, UnreadableSettingsStopStartUpBeforeTheStationAndThePort) {
    std::filesystem::create_directory(File("vaxow.dat"));
    WriteBytes(File("station.rds"), "PS=NOT READ\r\n");
    auto program = Start({File("station.rds")});
    ASSERT_EQ(frontEnd_.errors.size(), 1u);
    EXPECT_EQ(frontEnd_.errors.front(), "Cannot open file " + File("vaxow.dat"));
    EXPECT_EQ(program->Set().PS, "FM RADIO");
    EXPECT_EQ(program->Set().RememberedFile, "");
    EXPECT_EQ(encoder_.Writes(), 0) << "the port was not prepared";
    EXPECT_THAT(frontEnd_.events, Not(Contains("di focus cleared")));
}

TEST_F(ControlProgramTest, FailedAutoSaveAtExitSkipsTheSettingsFile) {
    auto program = Start();
    program->Set().AUTOSAVE = true;
    program->Set().StationFileName = File("missing-folder/station.rds");
    EXPECT_FALSE(program->ExitApp());
    ASSERT_EQ(frontEnd_.errors.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(File("vaxow.dat")));
}

TEST_F(ControlProgramTest, CancelledLoadChangesNothingButTheCaption) {
    auto program = Start();
    program->Timer1Timer();
    frontEnd_.caption.clear();
    program->LOADClick();
    EXPECT_EQ(program->Set().StationFileName, "untitled.rds");
    EXPECT_EQ(frontEnd_.caption, "VAXO for Windows 3 - untitled.rds");
}

TEST_F(ControlProgramTest, SendAfterLoadAndExitAfterSendHappenAtTheFirstTick) {
    WriteBytes(File("go.rds"), "CLEAR\r\nSEND=1\r\nEXIT=1\r\n");
    auto program = Start({File("go.rds")});
    EXPECT_TRUE(program->Set().SendPending);
    EXPECT_THAT(frontEnd_.events, Not(Contains("sent"))) << "start-up itself does not send";
    program->Timer1Timer();
    EXPECT_THAT(frontEnd_.events, Contains("sent"));
    EXPECT_EQ(frontEnd_.events.back(), "sent");
    EXPECT_THAT(frontEnd_.events, Contains("exit"));
    EXPECT_FALSE(program->Set().SendPending);
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
    program->CheckHandOver();
    EXPECT_EQ(program->Set().PS, "HANDED");
    EXPECT_EQ(program->Set().StationFileName, name) << "the quotes are stripped";
    EXPECT_EQ(program->Set().RememberedFile, "untitled.rds");
    EXPECT_THAT(frontEnd_.events, Contains("restored"));
}
#endif

TEST_F(ControlProgramTest, SecondStartEndsWithoutTouchingPortOrSettings) {
    auto first = Start();
    FakeProgramFrontEnd secondFrontEnd;
    EncoderSimulator secondEncoder;
    PortLayer secondLayer{ForwardingPortBackends(secondEncoder)};
    ControlProgram second(
        {secondFrontEnd, secondLayer, secondLayer, timing_, [] { return ImageClock{}; }, Dir()});
    second.StartVAXO({"x.rds"});
    EXPECT_FALSE(second.IsFirstInstance());
    EXPECT_THAT(secondFrontEnd.events, ElementsAre("language", "exit"));
    EXPECT_FALSE(secondLayer.PortAccessAvailable());
    EXPECT_TRUE(second.ExitApp()) << "a later start saves nothing, so nothing fails";
    second.EndProcess();
    EXPECT_FALSE(std::filesystem::exists(File("vaxow.dat")));
    first->CheckHandOver();
    EXPECT_EQ(first->Set().StationFileName, std::filesystem::absolute("x.rds").string());
}

TEST_F(ControlProgramTest, SwitchingTimerRestartsOnlyWhenSwitchedOnOrRetimedWhileRunning) {
    auto program = Start();
    RdsParameterSet& set = program->Set();
    frontEnd_.events.clear();
    set.RTSAT = 7;
    program->TrackBar2Change();
    EXPECT_THAT(frontEnd_.events, ElementsAre()) << "a stopped timer is not started";
    set.RTSA = true;
    program->RTSAClick();
    program->RTSAClick();
    program->TrackBar2Change();
    EXPECT_THAT(frontEnd_.events, ElementsAre("timer2 420000"))
        << "switching on again or the same interval does not restart";
    set.RTSAT = 8;
    program->TrackBar2Change();
    set.RTSA = false;
    program->RTSAClick();
    EXPECT_THAT(frontEnd_.events, ElementsAre("timer2 420000", "timer2 480000", "timer2 stop"));
    WriteBytes(File("switching.rds"), "CLEAR\r\nRTSA=1\r\nRTSAT=2\r\n");
    frontEnd_.toLoad = File("switching.rds");
    program->LOADClick();
    EXPECT_EQ(frontEnd_.events.back(), "timer2 120000") << "a load follows the same rule";
}

TEST_F(ControlProgramTest, MultipleArgumentsHandedOverNameNoFile) {
    auto program = Start();
    program->OpenHandedOverFile("a.rds \"b c.rds\"");
    EXPECT_EQ(program->Set().StationFileName, "a.rds \"b c.rds\"");
    program->OpenHandedOverFile("\"quoted name.rds\"");
    EXPECT_EQ(program->Set().StationFileName, "quoted name.rds");
    EXPECT_TRUE(frontEnd_.errors.empty());
}

}  // namespace
}  // namespace vaxo
