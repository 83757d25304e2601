#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "net/accept_loop.h"
#include "net/bind_retries.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using namespace std::chrono_literals;
using tcp = boost::asio::ip::tcp;

struct Told {
    std::vector<std::pair<std::string, std::string>> lines;

    ListenerWatch Watch() {
        return [this](const std::string& listener, const std::string& trouble) {
            lines.emplace_back(listener, trouble);
        };
    }
};

// Runs the loop until `done` or a generous deadline: the waits here are
// milliseconds, the deadline only ends a test that went wrong.
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

// A port another program holds: told once, tried again quietly while it is
// held, and bound (and answering) once it is free.
TEST(BindRetriesTest, ATakenPortIsBoundOnceItIsFree) {
    boost::asio::io_context io;
    auto holder = std::make_unique<tcp::acceptor>(io, tcp::endpoint(tcp::v4(), 0));
    ListenerSetting setting;
    setting.host = "127.0.0.1";
    setting.port = holder->local_endpoint().port();
    holder = std::make_unique<tcp::acceptor>(io);
    boost::system::error_code error;
    ASSERT_FALSE(Listen(*holder, setting));

    Told told;
    BindRetries retries(io, 2ms);
    retries.Watch(told.Watch());
    int attempts = 0;
    tcp::acceptor acceptor(io);
    const auto attempt = [&]() -> BindOutcome {
        ++attempts;
        acceptor.close(error);
        if (const auto failed = Listen(acceptor, setting)) {
            return {failed, "web 127.0.0.1: " + failed.message()};
        }
        return {};
    };
    EXPECT_EQ(retries.Begin("web 127.0.0.1", attempt), std::nullopt);
    ASSERT_TRUE(RunUntil(io, [&] { return attempts >= 4; }));
    ASSERT_EQ(told.lines.size(), 1U);
    EXPECT_EQ(told.lines[0].first, "web 127.0.0.1");
    EXPECT_FALSE(told.lines[0].second.empty()) << "the system's reason: in use, or held";

    holder.reset();
    ASSERT_TRUE(RunUntil(io, [&] { return told.lines.size() == 2; }));
    EXPECT_THAT(told.lines[1], Pair("web 127.0.0.1", ""));
    tcp::socket client(io);
    client.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), setting.port), error);
    EXPECT_FALSE(error) << error.message();
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
