#include "web/http_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <cstdio>

#include "net/accept_loop.h"
#include "net/asio_addresses.h"
#include "net/client_standing.h"
#include "web/http_connection.h"
#include "web/web_tls.h"

namespace vaxo {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

std::string DescribeWebListener(const ListenerSetting& setting) {
    return "web " + setting.host + ":" + std::to_string(setting.port);
}

std::string AddressOf(const tcp::endpoint& peer) {
    const auto address = peer.address();
    return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

class Listener : public std::enable_shared_from_this<Listener> {
  public:
    Listener(std::shared_ptr<HttpServer::Shared> shared, ListenerSetting setting)
        : shared_(std::move(shared)),
          setting_(std::move(setting)),
          acceptor_(shared_->io),
          admission_(HttpServer::kConnectionLimit, HttpServer::kClientLimit) {
        const auto address = AddressBytes(setting_.host);
        loopback_ = address && IsLoopback(address->bytes);
    }

    BindOutcome Open() {
        if (const auto error = Listen(acceptor_, setting_)) {
            return {error, DescribeWebListener(setting_) + ": " + error.message()};
        }
        const std::string host = setting_.host.find(':') != std::string::npos
                                     ? "[" + setting_.host + "]"
                                     : setting_.host;
        shared_->addresses.push_back(std::string(shared_->tls ? "https" : "http") + "://" + host +
                                     ":" + std::to_string(acceptor_.local_endpoint().port()) + "/");
        shared_->closers.emplace_back([self = shared_from_this()] {
            beast::error_code ignored;
            self->acceptor_.close(ignored);
        });
        AcceptEach(shared_from_this(), acceptor_);
        return {};
    }
    bool Running() const { return shared_->running; }

    // Beyond its share a plain client is told so; a TLS one is closed.
    void Admit(tcp::socket socket) {
        beast::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        if (error) {
            return;
        }
        const auto bytes = BytesOf(peer.address());
        if (!shared_->config.Allows(bytes)) {
            shared_->drops.Dropped(peer.address().to_string(),
                                   "web connections from addresses not allowed",
                                   std::chrono::steady_clock::now());
            return;
        }
        const ClientKey key = ClientKeyOf(bytes);
        const auto now = std::chrono::steady_clock::now();
        Admission::Verdict verdict = admission_.Admit(key);
        if (!verdict.place && verdict.refusal == Admission::Refusal::ListenerFull) {
            // Failed sign-ins and refusals here both count against a client.
            if (const auto taken = idle_->MakeRoomFor(key, admission_, [&](const ClientKey& c) {
                    return shared_->app.Standing(c) + standing_.Of(c, now);
                })) {
                standing_.Refused(*taken, now);
                verdict = admission_.Admit(key);
            }
        }
        if (!verdict.place) {
            standing_.Refused(key, now);
            const bool full = verdict.refusal == Admission::Refusal::ListenerFull;
            shared_->drops.Dropped(
                peer.address().to_string(),
                "web connections to " + setting_.host + ":" + std::to_string(setting_.port) +
                    (full ? " (too many clients: " + std::to_string(HttpServer::kConnectionLimit) +
                                " at most)"
                          : " (too many from one address: " +
                                std::to_string(HttpServer::kClientLimit) + " at most)"),
                std::chrono::steady_clock::now());
            if (!shared_->tls) {
                auto text = std::make_shared<std::string>(StatusOnly(503, false));
                auto held = std::make_shared<tcp::socket>(std::move(socket));
                asio::async_write(*held, asio::buffer(*text),
                                  [held, text](beast::error_code, std::size_t) {
                                      beast::error_code ignored;
                                      held->close(ignored);
                                  });
            }
            return;
        }
        HttpPeer who{AddressOf(peer),           key,  loopback_, setting_.host,
                     std::move(*verdict.place), idle_};
        if (shared_->tls) {
            StartTlsConnection(shared_, std::move(socket), std::move(who));
        } else {
            std::make_shared<HttpConnection<beast::tcp_stream>>(
                shared_, beast::tcp_stream(std::move(socket)), std::move(who), false)
                ->Read();
        }
    }

    std::shared_ptr<HttpServer::Shared> shared_;
    ListenerSetting setting_;
    tcp::acceptor acceptor_;
    Admission admission_;
    std::shared_ptr<IdleConnections> idle_ = std::make_shared<IdleConnections>();
    ClientStanding standing_;
    bool loopback_ = false;
};

const char* Reason(int status) {
    return http::obsolete_reason(static_cast<http::status>(status)).data();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> SecurityHeaders(bool tls) {
    std::vector<std::pair<std::string, std::string>> headers{
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"}};
    if (tls) {
        headers.emplace_back("Strict-Transport-Security", "max-age=31536000");
    }
    return headers;
}

void AddPageHeaders(http::response<http::string_body>& response, const WebResponse& answer,
                    bool tls) {
    response.set(http::field::content_type, answer.contentType);
    for (const auto& [name, value] : SecurityHeaders(tls)) {
        response.set(name, value);
    }
    response.set(http::field::cache_control, answer.cacheable ? "max-age=300" : "no-store");
    for (const auto& [name, value] : answer.headers) {
        response.set(name, value);
    }
}

namespace {

std::string HeaderLines(bool tls) {
    std::string lines;
    for (const auto& [name, value] : SecurityHeaders(tls)) {
        lines.append(name).append(": ").append(value).append("\r\n");
    }
    return lines;
}

}  // namespace

// The stream goes in chunks, each event one, so that the browser sees
// where each ends without waiting for the connection's end.
std::string EventStreamHeader(bool tls) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n" +
           HeaderLines(tls) + "Transfer-Encoding: chunked\r\n\r\n" + EventChunk("retry: 2000\n\n");
}

std::string EventChunk(const std::string& event) {
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", event.size());
    return size + event + "\r\n";
}

std::string StatusOnly(int status, bool tls) {
    const std::string text = std::to_string(status) + " " + Reason(status) + "\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\nCache-Control: no-store\r\n" + HeaderLines(tls) +
           "Connection: close\r\n\r\n" + text;
}

HttpServer::HttpServer(boost::asio::io_context& io, WebApp& app, WebConfig config, Log log)
    : shared_(std::make_shared<Shared>(io, app, std::move(config), std::move(log))) {}

HttpServer::~HttpServer() {
    shared_->running = false;
}

std::optional<std::string> HttpServer::Start() {
    if (shared_->config.Tls()) {
        auto context = MakeTlsContext(shared_->config.certificateFile, shared_->config.keyFile);
        if (const auto* why = std::get_if<std::string>(&context)) {
            return *why;
        }
        shared_->tls = std::get<std::shared_ptr<void>>(context);
    }
    shared_->running = true;
    for (const ListenerSetting& setting : shared_->config.listeners) {
        auto attempt = [weak = std::weak_ptr<Shared>(shared_), setting]() -> BindOutcome {
            const auto shared = weak.lock();
            return shared ? std::make_shared<Listener>(shared, setting)->Open() : BindOutcome{};
        };
        if (auto problem = shared_->retries.Begin(DescribeWebListener(setting), attempt)) {
            Stop();
            return problem;
        }
    }
    return std::nullopt;
}

void HttpServer::WatchListeners(ListenerWatch watch) {
    shared_->retries.Watch(std::move(watch));
}

void HttpServer::Stop() {
    shared_->running = false;
    shared_->retries.Stop();
    const auto closers = std::move(shared_->closers);
    shared_->closers.clear();
    for (const auto& close : closers) {
        close();
    }
}

std::vector<std::string> HttpServer::Addresses() const {
    return shared_->addresses;
}

}  // namespace vaxo
