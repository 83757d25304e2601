#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/control_program.h"
#include "eventloop/asio.h"
#include "net/bind_retries.h"
#include "netcontrol/network_config.h"

namespace vaxo {

// The network front end: the text commands and UECP over TCP and UDP, on
// the listeners configured and for the clients allowed. It runs on `io`
// (the program's own loop, or one of its own) and hands each command to
// the program's loop through `core`; nothing of the program is touched on
// any other thread. Each client within the configuration's limits (a text
// line of 1,024 bytes, 32 TCP clients at once, 10 minutes of silence, 64 KiB
// of replies it has not read) and a UECP frame of 263 bytes.
class NetworkServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    NetworkServer(boost::asio::io_context& io, CoreHost& core, ControlProgram& program,
                  NetworkConfig config, Log log);
    NetworkServer(const NetworkServer&) = delete;
    NetworkServer& operator=(const NetworkServer&) = delete;
    ~NetworkServer();

    // Those whose address may come free are tried again until they bind,
    // each trouble told to `watch` on the network's thread ("text TCP
    // 127.0.0.1:4000"); before Start.
    void WatchListeners(ListenerWatch watch);
    // Binds every listener and begins; the reason of the first that cannot
    // (and is not tried again).
    std::optional<std::string> Start();
    // Closes every listener and client (from the network's thread).
    void Stop();
    // A snapshot, from any thread.
    std::vector<ListenerStatus> Status() const;

    struct Shared;

  private:
    static void TellDropCounts(const std::shared_ptr<Shared>& shared);
    static void SaveAddressesAfter(const std::weak_ptr<Shared>& weak,
                                   std::chrono::milliseconds after);

    std::shared_ptr<Shared> shared_;
};

}  // namespace vaxo
