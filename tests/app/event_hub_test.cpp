#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "events/event_hub.h"
#include "tests/support/running_program.h"

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

// The hub lives on its loop's thread; a subscription ends on any other.
TEST(EventHub, RemovalFromAnotherThreadWaitsForTheCallThatRuns) {
    std::unique_ptr<EventHub> hub;
    Subscription listening;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<bool> again{false};
    std::atomic<int> calls{0};
    std::thread loop([&] {
        hub = std::make_unique<EventHub>();
        listening = hub->Listen([&](const ProgramEvent&) {
            ++calls;
            inside = true;
            while (!release) {
                std::this_thread::yield();
            }
        });
        hub->Emit(ExitRequested{});
        while (!again) {
            std::this_thread::yield();
        }
        hub->Emit(ExitRequested{});
    });
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
    remover.join();
    again = true;
    loop.join();
    EXPECT_EQ(calls, 1);
}

#if GTEST_HAS_DEATH_TEST && defined(VAXO_THREAD_CHECKS) && !defined(_WIN32)
// With thread checks on, work of the loop from another thread ends the
// program with its name: a command, an event.
TEST(LoopThreadDeathTest, ACommandOrAnEventFromAnotherThreadEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EventHub hub;
    EXPECT_DEATH(std::thread([&] { hub.Emit(ExitRequested{}); }).join(),
                 "EventHub::Emit: called from a thread other than its loop's");
    test::RunningProgram program;
    EXPECT_DEATH(std::thread([&] {
                     const CommandOutcome outcome = program->Execute({{}, EndProgram{}});
                     static_cast<void>(outcome);
                 }).join(),
                 "ControlProgram::Execute: called from a thread other than its loop's");
}
#endif

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
