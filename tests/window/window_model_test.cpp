#include "window/window_model.h"
#include "window/window_options.h"

#include <map>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include "base/file_io.h"
#include "link/encoder_simulator.h"
#include "platform/program_dir.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/settle.h"
#include "tests/support/temp_dir.h"
#include "window/field_bindings.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::ReadBytes;
using test::WriteBytes;
using ::testing::HasSubstr;

class RecordingView : public WindowView {
  public:
    void Show(const WindowState& state) override {
        shown = state;
        ++shows;
    }
    void OnAirChanged() override { ++onAirChanges; }
    void LoadResources() override { ++resourceLoads; }
    void Restore() override { ++restores; }
    void Close() override { ++closes; }

    WindowState shown;
    int shows = 0, onAirChanges = 0, resourceLoads = 0, restores = 0, closes = 0;
};

class ScriptedDialogs : public WindowDialogs {
  public:
    std::optional<std::string> OpenStation() override { return toLoad; }
    std::optional<std::string> SaveStation(const std::string& proposal) override {
        proposals.push_back(proposal);
        return toSave;
    }
    std::optional<std::string> OpenAnyFile() override { return anyFile; }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    ChangedStationChoice AskAboutChangedStation(const std::string& file) override {
        askedAbout.push_back(file);
        return ChangedStationChoice::LeaveAlone;
    }
    UnsavedChoice AskAboutUnsavedHandOver(const std::string&, const std::string&) override {
        return UnsavedChoice::KeepStation;
    }

    std::optional<std::string> toLoad, toSave, anyFile;
    std::vector<std::string> proposals, errors, askedAbout;
};

class WindowModelTest : public ::testing::Test {
  protected:
    std::string File(const std::string& name) const { return folder_ / name; }

    // On the simulated encoder, or on one whose status line never rises.
    WindowModel& Open(bool silentEncoder = false) {
        PortLayer& layer = silentEncoder ? silentLayer_ : layer_;
        model_ = std::make_unique<WindowModel>(
            WindowServices{host_, layer, layer, timing_, dialogs_, [] { return ','; },
                           WithSeparator(folder_.path())},
            view_);
        model_->Start({});
        Settle();
        return *model_;
    }
    void Settle() {
        ASSERT_TRUE(test::SettleThroughHolds(
            host_, timing_, [this] { return model_->Program().View().Idle(); },
            [this] { return model_->Program().View().SendHolding(); }));
    }
    const RdsParameterSet& Set() { return model_->Program().View().Station(); }
    const WindowState& State() { return model_->State(); }

    test::OwnRuntimeDir runtime_;
    test::TempDir folder_;
    test::ManualHost host_;
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    EncoderSimulator silentEncoder_{EncoderScenario::StuckHigh};
    PortLayer silentLayer_{ForwardingPortBackends(silentEncoder_)};
    test::FakeLinkTiming timing_;
    RecordingView view_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<WindowModel> model_;
};

TEST_F(WindowModelTest, AStartShowsTheStationItsDerivedLabelsAndTheChoices) {
    Open();
    EXPECT_EQ(view_.resourceLoads, 1);
    EXPECT_EQ(view_.shown.stationTexts.at("PS"), "FM RADIO");
    EXPECT_EQ(view_.shown.stationTexts.at("PI"), "FFFF");
    EXPECT_EQ(view_.shown.fileNames.at("RTFILE"), "rt.txt");
    EXPECT_EQ(view_.shown.picks.at("TrackBar1"), 13);
    EXPECT_EQ(view_.shown.labels.at("DPSP"), "39 s");
    EXPECT_EQ(view_.shown.labels.at("RTST"), "5 min");
    EXPECT_TRUE(view_.shown.ticks.at("STB1") && view_.shown.ticks.at("SHOWB1"));
    EXPECT_TRUE(view_.shown.ticks.at("SRT1") && !view_.shown.ticks.at("SRT2"));
    EXPECT_TRUE(view_.shown.readOnly.empty());
    EXPECT_FALSE(view_.shown.sending || view_.shown.errorShown);
}

TEST_F(WindowModelTest, EachControlEditsItsFieldAndUnknownNamesChangeNothing) {
    WindowModel& model = Open();
    model.TextEdited("PS", "NEWS FM");
    model.TextEdited("DPS8", "LAST");
    model.TextEdited("RT3", "Third");
    model.TextEdited("PSFILE", "now.txt");
    model.Picked("TP", 0);
    model.Picked("PTY", 11);
    model.Picked("TrackBar2", 9);
    model.Ticked("SRT3", true);
    model.Ticked("STB2", true);
    model.Ticked("PORT2", true);
    model.Ticked("WRITEALL", true);
    model.DecoderIdTicked({true, false, false, true});
    EXPECT_EQ(Set().PS, "NEWS FM");
    EXPECT_EQ(Set().DPS[7], "LAST");
    EXPECT_EQ(Set().RT3.str(), "Third");
    EXPECT_EQ(Set().PSFILE, "now.txt");
    EXPECT_FALSE(Set().TP);
    EXPECT_EQ(Set().PTY, 11);
    EXPECT_EQ(Set().RTSAT, 9);
    EXPECT_EQ(Set().SELRT, 3);
    EXPECT_EQ(Set().STB, 2);
    EXPECT_EQ(Set().PORT, 1);
    EXPECT_TRUE(Set().WRITEALL);
    EXPECT_EQ(Set().DI, (DecoderId{true, false, false, true}));
    EXPECT_EQ(view_.shown.labels.at("RTST"), "9 min");
    EXPECT_TRUE(view_.shown.ticks.at("SRT3") && !view_.shown.ticks.at("SRT1"));
    EXPECT_TRUE(view_.shown.ticks.at("STB2") && !view_.shown.ticks.at("STB1"));

    const auto revision = model.Program().View().Revision();
    model.TextEdited("NOSUCH", "x");
    model.Ticked("SRT9", true);
    model.Ticked("STB1", false);  // a choice taken away is no choice
    model.Picked("Label11", 3);
    model.Clicked("PS");
    EXPECT_EQ(model.Program().View().Revision(), revision);
}

TEST_F(WindowModelTest, FeedsLockTheirFieldsAndSlidersRenameTheirLabels) {
    WindowModel& model = Open();
    model.Ticked("PSFF", true);
    EXPECT_TRUE(State().readOnly.contains("DPS1") && State().readOnly.contains("DPS8"));
    EXPECT_FALSE(State().readOnly.contains("PSFILE"));
    model.Ticked("ENDPS", true);
    EXPECT_TRUE(State().readOnly.contains("PSFILE"));
    model.Ticked("RTFF", true);
    EXPECT_TRUE(State().readOnly.contains("RT") && State().readOnly.contains("RTFILE"));
    EXPECT_FALSE(State().readOnly.contains("RT2"));
    model.Picked("TrackBar1", 7);
    EXPECT_EQ(view_.shown.labels.at("DPSP"), "22 s");
}

// Every field the window edits has its control, of a kind that can show its
// value, and a choice for each value a field of choices takes; the wear
// settings are kept in vaxow.ini and set by vaxoctl run's options only.
TEST(WindowBindings, EveryFieldHasAControlThatFitsIt) {
    const FieldSet notInTheWindow{FieldId::MINSEND, FieldId::ENDURANCE, FieldId::WEARYEARS,
                                  FieldId::TALIMIT, FieldId::RTFB,      FieldId::DPSFB,
                                  FieldId::RTSTALE, FieldId::DPSSTALE};
    std::map<FieldId, std::set<int>> choices;
    FieldSet bound;
    for (const ControlDesign& control : WindowLayout()) {
        if (!control.field) {
            continue;
        }
        bound.Add(*control.field);
        const FieldKind kind = Field(*control.field).type.kind;
        SCOPED_TRACE(control.name);
        switch (control.kind) {
            case ControlKind::TextBox:
                EXPECT_TRUE(kind == FieldKind::Text || kind == FieldKind::Pi ||
                            kind == FieldKind::Frequency);
                EXPECT_EQ(control.limit, static_cast<int>(Field(*control.field).type.limit));
                break;
            case ControlKind::FileNameBox:
                EXPECT_EQ(kind, FieldKind::FileName);
                break;
            case ControlKind::TickBox:
                EXPECT_EQ(kind, FieldKind::Flag);
                break;
            case ControlKind::Choice:
                choices[*control.field].insert(control.choice);
                break;
            case ControlKind::PickList:
                EXPECT_TRUE(kind == FieldKind::Flag || kind == FieldKind::Number);
                EXPECT_EQ(control.items.size(),
                          kind == FieldKind::Flag
                              ? 2u
                              : static_cast<std::size_t>(Field(*control.field).type.high + 1));
                break;
            case ControlKind::Slider:
                EXPECT_EQ(kind, FieldKind::Number);
                break;
            case ControlKind::CheckList:
                EXPECT_EQ(kind, FieldKind::DecoderId);
                break;
            default:
                ADD_FAILURE() << "a control of this kind edits no field";
        }
        EXPECT_EQ(BoundControl(control.name), &control);
    }
    for (const StationField& field : AllFields()) {
        EXPECT_NE(bound.Has(field.id), notInTheWindow.Has(field.id)) << field.key;
    }
    EXPECT_EQ(choices[FieldId::STB], (std::set<int>{1, 2}));
    EXPECT_EQ(choices[FieldId::PORT], (std::set<int>{0, 1}));
    EXPECT_EQ(choices[FieldId::SELRT], (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(BoundControl("SHOWB1"), nullptr) << "a choice of the window's own";
}

// PI goes in when whole, a frequency when its box is left; what is left
// unfinished goes as the send's check makes it. The desktop writes a comma.
TEST_F(WindowModelTest, DraftsGoInWhenWholeOrLeft) {
    WindowModel& model = Open();
    EXPECT_TRUE(HoldsDraft("PI") && HoldsDraft("AF1") && HoldsDraft("AF7"));
    EXPECT_FALSE(HoldsDraft("PS") || HoldsDraft("AF") || HoldsDraft("AFX1"));
    model.TextEdited("PI", "D3");
    EXPECT_EQ(Set().PI, "FFFF");
    model.TextEdited("PI", "D3C2");
    EXPECT_EQ(Set().PI, "D3C2");
    model.TextLeft("PI", "D3");
    EXPECT_EQ(view_.shown.stationTexts.at("PI"), Set().PI) << "the box shows what was taken";
    model.TextEdited("AF1", "99,0");
    EXPECT_EQ(Set().AF[0], "") << "a frequency waits for its box to be left";
    model.TextLeft("AF1", "99,0");
    EXPECT_EQ(Set().AF[0], "99,0");
    model.TextLeft("AF2", "abc");
    EXPECT_EQ(Set().AF[1], "");
    EXPECT_EQ(view_.shown.stationTexts.at("AF2"), "");
    model.TextEdited("EFCHAR", "");
    model.TextLeft("EFCHAR", "");
    EXPECT_EQ(Set().EFCHAR, "*");
}

TEST_F(WindowModelTest, ASendShowsItsProgressItsRecordAndItsFailure) {
    WindowModel& model = Open();
    timing_.Advance(3s);
    model.Clicked("UP");
    EXPECT_TRUE(State().sending) << "the operator's input waits";
    Settle();
    EXPECT_FALSE(State().sending || State().errorShown);
    EXPECT_EQ(State().progress, 0);
    EXPECT_THAT(State().labels.at("SENT"), ::testing::StartsWith("PS=FM RADIO\nRT=\nDPS1="));
    EXPECT_EQ(view_.onAirChanges, 1);
    model.Ticked("SHOWB2", true);
    EXPECT_EQ(State().labels.at("SENT").find("PS="), std::string::npos) << "bank 2 not sent";
}

// The port line says when the encoder stops answering between sends, and
// no more once it answers again.
TEST_F(WindowModelTest, ThePortLineTellsAnEncoderThatStoppedAnswering) {
    Open();
    const auto probe = [&](std::chrono::seconds span) {
        for (auto passed = 0s; passed < span; passed += 2s) {
            timing_.Advance(2s);
            host_.Fire("encoder probe");
            Settle();
        }
    };
    probe(2s);
    const std::string port = State().labels.at("PORTINFO");
    encoder_.SetScenario(EncoderScenario::StuckLow);
    probe(12s);
    EXPECT_EQ(State().labels.at("PORTINFO").substr(0, port.size()), port);
    EXPECT_THAT(State().labels.at("PORTINFO"), HasSubstr("; encoder not answering since "));
    EXPECT_THAT(State().tips.at("PORTINFO"), HasSubstr(": its status line stays low"));
    encoder_.SetScenario(EncoderScenario::Healthy);
    probe(2s);
    EXPECT_EQ(State().labels.at("PORTINFO"), port);
}

TEST_F(WindowModelTest, AFailedSendShowsErrorWithItsReasonUntilTheNextSend) {
    WindowModel& model = Open(true);
    timing_.Advance(3s);
    model.Clicked("UP");
    Settle();
    EXPECT_TRUE(State().errorShown);
    EXPECT_EQ(State().tips.at("Label11"), "the encoder did not answer: status line stuck high");
    EXPECT_EQ(view_.onAirChanges, 1);
    timing_.Advance(3s);
    model.Clicked("UP");
    EXPECT_FALSE(State().errorShown) << "a new send clears it";
    Settle();
}

TEST_F(WindowModelTest, ARefusalWhileASendRunsShowsErrorWhenItEnds) {
    WindowModel& model = Open();
    timing_.Advance(3s);
    model.Clicked("UP");
    ASSERT_TRUE(State().sending);
    model.Program().Log().Refused({Origin::Kind::TextClient, "text 192.0.2.7:4000"}, "PTY=45",
                                  {RefusalCode::OutOfRange, "out of range"});
    EXPECT_FALSE(State().errorShown) << "the progress bar stands there";
    Settle();
    EXPECT_TRUE(State().errorShown);
    EXPECT_THAT(State().tips.at("Label11"), HasSubstr("\"PTY=45\" refused"));
    timing_.Advance(3s);
    model.Clicked("UP");
    Settle();
    EXPECT_FALSE(State().errorShown) << "until the next send";
}

TEST_F(WindowModelTest, TheButtonsAskTheirDialogs) {
    WindowModel& model = Open();
    model.TextEdited("PS", "24/7 FM");
    dialogs_.toSave = File("mine.rds");
    model.Clicked("SAAS");
    EXPECT_EQ(dialogs_.proposals, std::vector<std::string>{"24-7 fm"});
    EXPECT_THAT(ReadBytes(File("mine.rds")), HasSubstr("PS=24/7 FM\r\n"));
    model.TextEdited("PS", "CHANGED");
    model.Clicked("LOAD");  // the chooser was cancelled
    EXPECT_EQ(Set().PS, "CHANGED");
    dialogs_.toLoad = File("mine.rds");
    model.Clicked("LOAD");
    EXPECT_EQ(Set().PS, "24/7 FM");
    dialogs_.anyFile = File("playout now");
    model.Clicked("RTBR");
    EXPECT_EQ(Set().RTFILE, File("playout now"));
    model.Clicked("EX");
    EXPECT_EQ(view_.closes, 1);
}

TEST_F(WindowModelTest, OnlyTheOperatorsCloseAsksAboutAReplacedStation) {
    WriteBytes(File("st.rds"), "CLEAR\r\nPS=ONE\r\n");
    dialogs_.toLoad = File("st.rds");
    {
        WindowModel& model = Open();
        model.Ticked("AUTOSAVE", true);
        model.Clicked("LOAD");
        model.TextEdited("PS", "TWO");
        WriteBytes(File("st.rds"), "CLEAR\r\nPS=OTHER\r\n");
        model.Closing(false);  // a signal: nobody to ask
        EXPECT_TRUE(dialogs_.askedAbout.empty());
        model.Closing(true);
        EXPECT_EQ(dialogs_.askedAbout.size(), 1U);
        model_.reset();
    }
    EXPECT_EQ(ReadBytes(File("st.rds")), "CLEAR\r\nPS=OTHER\r\n") << "left alone, as chosen";
}

TEST_F(WindowModelTest, ARegistrationThatFailsIsShownAndCanBeTriedAgain) {
    WindowModel& model = Open();
    EXPECT_FALSE(model.RegisterFileType([] { throw FileError("Failed to set data for ''"); }));
    EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"Failed to set data for ''"});
    EXPECT_FALSE(State().registered);
    EXPECT_TRUE(model.RegisterFileType([] {}));
    EXPECT_TRUE(view_.shown.registered);
}

TEST_F(WindowModelTest, OnAirTellsWhatAReceiverGetsFromTheMemory) {
    WindowModel& model = Open();
    const OnAirTexts nothing = model.OnAir(OnAirSource::Bank1);
    EXPECT_EQ(nothing.rt, "Nothing sent to this bank since the program started.");
    EXPECT_TRUE(nothing.ps.empty() && nothing.details.empty());
    model.TextEdited("PI", "D3C2");
    model.Picked("PTY", 11);
    model.TextLeft("AF1", "99,0");
    model.TextEdited("RT", "Hello");
    const OnAirTexts preview = model.OnAir(OnAirSource::Preview);
    EXPECT_EQ(preview.ps, "FM RADIO");
    EXPECT_THAT(preview.rt, ::testing::StartsWith("[A] Hello  "));
    EXPECT_THAT(preview.info, HasSubstr("PTY 11 Rock Music (RBDS Oldies)\nTP 1  TA 0  music"));
    EXPECT_THAT(preview.details, HasSubstr("AF 99.0 MHz\nPI D3C2   both banks in loop: no"));
    EXPECT_TRUE(preview.dynamicTexts.empty());
    model.TextEdited("DPS1", "ONE");
    model.TextEdited("DPS2", "TWO");
    model.Ticked("ENDPS", true);
    const OnAirTexts dynamic = model.OnAir(OnAirSource::Preview);
    EXPECT_EQ(dynamic.stepSeconds, 39);
    ASSERT_EQ(dynamic.dynamicTexts.size(), 8U);
    EXPECT_EQ(dynamic.ps, dynamic.dynamicTexts[0]);
    EXPECT_THAT(dynamic.details, HasSubstr("Dynamic PS, each text 39 s: ["));
    EXPECT_THAT(model.OnAirNotes().front(), ::testing::StartsWith("Memory: "));
}

// A standing alarm heads the notes under the On air page, with its reason,
// and goes with its clear.
TEST_F(WindowModelTest, StandingAlarmsHeadTheOnAirNotes) {
    WindowModel& model = Open();
    const Origin front{Origin::Kind::Program, "alerts"};
    const AlarmKey webhook{AlarmKind::AlertsFailing, "webhook http://192.0.2.7/hook"};
    static_cast<void>(model.Program().Execute(
        {front, ReportCondition{webhook, "not delivered: Connection refused"}}));
    EXPECT_THAT(model.OnAirNotes().front(),
                ::testing::AllOf(::testing::StartsWith("Alarm: Alerts not delivered (webhook "
                                                       "http://192.0.2.7/hook) since "),
                                 ::testing::EndsWith(": not delivered: Connection refused")));
    static_cast<void>(model.Program().Execute({front, ReportCondition{webhook}}));
    EXPECT_THAT(model.OnAirNotes().front(), ::testing::StartsWith("Memory: "));
}

// What the operator types in Windows-1250 reaches the receiver in the RDS
// character table: the letter itself, or its base letter where it has none.
TEST_F(WindowModelTest, TypedLettersGoOnAirAsAReceiverShouldShowThem) {
    WindowModel& model = Open();
    model.TextEdited("PS",
                     "\xA3\xF3"
                     "d\x9F");                                          // "Łódź"
    model.TextEdited("RT", "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFApel");  // "Žluťoučký kůň úpel"
    const OnAirTexts preview = model.OnAir(OnAirSource::Preview);
    EXPECT_EQ(preview.ps, "L\u00F3d\u017A    ");
    EXPECT_THAT(preview.rt,
                ::testing::StartsWith("[A] \u017Dlutou\u010Dk\u00FD ku\u0148 \u00FApel"));
    model.TextEdited("DPS1", "\xC1\xC9\xCD\xD3\xDA\xD6\xDC\xD5");  // "ÁÉÍÓÚÖÜŐ"
    model.Ticked("ENDPS", true);
    const OnAirTexts dynamic = model.OnAir(OnAirSource::Preview);
    ASSERT_FALSE(dynamic.dynamicTexts.empty());
    EXPECT_EQ(dynamic.dynamicTexts[0], "\u00C1\u00C9\u00CD\u00D3\u00DA\u00D6\u00DCO")
        << "Ő has no code; ő has";
    EXPECT_EQ(Set().PS,
              "\xA3\xF3"
              "d\x9F")
        << "the field keeps what was typed";
}

// The listeners' file beside the settings: a client's change shows in the
// window, a refusal shows the "Error" label with the command in its tooltip.
TEST_F(WindowModelTest, ItsListenersChangeTheFieldsAndRefusalsShow) {
    WriteBytes(File("vaxow.listen"), "--text-tcp 127.0.0.1:0\n");
    WindowModel& model = Open();
    ASSERT_EQ(model.Listening().size(), 1U);
    boost::asio::io_context io;
    boost::asio::ip::tcp::socket client(io);
    client.connect({boost::asio::ip::make_address("127.0.0.1"), model.Listening()[0].port});
    boost::asio::write(client, boost::asio::buffer(std::string("PS=NETWORK\r\nPTY=45\r\n")));
    ASSERT_TRUE(host_.RunUntil([&] { return view_.shown.errorShown; }));
    EXPECT_EQ(view_.shown.stationTexts.at("PS"), "NETWORK");
    EXPECT_THAT(view_.shown.tips.at("Label11"), HasSubstr("\"PTY=45\" refused"));
}

// A port another program holds: no dialog, the alarm in the On air notes,
// and the listener bound once the port is free.
TEST_F(WindowModelTest, AListenerWhosePortIsTakenWaitsForItUnderAnAlarm) {
    boost::asio::io_context io;
    auto holder = std::make_unique<boost::asio::ip::tcp::acceptor>(
        io, boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    const auto port = holder->local_endpoint().port();
    WriteBytes(File("vaxow.listen"), "--text-tcp 127.0.0.1:" + std::to_string(port) + "\n");
    WindowModel& model = Open();
    EXPECT_TRUE(dialogs_.errors.empty());
    const auto alarmShown = [&] {
        return model.OnAirNotes().front().starts_with("Alarm: Listener could not start (text TCP");
    };
    ASSERT_TRUE(host_.RunUntil(alarmShown));
    holder.reset();
    ASSERT_TRUE(host_.RunUntil([&] { return model.Listening().at(0).port == port; }));
    ASSERT_TRUE(host_.RunUntil([&] { return !alarmShown(); }));
    boost::asio::ip::tcp::socket client(io);
    client.connect({boost::asio::ip::make_address("127.0.0.1"), port});
}

TEST_F(WindowModelTest, AListenersFileThatMayNotRunIsShownAndNothingListens) {
    WriteBytes(File("vaxow.listen"), "--text-tcp 0.0.0.0:0\n");  // no allow list
    WindowModel& model = Open();
    EXPECT_TRUE(model.Listening().empty());
    ASSERT_EQ(dialogs_.errors.size(), 1U);
    EXPECT_THAT(dialogs_.errors[0], HasSubstr("allow"));
}

}  // namespace
}  // namespace vaxo

namespace vaxo {
namespace {

TEST(WindowOptionsTest, TheSimulatedEncoderAndItsMemoryDumpAreTakenTheRestIsTheStation) {
    const WindowOptions plain = ReadWindowOptions({"rock.rds"});
    EXPECT_EQ(plain.arguments, std::vector<std::string>{"rock.rds"});
    EXPECT_FALSE(plain.scenario || plain.memoryDump);
    EXPECT_TRUE(plain.problem.empty());
    const WindowOptions simulated =
        ReadWindowOptions({"--simulate=stuck-high", "--memory-dump", "m.txt", "rock.rds"});
    EXPECT_EQ(simulated.scenario, "stuck-high");
    EXPECT_EQ(simulated.memoryDump, "m.txt");
    EXPECT_EQ(simulated.arguments, std::vector<std::string>{"rock.rds"});
    EXPECT_EQ(ReadWindowOptions({"--simulate"}).scenario, "healthy");
    EXPECT_EQ(ReadWindowOptions({"--simulate=bogus"}).problem, "unknown scenario bogus");
    EXPECT_EQ(ReadWindowOptions({"--memory-dump", "m.txt"}).problem,
              "--memory-dump is for the simulated encoder (--simulate)");
    EXPECT_EQ(ReadWindowOptions({"--simulate", "--memory-dump"}).problem,
              "--memory-dump needs a file");
}

}  // namespace
}  // namespace vaxo
