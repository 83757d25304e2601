#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_program.h"
#include "netcontrol/network_config.h"
#include "netcontrol/uecp_addresses.h"

namespace vaxo {

// One client's conversation in its protocol, the same for TCP and UDP: the
// bytes it sent are cut into the protocol's units on the network's thread
// (what is incomplete waits for more), and each unit is answered on the
// program's loop by the work Receive hands out.
class NetworkSession {
  public:
    struct Reply {
        // To send back: each part whole (a line, a frame), in order.
        std::vector<std::string> parts;
        bool command = true;  // the unit was one of the protocol's: a client that works

        std::string Bytes() const;
    };
    using Work = std::function<Reply(ControlProgram& program)>;

    virtual ~NetworkSession() = default;

    // Network thread: the work for each unit the bytes complete.
    virtual std::vector<Work> Receive(std::string_view bytes) = 0;
    // Network thread: a datagram ends what it left incomplete.
    virtual std::vector<Work> EndOfDatagram() = 0;
    // What a UDP reply that would exceed its bound says instead; empty: the
    // answer is left out.
    virtual std::string TooLargeForDatagram() const = 0;
};

// A session of the protocol for the client `origin` ("text 192.0.2.7:4000",
// "UECP [::1]:4000"); UECP sessions share the address book, which only a
// client named by --uecp-provision may change.
std::shared_ptr<NetworkSession> MakeNetworkSession(const ListenerSetting& listener,
                                                   std::string origin, const NetworkConfig& config,
                                                   std::shared_ptr<UecpAddressBook> addresses,
                                                   bool mayProvision);

}  // namespace vaxo
