#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "app/program_view.h"
#include "net/bind_retries.h"
#include "net/listener_setting.h"

namespace vaxo {

// Where the metrics are served, and to whom: this machine, and the
// allowed networks.
struct MetricsConfig {
    std::vector<ListenerSetting> listeners;
    std::vector<AddressRange> allowed;

    bool Empty() const { return listeners.empty(); }
    bool Allows(const std::array<std::uint8_t, 16>& address) const;
};

// "HOST:PORT" for --metrics added to the configuration, or why not: an
// address beyond loopback needs an allow list.
std::optional<std::string> TakeMetricsOption(MetricsConfig& config, const std::string& value);

// A read-only HTTP endpoint on the program's loop: GET (or HEAD) /metrics
// answers MetricsText, 404 any other path, 405 any other method, one
// request per connection. Each listener takes kConnectionLimit connections
// at once, kClientLimit from one address; a request's head comes within
// kHeadTime, at most 8 KiB, with no body; beyond, the connection is closed
// (over its limit with 503). Refusals are counted in the log once a minute.
class MetricsServer {
  public:
    using Log = std::function<void(const std::string& line)>;

    MetricsServer(boost::asio::io_context& io, const ProgramView& program, MetricsConfig config,
                  Log log);
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;
    ~MetricsServer();

    // Those whose address may come free are tried again until they bind,
    // each trouble told to `watch` ("metrics 127.0.0.1:9100"); before Start.
    void WatchListeners(ListenerWatch watch);
    // Binds every listener; the first reason when one cannot (and is not
    // tried again).
    std::optional<std::string> Start();
    void Stop();
    // "http://127.0.0.1:9100/metrics", one for each listener, with the port bound.
    std::vector<std::string> Addresses() const;

    static constexpr int kConnectionLimit = 16;
    static constexpr int kClientLimit = 4;
    static constexpr auto kHeadTime = std::chrono::seconds(5);
    static constexpr auto kWriteTime = std::chrono::seconds(10);

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace vaxo
