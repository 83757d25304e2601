#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "netcontrol/network_server.h"

namespace vaxo {

// The network front end on a thread of its own, for a program whose loop is
// not Asio's (the window): the listeners' sockets wait there, and each
// command goes to the program's loop through `core`.
class NetworkThread {
  public:
    NetworkThread(CoreHost& core, ControlProgram& program, NetworkConfig config,
                  NetworkServer::Log log);
    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;
    // Closes every listener and client and waits for the thread.
    ~NetworkThread();

    // Binds every listener and starts the thread; the reason when one
    // cannot be bound (nothing then listens).
    std::optional<std::string> Start();
    std::vector<ListenerStatus> Status() const { return server_.Status(); }
    void WatchListeners(ListenerWatch watch) { server_.WatchListeners(std::move(watch)); }

  private:
    boost::asio::io_context io_;
    NetworkServer server_;
    std::thread thread_;
};

}  // namespace vaxo
