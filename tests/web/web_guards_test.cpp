#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "net/asio_addresses.h"
#include "tests/support/fresh_boot.h"
#include "web/request_checks.h"
#include "web/sessions.h"
#include "web/sign_in_guard.h"
#include "web/sign_in_queue.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(RequestChecks, ALoopbackListenerAnswersOnlyHostsThatNameLoopbackOrItself) {
    for (const char* host : {"127.0.0.1:8080", "localhost", "LOCALHOST:8080", "app.localhost",
                             "localhost.", "[::1]:8080", "127.5.6.7", "", "192.0.2.7:8080"}) {
        EXPECT_TRUE(HostAllowed(host, true, "192.0.2.7") || std::string(host) == "192.0.2.7:8080")
            << host;
    }
    EXPECT_TRUE(HostAllowed("192.0.2.7:8080", true, "192.0.2.7")) << "the listener's own address";
    for (const char* host : {"evil.example", "evil.example:8080", "localhost.evil.example",
                             "127.0.0.1.nip.io", "[::1", "::1", "[::1]x", ":8080", "192.0.2.8"}) {
        EXPECT_FALSE(HostAllowed(host, true, "127.0.0.1")) << host;
    }
    EXPECT_TRUE(HostAllowed("station.example", false, "0.0.0.0")) << "beyond loopback any name";
}

TEST(RequestChecks, APostFromAnotherSiteIsKnownByFetchSiteOrOrigin) {
    EXPECT_FALSE(CrossSitePost("", "same-origin", "127.0.0.1:8080"));
    EXPECT_FALSE(CrossSitePost("https://proxy.example", "same-origin", "127.0.0.1:8080"))
        << "behind a proxy the browser's word counts";
    for (const char* site : {"cross-site", "same-site", "none"}) {
        EXPECT_TRUE(CrossSitePost("http://127.0.0.1:8080", site, "127.0.0.1:8080")) << site;
    }
    EXPECT_FALSE(CrossSitePost("http://127.0.0.1:8080", "", "127.0.0.1:8080"));
    EXPECT_FALSE(CrossSitePost("http://LocalHost:8080", "", "localhost:8080"));
    for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1:8081", "x"}) {
        EXPECT_TRUE(CrossSitePost(origin, "", "127.0.0.1:8080")) << origin;
    }
    EXPECT_FALSE(CrossSitePost("", "", "127.0.0.1:8080")) << "no browser, no page";
}

TEST(RequestChecks, ClientsAreAddressesAndIpv6Networks) {
    EXPECT_EQ(ClientKeyOfText("192.0.2.7"), ClientKeyOf(AddressBytes("192.0.2.7")->bytes));
    EXPECT_NE(ClientKeyOfText("192.0.2.7"), ClientKeyOfText("192.0.2.8"));
    EXPECT_EQ(ClientKeyOfText("[2001:db8:1:2::1]"), ClientKeyOfText("[2001:db8:1:2:ffff::9]"));
    EXPECT_NE(ClientKeyOfText("[2001:db8:1:2::1]"), ClientKeyOfText("[2001:db8:1:3::1]"));
    EXPECT_EQ(ClientKeyOfText("nonsense"), ClientKey{});
}

ClientKey Guesser(int k) {
    return ClientKeyOfText("10.0." + std::to_string(k / 256) + "." + std::to_string(k % 256));
}

// Eighty addresses that keep guessing cannot keep the operator out: once
// each has failed, the operator, who has not, goes first; one who signed
// in before goes before fresh guessers too.
TEST(SignInQueue, GuessersFromManyAddressesNeverKeepOutOneThatHasNotFailed) {
    SignInQueue queue;
    std::uint64_t id = 0;
    std::size_t refused = 0;
    const auto drain = [&](std::uint64_t wanted) {
        std::size_t before = 0;
        for (auto next = queue.Next(); next; next = queue.Next()) {
            queue.Done(next->client);
            if (next->id == wanted) {
                break;
            }
            ++before;
        }
        while (const auto rest = queue.Next()) {
            queue.Done(rest->client);
        }
        return before;
    };
    const auto guessers = [&](int rank) {
        for (int k = 0; k < 80; ++k) {
            refused += queue.Add({++id, Guesser(k), rank}).queued ? 0 : 1;
        }
    };
    guessers(0);
    ASSERT_TRUE(queue.Add({++id, ClientKeyOfText("192.0.2.5"), -1}).queued)
        << "signed in before: ahead of fresh guessers";
    EXPECT_EQ(drain(id), 0u);
    for (int round = 1; round < 5; ++round) {
        guessers(round);
        ASSERT_TRUE(queue.Add({++id, ClientKeyOfText("192.0.2.1"), 0}).queued) << round;
        EXPECT_EQ(drain(id), 0u) << round;
    }
    EXPECT_GT(refused, 0u) << "a full queue refuses guessers";
}

// Right after a start every guesser is as fresh as the operator; each
// sign-in of a guesser turned away, and each failure far more, puts it
// behind an address never seen, which the operator's may be.
TEST(SignInGuard, AnAddressThatNeitherFailedNorPressedRanksFirstFromTheStart) {
    SignInGuard guard;
    const auto now = test::kJustBooted;
    EXPECT_EQ(guard.Rank("10.0.0.1"), 0);
    guard.TurnedAway("10.0.0.1", now);
    guard.TurnedAway("10.0.0.1", now);
    EXPECT_EQ(guard.Rank("10.0.0.1"), 2);
    guard.Failed("10.0.0.1", now);
    EXPECT_EQ(guard.Rank("10.0.0.1"), SignInGuard::kFailureWeight) << "a check forgets the waits";
    guard.TurnedAway("10.0.0.1", now);
    EXPECT_GT(guard.Rank("10.0.0.1"), SignInGuard::kFailureWeight);
    for (int k = 0; k < 5000; ++k) {
        guard.TurnedAway("10.0.0.2", now);
    }
    EXPECT_LT(guard.Rank("10.0.0.2"), SignInGuard::kFailureWeight)
        << "no number of waits weighs a failure";
    guard.Succeeded("192.0.2.1");
    guard.TurnedAway("192.0.2.1", now);
    EXPECT_EQ(guard.Rank("192.0.2.1"), -1) << "busy checks cost a known address nothing";
    EXPECT_EQ(guard.Rank("10.0.0.3"), 0) << "never seen";

    SignInQueue queue(2);
    ASSERT_TRUE(queue.Add({1, Guesser(1), 0}).queued);
    ASSERT_TRUE(queue.Add({2, Guesser(2), 0}).queued);
    EXPECT_FALSE(queue.Add({3, ClientKeyOfText("192.0.2.9"), 0}).queued) << "all alike";
    EXPECT_FALSE(queue.Add({4, Guesser(2), 1}).queued) << "presses while it waits";
    const auto taken = queue.Add({5, ClientKeyOfText("192.0.2.9"), 0});
    EXPECT_TRUE(taken.queued);
    EXPECT_EQ(taken.pushedOut, 2u) << "the one that pressed gives way";
}

TEST(SignInQueue, OneSignInOfAnAddressAtATime) {
    SignInQueue queue(4);
    const ClientKey a = ClientKeyOfText("192.0.2.1");
    EXPECT_TRUE(queue.Add({1, a, 0}).queued);
    EXPECT_FALSE(queue.Add({2, a, 0}).queued) << "waiting";
    EXPECT_EQ(queue.Next()->id, 1u);
    EXPECT_FALSE(queue.Add({3, a, 0}).queued) << "being checked";
    queue.Done(a);
    EXPECT_TRUE(queue.Add({4, a, 0}).queued);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(queue.Add({10u + k, Guesser(k), 3}).queued);
    }
    const auto pushed = queue.Add({20, Guesser(9), 1});
    EXPECT_TRUE(pushed.queued);
    EXPECT_EQ(pushed.pushedOut, 12u) << "the newest of those that failed most gives way";
    EXPECT_FALSE(queue.Add({21, Guesser(10), 3}).queued) << "none failed more";
}

TEST(Sessions, AViewerSigningInOftenNeverEndsAnOperatorsSession) {
    SessionStore store(30min, 3);
    std::vector<std::string> ended;
    store.OnEnd([&](const std::string& id) { ended.push_back(id); });
    const auto start = test::kJustBooted;
    const std::string op = store.Open(WebRole::Operator, "192.0.2.1", start).id;
    std::string firstViewer;
    for (int k = 0; k < 256; ++k) {
        const std::string id = store.Open(WebRole::Viewer, "192.0.2.9", start + 1s * k).id;
        firstViewer = firstViewer.empty() ? id : firstViewer;
    }
    EXPECT_NE(store.Find(op, start + 5min), nullptr);
    EXPECT_EQ(store.Count(), 4u);
    EXPECT_EQ(ended.size(), 253u);
    EXPECT_EQ(ended.front(), firstViewer) << "the oldest viewer went first";
}

TEST(Sessions, AWatchingPageKeepsItsSessionAndAnEndedOneIsTold) {
    SessionStore store(30min, 3);
    std::set<std::string> watched;
    std::vector<std::string> ended;
    store.OnEnd([&](const std::string& id) { ended.push_back(id); });
    store.WatchedBy([&](const std::string& id) { return watched.contains(id); });
    const auto start = test::kJustBooted;
    const std::string wall = store.Open(WebRole::Viewer, "192.0.2.1", start).id;
    const std::string desk = store.Open(WebRole::Viewer, "192.0.2.2", start).id;
    watched.insert(wall);
    EXPECT_EQ(store.Peek(desk, start + 31min), nullptr);
    EXPECT_NE(store.Peek(wall, start + 31min), nullptr);
    EXPECT_NE(store.Find(wall, start + 3h), nullptr) << "watched all along";
    EXPECT_EQ(store.Find(desk, start + 3h), nullptr);
    EXPECT_EQ(ended, std::vector<std::string>{desk});
    watched.clear();
    store.Touch(wall, start + 3h);
    EXPECT_NE(store.Find(wall, start + 3h + 29min), nullptr)
        << "its idle time begins when it stops";
}

}  // namespace
}  // namespace vaxo
