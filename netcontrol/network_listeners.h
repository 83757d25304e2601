#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>

#include "net/admission.h"
#include "netcontrol/network_shared.h"

namespace vaxo {

// A listener bound and waiting, or why it could not be.
struct OpenedListener {
    std::optional<std::string> problem;
    std::uint16_t port = 0;  // the port bound
};

// The listener `index` of the configuration on TCP: each client within the
// limits gets its conversation (StartTcpClient); beyond them a text client
// is told why and closed.
OpenedListener OpenTcpListener(std::shared_ptr<NetworkServer::Shared> shared, std::size_t index,
                               const ListenerSetting& setting);
// On UDP: one datagram is one or more text lines, or one or more UECP
// frames; the replies go back to its sender in one datagram.
OpenedListener OpenUdpListener(std::shared_ptr<NetworkServer::Shared> shared, std::size_t index,
                               const ListenerSetting& setting);

// One TCP client: its bytes in, its replies out, in order.
void StartTcpClient(std::shared_ptr<NetworkServer::Shared> shared,
                    boost::asio::ip::tcp::socket socket, const boost::asio::ip::tcp::endpoint& peer,
                    std::size_t listener, ListenerProtocol protocol, Admission::Place place);

}  // namespace vaxo
