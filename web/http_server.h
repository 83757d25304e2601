#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "web/web_app.h"
#include "web/web_config.h"

namespace vaxo {

// HTTP (and HTTPS) for the web page with Boost.Beast, on the program's
// loop. Every request within limits: its line and headers 8 KiB (431), its
// body 1 MiB (413), 30 s to send it; 64 connections at once. Every answer
// with headers that keep the page to itself (Content-Security-Policy
// without inline script, no sniffing, no referrer, no framing, no caching
// but of the assets).
class HttpServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    HttpServer(boost::asio::io_context& io, WebApp& app, WebConfig config, Log log);
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    ~HttpServer();

    // Binds every listener (and reads the certificate); the first reason
    // when one cannot.
    std::optional<std::string> Start();
    void Stop();
    // "http://127.0.0.1:8080/", one for each listener, with the port bound.
    std::vector<std::string> Addresses() const;

    static constexpr std::size_t kHeaderLimit = 8 * 1024;
    static constexpr std::size_t kBodyLimit = 1024 * 1024;
    static constexpr int kConnectionLimit = 64;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace vaxo
