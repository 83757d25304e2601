#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

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
