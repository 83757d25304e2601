#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/remote_command_log.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

std::vector<std::string> Texts(const std::vector<RemoteCommandLog::Line>& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) {
        texts.push_back((line.refusal ? "E " : "") + line.text);
    }
    return texts;
}

// Built by appending: GCC 12 at -O3 (MinGW) takes "literal" + std::string&&
// for an overlapping memcpy and warns.
std::string Numbered(std::string text, int number, const char* after = "") {
    text += std::to_string(number);
    text += after;
    return text;
}

RemoteCommand Junk(int i) {
    return {Numbered(Numbered("text 10.0.", i / 256, "."), i % 256, ":1"),
            Numbered("K", i, "=1"),
            Numbered("no field K", i),
            {}};
}

TEST(RemoteCommandLog, ChangesAreToldAtOnceRefusalsGatheredPerAddressForAMinute) {
    RemoteCommandLog log;
    const auto start = RemoteCommandLog::Clock::time_point{};
    const RemoteCommand refused{"text 192.0.2.7:4000", "PTY=45", "PTY takes 0 to 31", {}};
    const RemoteCommand taken{"text 192.0.2.7:4001", "PS=NEWS", "", {FieldId::PS}};
    EXPECT_THAT(Texts(log.Note(refused, start)),
                ElementsAre("E text 192.0.2.7:4000 \"PTY=45\" refused: PTY takes 0 to 31"));
    EXPECT_THAT(Texts(log.Note(taken, start + 1s)),
                ElementsAre("text 192.0.2.7:4001 \"PS=NEWS\" changed PS"));
    for (int i = 0; i < 56; ++i) {
        EXPECT_THAT(log.Note(refused, start + 2s), IsEmpty());
    }
    // Another port of the same address is the same client, another reason
    // the same gathering.
    EXPECT_THAT(log.Note({"text 192.0.2.7:4002", "DI=99", "DI takes 0 to 15", {}}, start + 3s),
                IsEmpty());
    EXPECT_THAT(Texts(log.Note({"text 192.0.2.7:4002", "PS=MORE", "", {FieldId::PS}}, start + 3s)),
                ElementsAre("text 192.0.2.7:4002 \"PS=MORE\" changed PS"))
        << "every change is told, however many came before";
    EXPECT_THAT(log.Flush(start + 59s), IsEmpty());
    EXPECT_THAT(Texts(log.Flush(start + 61s)),
                ElementsAre("E text 192.0.2.7: 57 more refused within a minute, the last text "
                            "192.0.2.7:4002 \"DI=99\" refused: DI takes 0 to 15"));
    EXPECT_THAT(log.Note(refused, start + 62s).size(), 1u) << "a new minute tells again";
    EXPECT_THAT(log.Flush(start + 200s), IsEmpty()) << "nothing more to count";
}

// A flood of junk from many addresses fills the gathering; a change from
// yet another address is still told, and so is the flood.
TEST(RemoteCommandLog, AFloodFromManyAddressesNeitherGrowsItNorHidesAChange) {
    RemoteCommandLog log;
    const auto now = RemoteCommandLog::Clock::time_point{};
    std::size_t told = 0;
    for (int i = 0; i < 5000; ++i) {
        told += log.Note(Junk(i), now).size();
    }
    EXPECT_EQ(told, RemoteCommandLog::kAddressLimit);
    EXPECT_THAT(Texts(log.Note({"text 192.0.2.66:7", "PS=EVILPS", "", {FieldId::PS}}, now + 1s)),
                ElementsAre("text 192.0.2.66:7 \"PS=EVILPS\" changed PS"));
    EXPECT_THAT(Texts(log.Flush(now + 61s)),
                ElementsAre("E 3976 refused from more than 1024 addresses within a minute, not "
                            "told one by one; the last text 10.0.19.135:1 \"K4999=1\" refused: "
                            "no field K4999"));
    EXPECT_EQ(log.Note(Junk(0), now + 62s).size(), 1u);
}

TEST(RemoteCommandLog, WhatIsStillCountedIsToldAtTheEnd) {
    RemoteCommandLog log;
    const auto now = RemoteCommandLog::Clock::time_point{};
    for (int i = 0; i < 3; ++i) {
        static_cast<void>(log.Note(Junk(1), now));
    }
    EXPECT_THAT(log.Flush(now + 5s), IsEmpty());
    EXPECT_THAT(Texts(log.FlushAll()),
                ElementsAre("E text 10.0.0.1: 2 more refused within a minute, the last text "
                            "10.0.0.1:1 \"K1=1\" refused: no field K1"));
    EXPECT_THAT(log.FlushAll(), IsEmpty());
}

}  // namespace
}  // namespace vaxo
