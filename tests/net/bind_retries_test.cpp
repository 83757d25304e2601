#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/bind_retries.h"

namespace vaxo {
namespace {

using ::testing::IsEmpty;
using ::testing::Pair;
using namespace std::chrono_literals;

struct Told {
    std::vector<std::pair<std::string, std::string>> lines;

    ListenerWatch Watch() {
        return [this](const std::string& listener, const std::string& trouble) {
            lines.emplace_back(listener, trouble);
        };
    }
};

// Runs the loop until `done` or a generous deadline: the waits here are
// milliseconds, the deadline only ends a test that went wrong. A real port
// held and freed is the window's test and the live test.
template <typename Done>
bool RunUntil(boost::asio::io_context& io, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        io.run_one_for(10ms);
    }
    return done();
}

BindOutcome Failing(boost::system::error_code error) {
    return {error, "text TCP 127.0.0.1:4000: " + error.message()};
}

TEST(BindRetriesTest, WhatWillNotPassEndsTheStart) {
    boost::asio::io_context io;
    Told told;
    BindRetries retries(io, 1ms);
    const auto taken = [] { return Failing(boost::asio::error::address_in_use); };
    EXPECT_EQ(retries.Begin("unwatched", taken), taken().problem)
        << "without a watch, as every start was";

    retries.Watch(told.Watch());
    const auto refused = [] { return Failing(boost::asio::error::address_family_not_supported); };
    EXPECT_EQ(retries.Begin("no IPv6", refused), refused().problem);
    const auto bound = [] { return BindOutcome{}; };
    EXPECT_EQ(retries.Begin("bound", bound), std::nullopt);
    io.run_for(20ms);
    EXPECT_THAT(told.lines, IsEmpty());
}

// A new reason is told again; Stop ends the tries, and a listener whose
// server has ended is never bound behind it.
TEST(BindRetriesTest, ANewReasonIsToldAndStopEndsTheTries) {
    boost::asio::io_context io;
    Told told;
    BindRetries retries(io, 1ms);
    retries.Watch(told.Watch());
    std::vector<BindOutcome> outcomes{
        Failing(boost::asio::error::address_in_use), Failing(boost::asio::error::address_in_use),
        Failing(boost::system::errc::make_error_code(boost::system::errc::address_not_available)),
        BindOutcome{}};
    std::size_t next = 0;
    EXPECT_EQ(retries.Begin("text", [&] { return outcomes.at(next++); }), std::nullopt);
    ASSERT_TRUE(RunUntil(io, [&] { return told.lines.size() == 3; }));
    EXPECT_EQ(told.lines[1].second, outcomes[2].error.message());
    EXPECT_THAT(told.lines[2], Pair("text", ""));
    EXPECT_EQ(next, 4U);

    int tries = 0;
    EXPECT_EQ(retries.Begin("held",
                            [&] {
                                ++tries;
                                return Failing(boost::asio::error::address_in_use);
                            }),
              std::nullopt);
    retries.Stop();
    io.run_for(20ms);
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(told.lines.size(), 4U);
}

}  // namespace
}  // namespace vaxo
