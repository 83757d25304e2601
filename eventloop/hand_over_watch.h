#pragma once

#include <functional>
#include <memory>
#include <string>

#include "eventloop/asio.h"

namespace vaxo {

// Calls `changed` on the loop's thread when a later start may have handed
// something over: when the hand-over block's file changes (Linux), or every
// few seconds where the block is no file or its changes cannot be watched.
class HandOverWatch {
  public:
    HandOverWatch(boost::asio::io_context& io, const std::string& blockPath,
                  std::function<void()> changed);
    HandOverWatch(const HandOverWatch&) = delete;
    HandOverWatch& operator=(const HandOverWatch&) = delete;
    ~HandOverWatch();

  private:
    struct Watch;
    std::shared_ptr<Watch> watch_;
};

}  // namespace vaxo
