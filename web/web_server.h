#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "web/http_server.h"
#include "web/web_app.h"

namespace vaxo {

// The web page as vaxoctl run serves it: the passwords read, the listeners
// bound, on the program's own loop.
class WebServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    WebServer(boost::asio::io_context& io, ControlProgram& program, WebConfig config, Log log);
    // The listeners tried again until they bind tell `watch`; before Start.
    void WatchListeners(ListenerWatch watch) { watch_ = std::move(watch); }
    // Reads the password file and binds; why the page cannot be served.
    std::optional<std::string> Start();
    void Stop();
    std::vector<std::string> Addresses() const;
    void ShowListeners(std::function<std::vector<ListenerStatus>()> listeners);
    void ShowLog(const RecentLog* log);
    // The password file the configuration means.
    std::string PasswordFile() const;

  private:
    boost::asio::io_context& io_;
    ControlProgram& program_;
    WebConfig config_;
    Log log_;
    std::function<std::vector<ListenerStatus>()> listeners_;
    const RecentLog* recentLog_ = nullptr;
    ListenerWatch watch_;
    std::unique_ptr<WebApp> app_;
    std::unique_ptr<HttpServer> http_;
};

}  // namespace vaxo
