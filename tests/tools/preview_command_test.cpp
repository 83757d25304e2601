#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/command_outcome.h"
#include "tests/support/temp_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Outcome = test::CommandOutcome;

Outcome Preview(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = PreviewCommand(args, out, err);
    return {code, out.str(), err.str()};
}

std::string Image(const std::string& station) {
    std::ostringstream out, err;
    EXPECT_EQ(ImageCommand({"--at", "2026-12-08 10:00:00", "--decimal-separator", ".", station},
                           out, err),
              0);
    return out.str();
}

TEST(PreviewCommand, JsonHasExactlyItsKeys) {
    TempDir dir;
    WriteBytes(dir / "s.rds",
               "CLEAR\r\nPI=D3C2\r\nPS=ROCK FM\r\nAF1=87.6\r\nRT=Hello\r\nDI=0001\r\n");
    const Outcome run = Preview({"--json", "--decimal-separator", ".", dir / "s.rds"});
    ASSERT_EQ(run.code, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : json.items()) {
        keys.push_back(key);
    }
    EXPECT_THAT(
        keys, ElementsAre("ab", "af", "blocks", "both_banks", "di", "dps", "ms", "pi", "ps", "pty",
                          "pty_name", "pty_name_rbds", "rt", "ta", "tp", "warnings"));
    EXPECT_EQ(json["pi"], "D3C2");
    EXPECT_EQ(json["ps"], "ROCK FM ");
    EXPECT_EQ(json["dps"], nullptr);
    EXPECT_EQ(json["rt"].get<std::string>().substr(0, 6), "Hello ");
    EXPECT_EQ(json["ab"], 0);
    EXPECT_EQ(json["af"], nlohmann::json::array({87.6}));
    EXPECT_EQ(json["di"]["stereo"], true);
    EXPECT_EQ(json["ms"], "music");
    EXPECT_EQ(json["blocks"]["bad"], 0);
}

TEST(PreviewCommand, AnImageDumpOfFourPagesAndOneWithAFlippedBit) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "CLEAR\r\nPI=D3C2\r\nPS=FOUR\r\n");
    std::string image = Image(dir / "s.rds");
    const std::size_t area1 = image.find("area1 ") + 6;
    image.erase(area1 + 128, 384 - 128);  // 64 bytes, as a send of four pages leaves it
    WriteBytes(dir / "dump.txt", image);
    Outcome run = Preview({"--image", dir / "dump.txt"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("PS    FOUR    \n"));
    EXPECT_THAT(run.out, HasSubstr("80 blocks, 0 bad"));

    image[area1 + 20] = image[area1 + 20] == '0' ? '1' : '0';
    WriteBytes(dir / "dump.txt", image);
    run = Preview({"--image", dir / "dump.txt"});
    EXPECT_EQ(run.code, 1) << "a block fails";
    EXPECT_THAT(run.out, HasSubstr("fails its checkword"));
}

TEST(PreviewCommand, TheMemoryOfASimulatedSendToBankTwo) {
    TempDir dir;
    WriteBytes(dir / "s.rds", "CLEAR\r\nPS=BANK TWO\r\nSTB=0\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(SendCommand({"--simulate", dir / "s.rds"}, out, err), 0) << err.str();
    WriteBytes(dir / "memory.txt", out.str());
    const Outcome run = Preview({"--image", dir / "memory.txt", "--bank", "2"});
    EXPECT_EQ(run.code, 0);
    EXPECT_THAT(run.out, HasSubstr("PS    BANK TWO\n"));
}

TEST(PreviewCommand, WhatIsNoDumpIsRefusedWithItsReason) {
    TempDir dir;
    WriteBytes(dir / "not.txt", "area1 XYZ\n");
    EXPECT_THROW(Preview({"--image", dir / "not.txt"}), UsageError);
    EXPECT_THROW(Preview({"--image", dir / "not.txt", dir / "s.rds"}), UsageError);
    EXPECT_EQ(Preview({"--image", dir / "missing.txt"}).code, 1);
}

}  // namespace
}  // namespace vaxo::ctl
