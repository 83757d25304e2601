#pragma once

#include <memory>
#include <string>
#include <variant>

#include <boost/asio/ip/tcp.hpp>

#include "web/http_server.h"

namespace vaxo {

// HTTPS where the build has OpenSSL: the context from a PEM certificate
// (chain) and key, or why it cannot be had.
std::variant<std::shared_ptr<void>, std::string> MakeTlsContext(const std::string& certificate,
                                                                const std::string& key);
// A connection that speaks TLS before HTTP.
void StartTlsConnection(const std::shared_ptr<HttpServer::Shared>& shared,
                        boost::asio::ip::tcp::socket socket, HttpPeer peer);

}  // namespace vaxo
