#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/drop_log.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

// Each kind is told at its first drop, then at most once a minute: on time
// by the timer's Flush even when no further drop comes, and at the end;
// the same whatever the clock read when the program started.
class DropLogAt : public ::testing::TestWithParam<std::chrono::seconds::rep> {};

TEST_P(DropLogAt, CountsAreToldWhenTheirMinuteIsOverAndAtTheEnd) {
    std::vector<std::string> lines;
    DropLog log([&](const std::string& line) { lines.push_back(line); });
    const DropLog::Clock::time_point start{std::chrono::seconds(GetParam())};
    log.Dropped("192.0.2.1", "datagrams from addresses not allowed", start);
    ASSERT_THAT(lines, ElementsAre("dropped 1 datagrams from addresses not allowed "
                                   "(192.0.2.1 the last)"));
    lines.clear();
    for (int k = 0; k < 774; ++k) {
        log.Dropped("192.0.2." + std::to_string(2 + k % 200),
                    "datagrams from addresses not allowed", start + 1s);
    }
    log.Flush(start + 59s);
    EXPECT_THAT(lines, IsEmpty()) << "within the minute: counted";
    log.Flush(start + 60s);
    EXPECT_THAT(lines, ElementsAre("dropped 774 datagrams from addresses not allowed "
                                   "(192.0.2.175 the last)"));
    log.Dropped("192.0.2.9", "datagrams from addresses not allowed", start + 61s);
    log.Flush(start + 62s);
    log.FlushAll();
    EXPECT_EQ(lines.size(), 2u) << "what is left, at the end";
    EXPECT_EQ(lines.back(), "dropped 1 datagrams from addresses not allowed (192.0.2.9 the last)");
    log.FlushAll();
    EXPECT_EQ(lines.size(), 2u) << "nothing twice";
}

INSTANTIATE_TEST_SUITE_P(Uptimes, DropLogAt, ::testing::Values(0, 60, 3600, 259'200));

}  // namespace
}  // namespace vaxo
