#include "netcontrol/network_thread.h"

#include <boost/asio/executor_work_guard.hpp>

namespace vaxo {

NetworkThread::NetworkThread(CoreHost& core, ControlProgram& program, NetworkConfig config,
                             NetworkServer::Log log)
    : server_(io_, core, program, std::move(config), std::move(log)) {}

NetworkThread::~NetworkThread() {
    if (thread_.joinable()) {
        boost::asio::post(io_, [this] {
            server_.Stop();
            io_.stop();
        });
        thread_.join();
    }
}

std::optional<std::string> NetworkThread::Start() {
    if (auto problem = server_.Start()) {
        return problem;
    }
    thread_ = std::thread([this] {
        const auto work = boost::asio::make_work_guard(io_);
        io_.run();
    });
    return std::nullopt;
}

}  // namespace vaxo
