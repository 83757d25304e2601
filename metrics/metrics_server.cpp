#include "metrics/metrics_server.h"

#include <algorithm>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "metrics/metrics_text.h"
#include "net/accept_loop.h"
#include "net/admission.h"
#include "net/asio_addresses.h"
#include "net/bind_retries.h"
#include "net/drop_log.h"

namespace vaxo {

namespace beast = boost::beast;
namespace http = beast::http;
namespace asio = boost::asio;
using tcp = asio::ip::tcp;

bool MetricsConfig::Allows(const std::array<std::uint8_t, 16>& address) const {
    return IsLoopback(address) ||
           std::any_of(allowed.begin(), allowed.end(),
                       [&](const AddressRange& range) { return range.Contains(address); });
}

std::optional<std::string> TakeMetricsOption(MetricsConfig& config, const std::string& value) {
    std::string why;
    auto setting = ParseListener(ListenerProtocol::Text, ListenerTransport::Tcp, value, why);
    if (!setting) {
        return "--metrics: " + why;
    }
    const auto address = AddressBytes(setting->host);
    if (!address || IsMulticast(address->bytes)) {
        return "--metrics: " + setting->host + " is no address to listen on";
    }
    if (!IsLoopback(address->bytes) && config.allowed.empty()) {
        return "--metrics " + value +
               " answers beyond this machine: name who may scrape it with --allow";
    }
    config.listeners.push_back(*setting);
    return std::nullopt;
}

struct MetricsServer::Shared {
    Shared(asio::io_context& i, const ProgramView& p, MetricsConfig c, Log l)
        : io(i), program(p), config(std::move(c)), log(std::move(l)) {}

    asio::io_context& io;
    const ProgramView& program;
    MetricsConfig config;
    Log log;
    DropLog drops{[this](const std::string& line) { log(line); }};
    bool running = false;
    std::vector<std::string> addresses;
    std::vector<std::function<void()>> closers;
    BindRetries retries{io};
};

namespace {

using Shared = MetricsServer::Shared;

std::string DescribeMetricsListener(const ListenerSetting& setting) {
    return "metrics " + setting.host + ":" + std::to_string(setting.port);
}

http::response<http::string_body> AnswerTo(const http::request<http::empty_body>& request,
                                           const ProgramView& program) {
    const bool head = request.method() == http::verb::head;
    http::response<http::string_body> response;
    response.version(11);
    response.keep_alive(false);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    const std::string_view target(request.target().data(), request.target().size());
    if (request.method() != http::verb::get && !head) {
        response.result(http::status::method_not_allowed);
        response.set(http::field::allow, "GET, HEAD");
        response.body() = "405 only GET /metrics\n";
    } else if (target.substr(0, target.find('?')) != "/metrics") {
        response.result(http::status::not_found);
        response.body() = "404 the metrics are at /metrics\n";
    } else {
        response.result(http::status::ok);
        response.body() = MetricsText(program, std::chrono::system_clock::now());
        response.set(http::field::content_type, "text/plain; version=0.0.4; charset=utf-8");
    }
    if (response.result() != http::status::ok) {
        response.set(http::field::content_type, "text/plain; charset=utf-8");
    }
    response.prepare_payload();
    if (head) {
        response.body().clear();  // the length stays that of the answer to a GET
    }
    return response;
}

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(std::shared_ptr<Shared> shared, tcp::socket socket, Admission::Place place)
        : shared_(std::move(shared)), stream_(std::move(socket)), place_(std::move(place)) {}

    void Read() {
        parser_.header_limit(8 * 1024);
        parser_.body_limit(0);
        stream_.expires_after(MetricsServer::kHeadTime);
        http::async_read(stream_, buffer_, parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->Received(error);
                         });
    }

  private:
    void Received(beast::error_code error) {
        if (error || !shared_->running) {
            return Close();
        }
        response_ = AnswerTo(parser_.get(), shared_->program);
        stream_.expires_after(MetricsServer::kWriteTime);
        http::async_write(
            stream_, response_,
            [self = shared_from_this()](beast::error_code, std::size_t) { self->Close(); });
    }
    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
        place_ = Admission::Place();
    }

    std::shared_ptr<Shared> shared_;
    beast::tcp_stream stream_;
    Admission::Place place_;
    beast::flat_buffer buffer_{16 * 1024};
    http::request_parser<http::empty_body> parser_;
    http::response<http::string_body> response_;
};

class Listener : public std::enable_shared_from_this<Listener> {
  public:
    Listener(std::shared_ptr<Shared> shared, ListenerSetting setting)
        : shared_(std::move(shared)),
          setting_(std::move(setting)),
          acceptor_(shared_->io),
          admission_(MetricsServer::kConnectionLimit, MetricsServer::kClientLimit) {}

    BindOutcome Open() {
        if (const auto error = Listen(acceptor_, setting_)) {
            return {error, DescribeMetricsListener(setting_) + ": " + error.message()};
        }
        const std::string host = setting_.host.find(':') != std::string::npos
                                     ? "[" + setting_.host + "]"
                                     : setting_.host;
        shared_->addresses.push_back("http://" + host + ":" +
                                     std::to_string(acceptor_.local_endpoint().port()) +
                                     "/metrics");
        shared_->closers.emplace_back([self = shared_from_this()] {
            beast::error_code ignored;
            self->acceptor_.close(ignored);
        });
        AcceptEach(shared_from_this(), acceptor_);
        return {};
    }
    bool Running() const { return shared_->running; }

    void Admit(tcp::socket socket) {
        beast::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        if (error) {
            return;
        }
        const auto bytes = BytesOf(peer.address());
        const auto now = std::chrono::steady_clock::now();
        if (!shared_->config.Allows(bytes)) {
            shared_->drops.Dropped(peer.address().to_string(),
                                   "metrics connections from addresses not allowed", now);
            return;
        }
        Admission::Verdict verdict = admission_.Admit(ClientKeyOf(bytes));
        if (!verdict.place) {
            shared_->drops.Dropped(peer.address().to_string(),
                                   "metrics connections (too many at once)", now);
            return;
        }
        std::make_shared<Connection>(shared_, std::move(socket), std::move(*verdict.place))->Read();
    }

  private:
    std::shared_ptr<Shared> shared_;
    ListenerSetting setting_;
    tcp::acceptor acceptor_;
    Admission admission_;
};

}  // namespace

MetricsServer::MetricsServer(asio::io_context& io, const ProgramView& program, MetricsConfig config,
                             Log log)
    : shared_(std::make_shared<Shared>(io, program, std::move(config), std::move(log))) {}

MetricsServer::~MetricsServer() {
    Stop();
}

std::optional<std::string> MetricsServer::Start() {
    shared_->running = true;
    for (const ListenerSetting& setting : shared_->config.listeners) {
        auto attempt = [weak = std::weak_ptr<Shared>(shared_), setting]() -> BindOutcome {
            const auto shared = weak.lock();
            return shared ? std::make_shared<Listener>(shared, setting)->Open() : BindOutcome{};
        };
        if (auto problem = shared_->retries.Begin(DescribeMetricsListener(setting), attempt)) {
            Stop();
            return problem;
        }
    }
    return std::nullopt;
}

void MetricsServer::WatchListeners(ListenerWatch watch) {
    shared_->retries.Watch(std::move(watch));
}

void MetricsServer::Stop() {
    shared_->running = false;
    shared_->retries.Stop();
    const auto closers = std::move(shared_->closers);
    shared_->closers.clear();
    for (const auto& close : closers) {
        close();
    }
    shared_->drops.FlushAll();
}

std::vector<std::string> MetricsServer::Addresses() const {
    return shared_->addresses;
}

}  // namespace vaxo
