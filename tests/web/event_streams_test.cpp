#include "web/event_streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace vaxo {
namespace {

using namespace std::chrono_literals;

class EventStreamsTest : public ::testing::Test {
  protected:
    // Runs the loop until nothing is left to do, or `limit` passed.
    void Settle(std::chrono::milliseconds limit = 500ms) {
        io_.restart();
        io_.run_for(limit);
    }
    std::uint64_t Watch(const std::string& session, std::vector<std::string>& got, int& closed) {
        return streams_.Add(
            session, [&got](const std::string& event) { got.push_back(event); },
            [&closed] { ++closed; });
    }

    boost::asio::io_context io_;
    int version_ = 0;
    EventStreams streams_{io_, [this] { return "{\"v\":" + std::to_string(version_) + "}"; }};
};

TEST_F(EventStreamsTest, EachPageGetsTheStateAtOnceAndOneEventPerMomentOfChanges) {
    std::vector<std::string> first;
    std::vector<std::string> second;
    int closed = 0;
    Watch("a", first, closed);
    Watch("b", second, closed);
    ASSERT_EQ(first, std::vector<std::string>{"event: state\ndata: {\"v\":0}\n\n"});

    for (version_ = 1; version_ <= 5; ++version_) {
        streams_.Changed();  // the changes of one request
    }
    --version_;
    Settle(20ms);
    ASSERT_EQ(first.size(), 2U) << "after a quiet spell the change goes out at once";
    EXPECT_EQ(first.back(), "event: state\ndata: {\"v\":5}\n\n");

    version_ = 6;
    streams_.Changed();
    Settle(10ms);
    EXPECT_EQ(first.size(), 2U) << "during a run of changes they are gathered";
    Settle(EventStreams::kGather + 50ms);
    ASSERT_EQ(first.size(), 3U);
    EXPECT_EQ(first.back(), "event: state\ndata: {\"v\":6}\n\n");
    EXPECT_EQ(second, first);
    EXPECT_EQ(closed, 0);
}

TEST_F(EventStreamsTest, SigningOutClosesThatSessionsPagesOnly) {
    std::vector<std::string> mine;
    std::vector<std::string> other;
    int closedMine = 0;
    int closedOther = 0;
    Watch("mine", mine, closedMine);
    Watch("mine", mine, closedMine);
    const auto id = Watch("other", other, closedOther);
    streams_.CloseSession("mine");
    EXPECT_EQ(closedMine, 2);
    EXPECT_EQ(streams_.Count(), 1U);

    version_ = 1;
    streams_.Changed();
    Settle();
    EXPECT_EQ(mine.size(), 2U) << "nothing more to a closed page";
    EXPECT_EQ(other.size(), 2U);
    streams_.Remove(id);
    streams_.Changed();
    Settle();
    EXPECT_EQ(other.size(), 2U);
    EXPECT_EQ(closedOther, 0) << "a page that went away is not closed again";
}

}  // namespace
}  // namespace vaxo
