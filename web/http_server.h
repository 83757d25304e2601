#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/admission.h"
#include "net/bind_retries.h"
#include "net/idle_connections.h"
#include "web/web_app.h"
#include "web/web_config.h"

namespace vaxo {

// HTTP (and HTTPS) for the web page with Boost.Beast, on the program's
// loop. Each listener takes kConnectionLimit connections at once, at most
// kClientLimit of them from one client (an address, an IPv6 /64), and only
// from addresses the configuration allows: one client cannot take the page
// from the others. A full listener makes room for a newcomer by closing an
// idle connection (see IdleConnections): one with no request in flight, or
// whose client does not read its answers (an answer unread for 2 s, or
// more than 4 requests sent before the answers). Every request within limits: its line
// and headers 8 KiB (431) within kHeadTime, waiting included; a body only once the session is known
// (a sign-in form 4 KiB within kSignInTime, a signed-in call's 1 MiB (413) within kBodyTime); on a
// loopback listener a Host that names loopback or the listener (421). Every answer with headers
// that keep the page to itself (Content-Security-Policy without inline script, no sniffing, no
// referrer, no framing, no caching but of the assets).
class HttpServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    HttpServer(boost::asio::io_context& io, WebApp& app, WebConfig config, Log log);
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    ~HttpServer();

    // Those whose address may come free are tried again until they bind,
    // each trouble told to `watch` ("web 127.0.0.1:8080"); before Start.
    void WatchListeners(ListenerWatch watch);
    // Binds every listener (and reads the certificate); the first reason
    // when one cannot (and is not tried again).
    std::optional<std::string> Start();
    void Stop();
    // "http://127.0.0.1:8080/", one for each listener, with the port bound.
    std::vector<std::string> Addresses() const;

    static constexpr std::size_t kHeaderLimit = 8 * 1024;
    static constexpr std::size_t kBodyLimit = 1024 * 1024;
    static constexpr std::size_t kSignInBodyLimit = 4 * 1024;
    static constexpr int kConnectionLimit = 64;
    static constexpr int kClientLimit = 16;
    static constexpr auto kHeadTime = std::chrono::seconds(5);
    static constexpr auto kSignInTime = std::chrono::seconds(10);
    static constexpr auto kBodyTime = std::chrono::seconds(30);

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

// Who a connection is and where it came in.
struct HttpPeer {
    std::string client;  // "192.0.2.7", "[2001:db8::1]"
    ClientKey key{};
    bool loopbackListener = false;
    std::string listenerHost;               // the listener's address as configured
    Admission::Place place;                 // its share of the listener, held while it lasts
    std::shared_ptr<IdleConnections> idle;  // the listener's
};

}  // namespace vaxo
