#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "events/event_hub.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

TEST(EventHub, EveryListenerHearsEveryEventInOrder) {
    EventHub hub;
    std::vector<std::string> heard;
    const Subscription a = hub.Listen([&](const ProgramEvent&) { heard.push_back("a"); });
    const Subscription b = hub.Listen([&](const ProgramEvent&) { heard.push_back("b"); });
    hub.Emit(ExitRequested{});
    hub.Emit(HandOverTaken{});
    EXPECT_THAT(heard, ElementsAre("a", "b", "a", "b"));
}

TEST(EventHub, AListenerMayRemoveItselfOrAnotherWhileItIsCalled) {
    EventHub hub;
    std::vector<std::string> heard;
    Subscription second;
    Subscription first = hub.Listen([&](const ProgramEvent&) {
        heard.push_back("first");
        first.Remove();
        second.Remove();
    });
    second = hub.Listen([&](const ProgramEvent&) { heard.push_back("second"); });
    hub.Emit(ExitRequested{});
    hub.Emit(ExitRequested{});
    EXPECT_THAT(heard, ElementsAre("first")) << "a listener removed meanwhile is not called";
}

TEST(EventHub, RemovalFromAnotherThreadWaitsForTheCallThatRuns) {
    EventHub hub;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    Subscription listening = hub.Listen([&](const ProgramEvent&) {
        ++calls;
        inside = true;
        while (!release) {
            std::this_thread::yield();
        }
    });
    std::thread emitter([&] { hub.Emit(ExitRequested{}); });
    while (!inside) {
        std::this_thread::yield();
    }
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        listening.Remove();
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed) << "the call still runs";
    release = true;
    emitter.join();
    remover.join();
    hub.Emit(ExitRequested{});
    EXPECT_EQ(calls, 1);
}

TEST(EventHub, ASubscriptionMayOutliveItsHub) {
    Subscription listening;
    {
        EventHub hub;
        listening = hub.Listen([](const ProgramEvent&) {});
    }
    listening.Remove();
}

}  // namespace
}  // namespace vaxo
