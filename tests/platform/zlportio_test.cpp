#include "platform/zlportio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A Windows whose driver opens, installs and starts as the case says; every
// call is written down.
class FakeDriverSystem : public PortDriverSystem {
  public:
    bool ntFamily = true;
    std::vector<std::uint32_t> openResults;  // one per open; then "not found" (2)
    std::uint32_t startResult = 0;
    std::uint8_t readReply = 0x5A;
    std::vector<std::string> calls;

    bool IsNtFamily() override { return ntFamily; }
    std::uint32_t OpenDevice() override {
        calls.push_back("open");
        if (openResults.empty()) {
            return 2;
        }
        const std::uint32_t result = openResults.front();
        openResults.erase(openResults.begin());
        return result;
    }
    void Request(std::uint32_t code, std::span<const std::uint8_t> input,
                 std::span<std::uint8_t> output) override {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(code));
        std::string call = std::string("request ") + text;
        for (std::uint8_t byte : input) {
            std::snprintf(text, sizeof text, " %02X", byte);
            call += text;
        }
        calls.push_back(call + " out " + std::to_string(output.size()));
        if (!output.empty()) {
            output[0] = readReply;
        }
    }
    std::string DriverFilePath() override { return "C:\\Enc\\zlportio.sys"; }
    std::uint32_t ServiceInstall(const std::string& path, const std::string& name) override {
        calls.push_back("install " + path + " " + name);
        return 0;
    }
    std::uint32_t ServiceStart(const std::string& name) override {
        calls.push_back("start " + name);
        return startResult;
    }
    std::uint32_t ServiceStop(const std::string& name) override {
        calls.push_back("stop " + name);
        return 0;
    }
    std::uint32_t ServiceRemove(const std::string& name) override {
        calls.push_back("remove " + name);
        return 0;
    }
    std::uint32_t DirectIn(std::uint16_t port, std::uint32_t width) override {
        calls.push_back("in " + std::to_string(port) + " " + std::to_string(width));
        return 0xA5;
    }
    void DirectOut(std::uint16_t port, std::uint32_t width, std::uint32_t value) override {
        calls.push_back("out " + std::to_string(port) + " " + std::to_string(width) + " " +
                        std::to_string(value));
    }
};

TEST(ZlPortIo, OutsideTheNtFamilyEverythingIsDirectAndNoDriverIsTouched) {
    FakeDriverSystem system;
    system.ntFamily = false;
    ZlPortIo io(system);
    io.PortLayerStartup();
    EXPECT_TRUE(io.PortAccessAvailable());
    EXPECT_TRUE(io.DirectAccessActive());
    io.SetDirectAccess(false);
    EXPECT_TRUE(io.DirectAccessActive()) << "nothing to withdraw";
    EXPECT_EQ(io.PortRead(0x379, 0), 0xA5u);
    io.PortWrite(0x378, 0, 0x60);
    io.PortLayerShutdown();
    EXPECT_THAT(system.calls, ElementsAre("in 889 0", "out 888 0 96"));
}

TEST(ZlPortIo, ARunningDriverServesRequestsUntilDirectAccessAndIsRemovedAtTheEnd) {
    FakeDriverSystem system;
    system.openResults = {183};  // already exists: a success too
    ZlPortIo io(system);
    io.PortLayerStartup();
    ASSERT_TRUE(io.PortAccessAvailable());
    EXPECT_FALSE(io.DirectAccessActive());
    EXPECT_EQ(io.PortRead(0x379, 0), 0x5Au);
    io.PortWrite(0x378, 1, 0x1234);
    io.SetDirectAccess(true);
    EXPECT_TRUE(io.DirectAccessActive());
    io.PortWrite(0x378, 0, 0);
    io.PortLayerShutdown();
    EXPECT_THAT(
        system.calls,
        ElementsAre("open", "request 80FF0004 79 03 00 00 00 00 00 00 00 00 00 00 out 4",
                    "request 80FF0008 78 03 00 00 01 00 00 00 34 12 00 00 out 0",
                    "request 80FF000C out 0", "out 888 0 0", "stop zlportio", "remove zlportio"));
}

TEST(ZlPortIo, InstallRemovesAnOldServiceAndOnlyASecondOpenGivesAccess) {
    struct Case {
        std::vector<std::uint32_t> opens;
        std::uint32_t start;
        bool available;
    };
    for (const Case& c : {Case{{2, 0}, 0, true}, Case{{2, 2}, 0, false}, Case{{2}, 2, false}}) {
        FakeDriverSystem system;
        system.openResults = c.opens;
        system.startResult = c.start;
        ZlPortIo io(system);
        io.PortLayerStartup();
        EXPECT_EQ(io.PortAccessAvailable(), c.available);
        std::vector<std::string> expected = {"open", "stop zlportio", "remove zlportio",
                                             "install C:\\Enc\\zlportio.sys zlportio",
                                             "start zlportio"};
        if (c.start == 0) {
            expected.push_back("open");
        }
        EXPECT_EQ(system.calls, expected);
        system.calls.clear();
        io.SetDirectAccess(true);
        EXPECT_EQ(io.PortRead(0x379, 0), c.available ? 0xA5u : 0u) << "direct once granted";
        io.PortWrite(0x378, 0, 0);
        io.PortLayerShutdown();
        if (!c.available) {
            EXPECT_THAT(system.calls, IsEmpty()) << "no access: nothing sent, nothing removed";
            EXPECT_FALSE(io.DirectAccessActive());
        }
    }
}

}  // namespace
}  // namespace vaxo
