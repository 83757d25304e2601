#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/control_program.h"
#include "base/overloaded.h"
#include "link/encoder_simulator.h"
#include "platform/program_dir.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/settle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_services.h"

namespace vaxo::test {

// A started program on a loop the test turns, a simulated encoder behind
// it, and what it told of commands from outside.
class RunningProgram {
  public:
    RunningProgram() {
        program_ = std::make_unique<ControlProgram>(TestServices(host_, layer_, timing_, folder_));
        listening_ = program_->Listen([this](const ProgramEvent& event) {
            std::visit(Overloaded{
                           [this](const RemoteCommand& command) { remote.push_back(command); },
                           [this](const SendStarted&) { ++sends; },
                           [](const auto&) {},
                       },
                       event);
        });
        program_->Start({});
        Settle();
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram() { program_->ReleasePort(); }

    ControlProgram& operator*() { return *program_; }
    ControlProgram* operator->() { return program_.get(); }
    ManualHost& Host() { return host_; }

    // Lets the link thread finish what it was given.
    void Settle() {
        if (!test::SettleThroughHolds(
                host_, timing_, [&] { return program_->View().Idle(); },
                [&] { return program_->View().SendHolding(); })) {
            throw std::runtime_error("the program did not come to rest");
        }
    }
    // The send a remote change asked for, as its timer would start it.
    void SendSoon() {
        host_.Fire("send soon");
        Settle();
    }
    std::vector<std::string> Refusals() const {
        std::vector<std::string> reasons;
        for (const RemoteCommand& command : remote) {
            if (!command.refused.empty()) {
                reasons.push_back(command.refused);
            }
        }
        return reasons;
    }

    std::vector<RemoteCommand> remote;
    int sends = 0;

  private:
    OwnRuntimeDir runtime_;
    TempDir folder_;
    ManualHost host_;
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    FakeLinkTiming timing_;
    std::unique_ptr<ControlProgram> program_;
    Subscription listening_;
};

}  // namespace vaxo::test
