#pragma once

// One HTTP connection, plain or over TLS: requests read within their limits,
// handed to the web app, answered in order; or, for the page's live
// updates, a stream of events until either side ends it.

#include <array>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "net/drop_log.h"
#include "web/html_text.h"
#include "web/http_server.h"
#include "web/request_checks.h"

namespace vaxo {

namespace beast = boost::beast;
namespace http = beast::http;

struct HttpServer::Shared {
    Shared(boost::asio::io_context& i, WebApp& a, WebConfig c, Log l)
        : io(i), app(a), config(std::move(c)), log(std::move(l)) {}

    boost::asio::io_context& io;
    WebApp& app;
    WebConfig config;
    Log log;
    DropLog drops{[this](const std::string& line) { log(line); }};
    bool running = false;
    std::vector<std::string> addresses;
    std::vector<std::function<void()>> closers;  // of the listeners
    std::shared_ptr<void> tls;                   // the TLS context, when serving HTTPS
    BindRetries retries{io};
};

// The headers every answer carries.
void AddPageHeaders(http::response<http::string_body>& response, const WebResponse& answer,
                    bool tls);
std::string EventStreamHeader(bool tls);
std::string EventChunk(const std::string& event);
// An answer of a status alone, and the connection's end.
std::string StatusOnly(int status, bool tls);

template <typename Stream>
class HttpConnection : public std::enable_shared_from_this<HttpConnection<Stream>> {
  public:
    static constexpr auto kWriteTime = std::chrono::seconds(30);
    static constexpr auto kHeartbeat = std::chrono::seconds(15);
    // An answer (or an event) its client has not taken within this, or
    // requests sent beyond this many before an answer was read, make the
    // connection idle however busy it looks.
    static constexpr auto kUnreadTime = std::chrono::seconds(2);
    static constexpr int kPipelined = 4;

    HttpConnection(std::shared_ptr<HttpServer::Shared> shared, Stream stream, HttpPeer peer,
                   bool tls)
        : shared_(std::move(shared)),
          stream_(std::move(stream)),
          buffer_(HttpServer::kHeaderLimit + HttpServer::kBodyLimit),
          peer_(std::move(peer)),
          tls_(tls),
          heartbeat_(shared_->io),
          unread_(shared_->io) {
        BeIdle();
    }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
    ~HttpConnection() {
        NoLongerIdle();
        if (watching_) {
            shared_->app.Unwatch(*watching_);
        }
    }

    Stream& GetStream() { return stream_; }
    // Reads the next request (after the TLS handshake, for HTTPS): its head
    // within kHeadTime, the wait for it included.
    void Read() {
        pipelined_ = buffer_.size() > 0 ? pipelined_ + 1 : 0;
        BeIdle();
        parser_.emplace();
        parser_->header_limit(HttpServer::kHeaderLimit);
        parser_->body_limit(HttpServer::kBodyLimit);
        Lowest().expires_after(HttpServer::kHeadTime);
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = this->shared_from_this()](
                                    beast::error_code error, std::size_t) { self->Headed(error); });
    }

  private:
    beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }

    // Until its request is whole (a sign-in form's body included), and while
    // its client reads no answers, the connection may be closed to make room
    // for a newcomer; the entry goes with the connection, so `this` is alive
    // whenever it is called.
    void BeIdle() {
        if (!idleId_) {
            idleId_ = peer_.idle->Add(peer_.key, [this] { Close(); });
        }
    }
    void NoLongerIdle() {
        if (idleId_) {
            peer_.idle->Remove(*idleId_);
            idleId_.reset();
        }
    }
    // A request to handle: the connection works, unless its client sends
    // request after request without reading the answers.
    void Working() {
        if (pipelined_ <= kPipelined) {
            NoLongerIdle();
        }
    }
    // A write that began now; Written when it ended (a timer that fired
    // just before may still come, and then finds it over).
    void WatchUnread() {
        const std::uint64_t write = ++writes_;
        unread_.expires_after(kUnreadTime);
        unread_.async_wait([weak = this->weak_from_this(), write](const beast::error_code& error) {
            const auto self = weak.lock();
            if (!error && self && !self->closed_ && self->writes_ == write && !self->written_) {
                self->BeIdle();
            }
        });
        written_ = false;
    }
    void Written() {
        written_ = true;
        unread_.cancel();
    }

    void Headed(beast::error_code error) {
        if (error == http::error::header_limit) {
            return Refuse(431);
        }
        if (error == http::error::body_limit) {  // its Content-Length says so already
            return Refuse(413);
        }
        if (error) {
            return Refuse(
                error == beast::error::timeout || error == http::error::end_of_stream ? 0 : 400);
        }
        const auto& request = parser_->get();
        keepAlive_ = request.keep_alive();
        // Two Hosts: a proxy and this server might each take another one.
        if (request.count(http::field::host) > 1) {
            return Refuse(400);
        }
        if (!HostAllowed(std::string(request[http::field::host]), peer_.loopbackListener,
                         peer_.listenerHost)) {
            return Refuse(421);
        }
        request_ = Head(request);
        Screening screening = shared_->app.Screen(request_);
        const std::uint64_t length = parser_->content_length().value_or(0);
        if (screening.answer) {
            Working();
            // A body that was not read ends the connection with the answer.
            keepAlive_ = keepAlive_ && !request.chunked() && length == 0;
            return Answer(std::move(*screening.answer));
        }
        if (screening.body != Screening::Body::SignInForm) {
            Working();
        }
        const std::size_t limit = BodyLimit(screening.body);
        if (length > limit) {
            return Refuse(413);
        }
        parser_->body_limit(limit);
        Lowest().expires_after(screening.body == Screening::Body::SignInForm
                                   ? HttpServer::kSignInTime
                                   : HttpServer::kBodyTime);
        if (request[http::field::expect] == "100-continue" && limit > 0) {
            auto line = std::make_shared<std::string>("HTTP/1.1 100 Continue\r\n\r\n");
            boost::asio::async_write(
                stream_, boost::asio::buffer(*line),
                [self = this->shared_from_this(), line](beast::error_code failed, std::size_t) {
                    failed ? self->Close() : self->ReadBody();
                });
            return;
        }
        ReadBody();
    }

    static std::size_t BodyLimit(Screening::Body body) {
        switch (body) {
            case Screening::Body::None:
                return 0;
            case Screening::Body::SignInForm:
                return HttpServer::kSignInBodyLimit;
            case Screening::Body::Any:
                break;
        }
        return HttpServer::kBodyLimit;
    }

    WebRequest Head(const http::request<http::string_body>& request) const {
        WebRequest head{
            std::string(request.method_string()),
            Path(request.target()),
            std::string(request[http::field::cookie]),
            std::string(request["X-CSRF-Token"]),
            std::string(request[http::field::content_type]),
            "",
            peer_.client,
            tls_,
            std::string(request[http::field::host]),
            std::string(request[http::field::origin]),
            std::string(request["Sec-Fetch-Site"]),
            FormField("name=" + std::string(request["X-File-Name"]), "name").value_or("")};
        head.seenRevision = std::string(request["X-Seen-Revision"]);
        return head;
    }

    void ReadBody() {
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                             self->Received(error);
                         });
    }

    void Received(beast::error_code error) {
        if (error == http::error::body_limit || error == http::error::buffer_overflow) {
            return Refuse(413);
        }
        if (error) {
            return Refuse(0);
        }
        request_.body = std::move(parser_->get().body());
        Working();
        Lowest().expires_never();
        shared_->app.Handle(request_, [self = this->shared_from_this()](WebResponse answer) {
            self->Answer(std::move(answer));
        });
    }

    static std::string Path(beast::string_view target) {
        const std::string path(target.substr(0, target.find('?')));
        return path.empty() || path.front() != '/' ? "/" : path;
    }

    void Answer(WebResponse answer) {
        if (answer.eventStream) {
            return StartEvents();
        }
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(answer.status), 11);
        AddPageHeaders(*response, answer, tls_);
        response->body() = std::move(answer.body);
        response->keep_alive(keepAlive_);
        response->prepare_payload();
        Lowest().expires_after(kWriteTime);
        WatchUnread();
        http::async_write(
            stream_, *response,
            [self = this->shared_from_this(), response](beast::error_code error, std::size_t) {
                self->Written();
                if (error || !self->keepAlive_ || !self->shared_->running) {
                    return self->Close();
                }
                self->Read();
            });
    }

    // An answer to a request that could not be read whole; the connection
    // ends with it. Status 0: no answer.
    void Refuse(int status) {
        if (status == 0 || !shared_->running) {
            return Close();
        }
        auto text = std::make_shared<std::string>(StatusOnly(status, tls_));
        Lowest().expires_after(kWriteTime);
        boost::asio::async_write(stream_, boost::asio::buffer(*text),
                                 [self = this->shared_from_this(), text](
                                     beast::error_code, std::size_t) { self->Close(); });
    }

    void StartEvents() {
        events_.push_back(EventStreamHeader(tls_));
        const auto weak = this->weak_from_this();
        watching_ = shared_->app.Watch(
            request_,
            [weak](const std::string& event) {
                if (const auto self = weak.lock()) {
                    self->Event(event);
                }
            },
            [weak] {
                if (const auto self = weak.lock()) {
                    self->watching_.reset();
                    self->Close();
                }
            });
        if (!watching_) {
            return Close();
        }
        // The read starts before any write: a deadline set for a write while
        // no read is pending would bind the read too, and end the page's
        // updates once it passed.
        Lowest().expires_never();
        Listen();
        Beat();
        WriteEvents();
    }

    // A watching page sends nothing more; reading on tells when it goes, and
    // keeps the connection while it stays.
    void Listen() {
        stream_.async_read_some(
            boost::asio::buffer(ignored_),
            [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                if (error || self->closed_) {
                    return self->Close();
                }
                self->Listen();
            });
    }

    // A state waiting behind another is replaced by the newer one: a slow
    // page gets the latest, never a backlog.
    void Event(const std::string& event) {
        if (events_.size() > 1) {
            events_.back() = EventChunk(event);
        } else {
            events_.push_back(EventChunk(event));
        }
        if (!writing_) {
            WriteEvents();
        }
    }

    void Beat() {
        heartbeat_.expires_after(kHeartbeat);
        heartbeat_.async_wait([weak = this->weak_from_this()](const beast::error_code& error) {
            const auto self = weak.lock();
            if (error || !self || self->closed_) {
                return;
            }
            if (!self->writing_) {
                self->events_.push_back(EventChunk(": still here\n\n"));
                self->WriteEvents();
            }
            self->Beat();
        });
    }

    void WriteEvents() {
        if (writing_ || events_.empty() || closed_) {
            return;
        }
        writing_ = true;
        Lowest().expires_after(kWriteTime);
        WatchUnread();
        boost::asio::async_write(
            stream_, boost::asio::buffer(events_.front()),
            [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                self->writing_ = false;
                self->events_.pop_front();
                self->Written();
                if (error) {
                    return self->Close();
                }
                self->NoLongerIdle();  // it reads again
                self->Lowest().expires_never();
                self->WriteEvents();
            });
    }

  public:
    void Close() {
        if (closed_) {
            return;
        }
        closed_ = true;
        NoLongerIdle();
        peer_.place = Admission::Place();  // free at once for whoever it was closed for
        heartbeat_.cancel();
        unread_.cancel();
        if (watching_) {
            shared_->app.Unwatch(*watching_);
            watching_.reset();
        }
        beast::error_code ignored;
        Lowest().socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
        Lowest().close();
    }

  private:
    std::shared_ptr<HttpServer::Shared> shared_;
    Stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    HttpPeer peer_;
    bool tls_;
    bool keepAlive_ = false;
    WebRequest request_;
    std::optional<std::uint64_t> watching_;
    std::deque<std::string> events_;
    bool writing_ = false;
    bool closed_ = false;
    boost::asio::steady_timer heartbeat_;
    boost::asio::steady_timer unread_;
    std::uint64_t writes_ = 0;  // writes begun, so that a late timer knows its own
    bool written_ = true;
    int pipelined_ = 0;  // requests in a row that were there before their answer was asked
    std::array<char, 512> ignored_{};
    std::optional<std::uint64_t> idleId_;
};

}  // namespace vaxo
