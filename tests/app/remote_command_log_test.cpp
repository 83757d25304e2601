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

TEST(RemoteCommandLog, TheFirstOfAKindIsToldTheRestOfTheMinuteCounted) {
    RemoteCommandLog log;
    const auto start = RemoteCommandLog::Clock::time_point{};
    const RemoteCommand refused{"text 192.0.2.7:4000", "PTY=45", "PTY takes 0 to 31", {}};
    const RemoteCommand taken{"text 192.0.2.7:4001", "PS=NEWS", "", {"PS"}};
    EXPECT_THAT(Texts(log.Note(refused, start)),
                ElementsAre("E text 192.0.2.7:4000 \"PTY=45\" refused: PTY takes 0 to 31"));
    EXPECT_THAT(Texts(log.Note(taken, start + 1s)),
                ElementsAre("text 192.0.2.7:4001 \"PS=NEWS\" changed PS"));
    for (int i = 0; i < 57; ++i) {
        EXPECT_THAT(log.Note(refused, start + 2s), IsEmpty());
    }
    // Another port of the same address is the same client.
    EXPECT_THAT(log.Note({"text 192.0.2.7:4002", "PS=MORE", "", {"PS"}}, start + 3s), IsEmpty());
    EXPECT_THAT(log.Flush(start + 59s), IsEmpty());
    EXPECT_THAT(
        Texts(log.Flush(start + 61s)),
        UnorderedElementsAre("E text 192.0.2.7: 57 more refused within a minute, the last text "
                             "192.0.2.7:4000 \"PTY=45\" refused: PTY takes 0 to 31",
                             "text 192.0.2.7: 1 more taken within a minute, the last text "
                             "192.0.2.7:4002 \"PS=MORE\" changed PS"));
    EXPECT_THAT(log.Note(refused, start + 62s).size(), 1u) << "a new minute tells again";
    EXPECT_THAT(log.Flush(start + 200s), IsEmpty()) << "nothing more to count";
}

TEST(RemoteCommandLog, AScanOfManyAddressesCannotGrowItWithoutEnd) {
    RemoteCommandLog log;
    const auto now = RemoteCommandLog::Clock::time_point{};
    std::size_t told = 0;
    for (int i = 0; i < 5000; ++i) {
        told +=
            log.Note({"text 10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ":1",
                      "X",
                      "no such command",
                      {}},
                     now)
                .size();
    }
    EXPECT_EQ(told, 1024u);
    EXPECT_THAT(log.Flush(now + 61s), IsEmpty());
    EXPECT_EQ(log.Note({"text 10.9.9.9:1", "X", "no such command", {}}, now + 62s).size(), 1u);
}

}  // namespace
}  // namespace vaxo
