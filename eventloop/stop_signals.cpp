#include "eventloop/stop_signals.h"

#include <csignal>

#ifdef _WIN32
#include "platform/stop_requests.h"
#else
#include <boost/asio/signal_set.hpp>
#endif

namespace vaxo {

#ifdef _WIN32

namespace {

// The console's control events arrive on a thread of their own.
struct ConsoleStop {
    boost::asio::io_context& io;
    std::function<void(int)> stop;
};

std::weak_ptr<ConsoleStop>& Current() {
    static std::weak_ptr<ConsoleStop> current;
    return current;
}

}  // namespace

struct StopSignals::Watch {
    std::shared_ptr<ConsoleStop> console;
};

StopSignals::StopSignals(boost::asio::io_context& io, std::function<void(int)> stop)
    : watch_(std::make_shared<Watch>(
          Watch{std::make_shared<ConsoleStop>(ConsoleStop{io, std::move(stop)})})) {
    Current() = watch_->console;
    CatchStopRequests([] {
        if (const auto console = Current().lock()) {
            boost::asio::post(console->io, [weak = Current()] {
                if (const auto alive = weak.lock()) {
                    alive->stop(SIGTERM);
                }
            });
        }
    });
}

StopSignals::~StopSignals() = default;

#else

struct StopSignals::Watch : std::enable_shared_from_this<Watch> {
    Watch(boost::asio::io_context& io, std::function<void(int)> f)
        : signals(io, SIGINT, SIGTERM, SIGHUP), stop(std::move(f)) {}

    void Wait() {
        signals.async_wait(
            [self = shared_from_this()](const boost::system::error_code& error, int signal) {
                if (error || self->ended) {
                    return;
                }
                self->Wait();
                self->stop(signal);
            });
    }

    boost::asio::signal_set signals;
    std::function<void(int)> stop;
    bool ended = false;
};

StopSignals::StopSignals(boost::asio::io_context& io, std::function<void(int)> stop)
    : watch_(std::make_shared<Watch>(io, std::move(stop))) {
    std::signal(SIGPIPE, SIG_IGN);
    watch_->Wait();
}

StopSignals::~StopSignals() {
    watch_->ended = true;
    boost::system::error_code ignored;
    watch_->signals.cancel(ignored);
}

#endif

}  // namespace vaxo
