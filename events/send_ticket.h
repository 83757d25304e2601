#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/port_io.h"

namespace vaxo {

// How one asked-for send ended.
struct SendResult {
    enum class Status {
        OnAir,    // written into the bank and confirmed
        Failed,   // the link's reason in `problem`
        NotSent,  // never started: see `why`
    };
    Status status = Status::NotSent;
    int bank = 1;
    std::chrono::system_clock::time_point at{};  // when it ended
    LinkProblem problem;
    std::uint64_t revision = 0;  // the station's revision the send wrote
    std::string why = {};        // for NotSent

    bool OnAir() const { return status == Status::OnAir; }
};

// The caller's handle on a send it asked for: it completes when the send
// that carries its request has ended (requests made while one runs, or in
// the same moment, share the next send). Used on the program's loop only.
class SendTicket {
  public:
    bool Done() const { return result_.has_value(); }
    const SendResult& Result() const { return *result_; }
    // Called once with the result, at once when it is already there.
    void WhenDone(std::function<void(const SendResult&)> done) {
        if (result_) {
            done(*result_);
        } else {
            waiting_.push_back(std::move(done));
        }
    }
    void Complete(const SendResult& result) {
        if (result_) {
            return;
        }
        result_ = result;
        for (auto& done : std::exchange(waiting_, {})) {
            done(result);
        }
    }

  private:
    std::optional<SendResult> result_;
    std::vector<std::function<void(const SendResult&)>> waiting_;
};

}  // namespace vaxo
