#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>

#include "net/admission.h"
#include "net/bind_retries.h"
#include "net/idle_connections.h"
#include "netcontrol/network_shared.h"

namespace vaxo {

// A listener bound and waiting, or why it could not be.
struct OpenedListener {
    BindOutcome outcome;
    std::uint16_t port = 0;  // the port bound
};

// The listener `index` of the configuration on TCP: each client within the
// limits gets its conversation (StartTcpClient). A full listener makes room
// for a newcomer by closing an idle client (see IdleConnections), weighed
// by its refusals at this listener (ClientStanding); a newcomer for whom
// there is none is told why, when it speaks text, and closed.
OpenedListener OpenTcpListener(std::shared_ptr<NetworkServer::Shared> shared, std::size_t index,
                               const ListenerSetting& setting);
// On UDP: one datagram is one or more text lines, or one or more UECP
// frames; the replies go back to its sender in one datagram.
OpenedListener OpenUdpListener(std::shared_ptr<NetworkServer::Shared> shared, std::size_t index,
                               const ListenerSetting& setting);

// One TCP client: its bytes in, its replies out, in order. While it has no
// command in flight (or reads no replies) it is among its listener's `idle`.
void StartTcpClient(std::shared_ptr<NetworkServer::Shared> shared,
                    boost::asio::ip::tcp::socket socket, const boost::asio::ip::tcp::endpoint& peer,
                    std::size_t listener, ListenerProtocol protocol, Admission::Place place,
                    std::shared_ptr<IdleConnections> idle);

}  // namespace vaxo
