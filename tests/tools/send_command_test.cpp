#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "link/encoder_simulator.h"
#include "tests/support/fake_link_timing.h"
#ifndef _WIN32
#include "tests/support/fake_parport_system.h"
#endif
#include "platform/program_dir.h"
#include "tests/support/temp_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// One real send on the simulator: calibration included, it takes one to two
// seconds, so the failure paths are left to the link's own tests.
TEST(SendCommand, SimulatedSendPrintsTheRecordAndTheMemoryOfTheBank) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "CLEAR\r\nPS=JAZZ FM\r\nRT=Hello\r\nSTB=1\r\n");
    std::ostringstream out, err;
    const int code = SendCommand({"--bank", "2", "--port=lpt2", "--simulate", "--trace",
                                  dir / "t.txt", "--vcd", dir / "t.vcd", dir / "s.rds"},
                                 out, err);
    ASSERT_EQ(code, 0) << err.str();
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 28u + 4u);
    EXPECT_EQ(lines[0], "PS=JAZZ FM");
    EXPECT_EQ(lines[1], "RT=Hello");
    EXPECT_THAT(lines[27], StartsWith("SENDTIME="));
    EXPECT_EQ(lines[28], "memory A0 " + std::string(512, 'F'));
    EXPECT_EQ(lines[29], "memory A2 " + std::string(512, 'F'));
    EXPECT_THAT(lines[30], StartsWith("memory A4 FFFF0C41"));
    EXPECT_EQ(lines[30].size(), 10u + 512u);
    EXPECT_THAT(lines[31], StartsWith("memory A6 FFFF0C49"));
    const std::string trace = ReadBytes(dir / "t.txt");
    EXPECT_THAT(trace, HasSubstr(" 278 60\n"));
    EXPECT_THAT(trace, HasSubstr("R "));
    EXPECT_THAT(ReadBytes(dir / "t.vcd"), StartsWith("$timescale 1ns $end"));
}

#ifndef _WIN32
// The system's ports as a fake with an encoder behind them, virtual time.
struct FakeMachine {
    FakeMachine(std::vector<test::FakeParportSystem::Port> ports, EncoderScenario scenario)
        : encoder(scenario), ports(std::move(ports)) {}

    CommandEnvironment Environment() {
        return {[this] {
                    auto fake = std::make_unique<test::FakeParportSystem>(ports, encoder, false);
                    system = fake.get();
                    return LinuxPortBackends(std::move(fake));
                },
                [] { return std::make_unique<test::FakeLinkTiming>(); },
                [this] { return WithSeparator(folder.path()); }};
    }

    TempDir folder;  // the program's, with its wear ledger
    EncoderSimulator encoder;
    std::vector<test::FakeParportSystem::Port> ports;
    test::FakeParportSystem* system = nullptr;
};

TEST(SendCommand, EveryFailureSaysWhyAfterError) {
    using Port = test::FakeParportSystem::Port;
    const Port lpt1{{0, kLpt1Base}};
    struct Case {
        std::vector<Port> ports;
        EncoderScenario scenario;
        std::string reason;
    };
    TempDir dir;
    WriteBytes(dir / "s.rds", "CLEAR\r\n");
    for (const Case& c : {
             Case{{}, EncoderScenario::Healthy, "no parallel port found for LPT1"},
             Case{{Port{{0, kLpt1Base}, false}},
                  EncoderScenario::Healthy,
                  "/dev/parport0 missing: ppdev not loaded (sudo modprobe ppdev)"},
             Case{{Port{{0, kLpt1Base}, true, false}},
                  EncoderScenario::Healthy,
                  "/dev/parport0 not permitted: add the user to group lp and log in again"},
             Case{{Port{{0, kLpt1Base}, true, true, true, true}},
                  EncoderScenario::Healthy,
                  "/dev/parport0 is held by another program"},
             Case{{lpt1},
                  EncoderScenario::StuckHigh,
                  "the encoder did not answer: status line stuck high"},
             Case{{lpt1},
                  EncoderScenario::Absent,
                  "the encoder did not answer: status line stuck low"},
             Case{{lpt1},
                  EncoderScenario::NoConfirm,
                  "the encoder did not confirm the write, retries included"},
         }) {
        FakeMachine machine(c.ports, c.scenario);
        std::ostringstream out, err;
        EXPECT_EQ(SendCommand({dir / "s.rds"}, out, err, machine.Environment()), 1);
        EXPECT_EQ(err.str(), "Error: " + c.reason + "\n");
        EXPECT_EQ(out.str(), "");
    }
}

// Every page of a send of its own, counted in the ledger the program keeps.
TEST(SendCommand, WritesEveryPageAndCountsThemInTheWearLedger) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "CLEAR\r\nRT=Counted\r\n");
    FakeMachine machine({{{0, kLpt1Base}}}, EncoderScenario::Healthy);
    for (int send = 0; send < 2; ++send) {
        std::ostringstream out, err;
        ASSERT_EQ(SendCommand({"--full", dir / "s.rds"}, out, err, machine.Environment()), 0)
            << err.str();
    }
    EXPECT_EQ(machine.encoder.PageWrites(0, 0), 2);
    EXPECT_EQ(machine.encoder.PageWrites(1, 12), 2) << "the last page of the radiotext";
    const std::string ledger = ReadBytes(machine.folder / "vaxow.wear");
    EXPECT_THAT(ledger, HasSubstr("\r\nA0 2 2 2 2 0 0 0 0 0 0 0 0 0 0 0 0\r\n"));
    EXPECT_THAT(ledger, HasSubstr("\r\nA2 2 2 2 2 2 2 2 2 2 2 2 2 2 0 0 0\r\n"));
}

TEST(SendCommand, AMissingStationIsAnErrorAndTouchesNoPort) {
    TempDir dir;
    FakeMachine machine({{{0, kLpt1Base}}}, EncoderScenario::Healthy);
    std::ostringstream out, err;
    EXPECT_EQ(SendCommand({dir / "rock-fm.rsd"}, out, err, machine.Environment()), 2);
    EXPECT_EQ(err.str(), "vaxoctl: station file " + dir / "rock-fm.rsd" + " does not exist\n");
    EXPECT_EQ(machine.system, nullptr) << "the port layer was never made";
    EXPECT_EQ(machine.encoder.Writes(), 0);
}

#endif

TEST(SendCommand, RejectsMisuse) {
    std::ostringstream out, err;
    EXPECT_THROW(SendCommand({"--bank", "3", "s.rds"}, out, err), UsageError);
    EXPECT_THROW(SendCommand({"--port", "lpt3", "s.rds"}, out, err), UsageError);
    EXPECT_THROW(SendCommand({"--simulate=flaky", "s.rds"}, out, err), UsageError);
    EXPECT_THROW(SendCommand({"--simulate", "healthy", "s.rds"}, out, err), UsageError)
        << "a scenario is given with =";
}

}  // namespace
}  // namespace vaxo::ctl
