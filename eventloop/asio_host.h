#pragma once

#include <functional>
#include <memory>

#include "base/core_host.h"
#include "eventloop/asio.h"

namespace vaxo {

// The program's loop without a window: one io_context, run on the thread
// that calls its run(). Timers and posted work wait in the kernel; nothing
// polls.
class AsioHost : public CoreHost {
  public:
    explicit AsioHost(boost::asio::io_context& io) : io_(io) {}

    void Post(std::function<void()> task) override;
    std::unique_ptr<LoopTimer> MakeTimer(std::string_view purpose,
                                         std::function<void()> fire) override;

  private:
    boost::asio::io_context& io_;
};

}  // namespace vaxo
