#include "web/http_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <cstdio>

#include "netcontrol/accept_loop.h"
#include "web/http_connection.h"
#include "web/web_tls.h"

namespace vaxo {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

std::string AddressOf(const tcp::endpoint& peer) {
    const auto address = peer.address();
    return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

class Listener : public std::enable_shared_from_this<Listener> {
  public:
    Listener(std::shared_ptr<HttpServer::Shared> shared, ListenerSetting setting)
        : shared_(std::move(shared)), setting_(std::move(setting)), acceptor_(shared_->io) {}

    std::optional<std::string> Open() {
        if (const auto error = Listen(acceptor_, setting_)) {
            return "web " + setting_.host + ":" + std::to_string(setting_.port) + ": " +
                   error.message();
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
        return std::nullopt;
    }
    bool Running() const { return shared_->running; }

    // Beyond the limit a plain client is told so; a TLS one is closed.
    void Admit(tcp::socket socket) {
        beast::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        if (error) {
            return;
        }
        if (shared_->connections >= HttpServer::kConnectionLimit) {
            if (!shared_->tls) {
                auto text = std::make_shared<std::string>(StatusOnly(503));
                auto held = std::make_shared<tcp::socket>(std::move(socket));
                asio::async_write(*held, asio::buffer(*text),
                                  [held, text](beast::error_code, std::size_t) {
                                      beast::error_code ignored;
                                      held->close(ignored);
                                  });
            }
            return;
        }
        if (shared_->tls) {
            StartTlsConnection(shared_, std::move(socket), AddressOf(peer));
        } else {
            std::make_shared<HttpConnection<beast::tcp_stream>>(
                shared_, beast::tcp_stream(std::move(socket)), AddressOf(peer), false)
                ->Read();
        }
    }

    std::shared_ptr<HttpServer::Shared> shared_;
    ListenerSetting setting_;
    tcp::acceptor acceptor_;
};

const char* Reason(int status) {
    return http::obsolete_reason(static_cast<http::status>(status)).data();
}

}  // namespace

void AddPageHeaders(http::response<http::string_body>& response, const WebResponse& answer,
                    bool tls) {
    response.set(http::field::content_type, answer.contentType);
    response.set("Content-Security-Policy",
                 "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                 "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; "
                 "base-uri 'none'");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("X-Frame-Options", "DENY");
    response.set("Referrer-Policy", "no-referrer");
    response.set(http::field::cache_control, answer.cacheable ? "max-age=300" : "no-store");
    if (tls) {
        response.set(http::field::strict_transport_security, "max-age=31536000");
    }
    for (const auto& [name, value] : answer.headers) {
        response.set(name, value);
    }
}

// The stream goes in chunks, each event one, so that the browser sees
// where each ends without waiting for the connection's end.
std::string EventStreamHeader() {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
           "X-Content-Type-Options: nosniff\r\nTransfer-Encoding: chunked\r\n\r\n" +
           EventChunk("retry: 2000\n\n");
}

std::string EventChunk(const std::string& event) {
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", event.size());
    return size + event + "\r\n";
}

std::string StatusOnly(int status) {
    const std::string text = std::to_string(status) + " " + Reason(status) + "\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" + text;
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
        if (auto problem = std::make_shared<Listener>(shared_, setting)->Open()) {
            Stop();
            return problem;
        }
    }
    return std::nullopt;
}

void HttpServer::Stop() {
    shared_->running = false;
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
