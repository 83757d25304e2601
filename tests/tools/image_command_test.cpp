#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "base/text_lines.h"
#include "tests/support/temp_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

using test::TempDir;
using test::WriteBytes;
using ::testing::StartsWith;

std::vector<std::string> ImageLines(const std::vector<std::string>& args, int expectedCode = 0) {
    std::ostringstream out, err;
    EXPECT_EQ(ImageCommand(args, out, err), expectedCode) << err.str();
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ImageCommand, PrintsBothAreasAndTheTidiedFields) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "PI=d3c2\r\nAF1=x\r\nAF2=87.6\r\nAF3=99.0\r\n");
    const auto lines = ImageLines({"--at", "2026-12-08 10:00:00", dir / "s.rds"});
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_THAT(lines[0], StartsWith("area1 D3C2CA01"));
    EXPECT_EQ(lines[0].size(), 6u + 384u);
    EXPECT_EQ(lines[1].size(), 6u + 416u);
    EXPECT_EQ(lines[2], "dps-table-present 0");
    EXPECT_EQ(lines[3], "pi D3C2");
    EXPECT_EQ(lines[4], "af 87.6|99.0|||||");
}

TEST(ImageCommand, GroupsAreFourZeroAThenSixteenOfAreaTwo) {
    TempDir dir;
    const auto lines = ImageLines({"--groups", dir / "none.rds"});
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], "FFFF 0408 E0CD 464D");
    EXPECT_EQ(lines[3], "FFFF 040B CDCD 494F");
    EXPECT_EQ(lines[4], lines[0]) << "no radiotext: area two repeats the PS groups";
}

TEST(ImageCommand, AbFlagAndDecimalSeparatorReachTheGroups) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "RT=Hi\r\nAF1=87,6\r\n");
    auto lines = ImageLines({"--groups", "--ab", "1", "--decimal-separator", ",", dir / "s.rds"});
    EXPECT_EQ(lines[0], "FFFF 0408 E101 464D");
    EXPECT_EQ(lines[4], "FFFF 2410 4869 2020");
    lines = ImageLines({"--groups", "--ab=0", "--decimal-separator=.", dir / "s.rds"});
    EXPECT_EQ(lines[0], "FFFF 0408 E0CD 464D");
    EXPECT_EQ(lines[4], "FFFF 2400 4869 2020");
}

TEST(ImageCommand, RejectsBadOptionsAndReportsUnreadableFiles) {
    TempDir dir;
    std::ostringstream out, err;
    EXPECT_THROW(ImageCommand({"--at", "tomorrow", "x.rds"}, out, err), UsageError);
    EXPECT_THROW(ImageCommand({"--ab", "2", "x.rds"}, out, err), UsageError);
    EXPECT_THROW(ImageCommand({"--decimal-separator", "ab", "x.rds"}, out, err), UsageError);
    EXPECT_EQ(ImageCommand({dir.path().string()}, out, err), 1);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace vaxo::ctl
