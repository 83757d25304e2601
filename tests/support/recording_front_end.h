#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/send_operation.h"

namespace vaxo::test {

// Notes what a send shows, in order, as short words.
class RecordingFrontEnd : public SendFrontEnd {
  public:
    void SendStarted() override { events.push_back("started"); }
    void SetProgress(int percent) override { events.push_back(std::to_string(percent)); }
    void HandlePendingEvents() override {
        events.push_back("events");
        if (onPendingEvents) {
            onPendingEvents();
        }
    }
    void SendFailed() override { events.push_back("Error"); }
    void SendFinished() override { events.push_back("finished"); }
    void ShowLastSent(const LastSentRecord& record) override {
        shown = record;
        events.push_back("shown");
    }
    void RequestExit() override { events.push_back("exit"); }

    std::vector<std::string> events;
    LastSentRecord shown{};
    std::function<void()> onPendingEvents;
};

}  // namespace vaxo::test
