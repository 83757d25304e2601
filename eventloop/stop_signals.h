#pragma once

#include <functional>
#include <memory>

#include "eventloop/asio.h"

namespace vaxo {

// Calls `stop` on the loop's thread with the signal's number when the
// operator or the system asks the program to end: on Linux SIGINT, SIGTERM
// and SIGHUP; on Windows Ctrl+C, Ctrl+Break, the console closing, logoff and
// shutdown. A reader of the output that goes away (SIGPIPE) ends nothing.
class StopSignals {
  public:
    StopSignals(boost::asio::io_context& io, std::function<void(int signal)> stop);
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

  private:
    struct Watch;
    std::shared_ptr<Watch> watch_;
};

}  // namespace vaxo
