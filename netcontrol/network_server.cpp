#include "netcontrol/network_server.h"

#include <array>
#include <atomic>
#include <deque>
#include <map>

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/write.hpp>

#include "base/mutex.h"
#include "net/accept_loop.h"
#include "net/admission.h"
#include "net/asio_addresses.h"
#include "net/drop_log.h"
#include "netcontrol/line_splitter.h"
#include "netcontrol/text_commands.h"
#include "netcontrol/uecp_session.h"

namespace vaxo {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using udp = asio::ip::udp;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kPendingLimit = 256;  // lines of one client with the program at once
constexpr std::size_t kUdpSessions = 256;   // UECP senders remembered

// What the program made of a client's command: the bytes to send back, and
// whether it was a command at all (a line the protocol knows, a whole frame).
struct Reply {
    std::string bytes;
    bool valid = true;
};

std::string Minutes(std::chrono::milliseconds span) {
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(span).count();
    return minutes >= 1 ? std::to_string(minutes) + " minutes"
                        : std::to_string(span.count()) + " ms";
}

template <typename Endpoint>
std::string Describe(const Endpoint& endpoint) {
    const asio::ip::address address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return host + ":" + std::to_string(endpoint.port());
}

}  // namespace

// What the listeners and clients share. It lives on the network's thread:
// every member is used there, but `program` (touched only by work posted to
// the program's loop), `running` (read on both) and `status` (read by
// Status() from any thread, under statusMutex).
struct NetworkServer::Shared : std::enable_shared_from_this<Shared> {
    // Made on the program's thread, which may read its settings folder.
    Shared(asio::io_context& i, CoreHost& c, ControlProgram& p, NetworkConfig n, Log l)
        : io(i),
          core(c),
          program(p),
          config(std::move(n)),
          log(std::move(l)),
          addresses(std::make_shared<UecpAddressBook>(
              config.uecp.addresses, p.View().Folder() + kUecpAddressesFileName)) {}

    // Runs `work` with the program on its loop, then `done` with the bytes
    // it made on the network's; nothing after Stop. Only the work crosses to
    // the program's loop: `done`, which holds a client and so a socket,
    // stays here, so that no socket ever ends on the other thread or after
    // its loop.
    template <typename Work>
    void OnProgram(Work work, std::function<void(const Reply&)> done) {
        const std::uint64_t id = ++nextWaiting;
        waiting.emplace(id, std::move(done));
        core.Post([weak = weak_from_this(), work = std::move(work), id]() mutable {
            const auto self = weak.lock();
            if (!self || !self->running) {
                return;
            }
            asio::post(self->io, [self, id, reply = work(self->program)] {
                const auto found = self->waiting.find(id);
                if (found == self->waiting.end()) {
                    return;
                }
                const auto done = std::move(found->second);
                self->waiting.erase(found);
                if (self->running) {
                    done(reply);
                }
            });
        });
    }

    bool Allowed(const asio::ip::address& address, const std::string& what) {
        if (config.Allows(BytesOf(address))) {
            return true;
        }
        Dropped(address, what + " from addresses not allowed");
        return false;
    }

    void Dropped(const asio::ip::address& address, const std::string& what) {
        dropped.Dropped(address.to_string(), what, Clock::now());
    }

    std::uint64_t AddCloser(std::function<void()> close) {
        closers.emplace(++nextCloser, std::move(close));
        return nextCloser;
    }

    void Seen(std::size_t listener, const std::string& client, int clientsChange) {
        const MutexLock lock(statusMutex);
        ListenerStatus& entry = status.at(listener);
        entry.lastClient = client;
        entry.lastSeen = std::chrono::system_clock::now();
        entry.clients += clientsChange;
    }

    asio::io_context& io;
    CoreHost& core;
    ControlProgram& program;
    NetworkConfig config;
    Log log;
    // The UECP addresses every client shares, on the program's loop only.
    std::shared_ptr<UecpAddressBook> addresses;
    std::atomic<bool> running{false};
    DropLog dropped{[this](const std::string& line) { log(line); }};
    // Tells the counts of what was dropped when their minute is over, not
    // at the next drop, which may never come.
    asio::steady_timer dropCounts{io};
    mutable Mutex statusMutex;  // Status() reads from any thread
    std::vector<ListenerStatus> status GUARDED_BY(statusMutex);
    std::map<std::uint64_t, std::function<void()>> closers;  // of listeners and clients
    std::uint64_t nextCloser = 0;
    // What to do with each result of the program, on the network's thread.
    std::map<std::uint64_t, std::function<void(const Reply&)>> waiting;
    std::uint64_t nextWaiting = 0;
};

namespace {

using Shared = NetworkServer::Shared;

// One TCP client: its bytes in, its replies out, in order.
class TcpClient : public std::enable_shared_from_this<TcpClient> {
  public:
    TcpClient(std::shared_ptr<Shared> shared, tcp::socket socket, const tcp::endpoint& peer,
              std::size_t listener, ListenerProtocol protocol, Admission::Place place)
        : shared_(std::move(shared)),
          socket_(std::move(socket)),
          idle_(shared_->io),
          stall_(shared_->io),
          place_(std::move(place)),
          listener_(listener),
          protocol_(protocol),
          origin_((protocol == ListenerProtocol::Text ? "text " : "UECP ") + Describe(peer)),
          uecp_(std::make_shared<UecpSession>(shared_->config.uecp, origin_, shared_->addresses)),
          lines_(shared_->config.limits.line) {}

    void Start() {
        shared_->Seen(listener_, origin_.substr(origin_.find(' ') + 1), 1);
        closer_ = shared_->AddCloser([weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->Close();
            }
        });
        Read();
    }

  private:
    // A client that has sent no command yet gets a short while; one that
    // works, its idle time.
    void KeepAwake() {
        const auto limit = valid_ ? shared_->config.limits.idle : shared_->config.limits.greeting;
        idle_.expires_after(limit);
        idle_.async_wait([weak = weak_from_this(), limit](const boost::system::error_code& error) {
            const auto self = weak.lock();
            if (!error && self) {
                self->shared_->log(self->origin_ + " closed: silent for " + Minutes(limit) +
                                   (self->valid_ ? "" : " without a command"));
                self->Close();
            }
        });
    }

    bool Busy() const {
        return pending_ >= kPendingLimit || unsent_ > shared_->config.limits.unread;
    }

    void Read() {
        if (closed_) {
            return;
        }
        if (Busy()) {
            paused_ = true;  // the program, or the client's reading, catches up first
            return;
        }
        KeepAwake();
        socket_.async_read_some(
            asio::buffer(buffer_),
            [self = shared_from_this()](const boost::system::error_code& error, std::size_t got) {
                if (error) {
                    self->Close();
                    return;
                }
                self->Take(std::string_view(self->buffer_.data(), got));
                self->Read();
            });
    }

    void Take(std::string_view bytes) {
        if (protocol_ == ListenerProtocol::Text) {
            lines_.Feed(
                bytes, [this](std::string_view line) { Command(std::string(line)); },
                [this] { Answer(std::string("-")); });
            return;
        }
        frames_.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                     [this](UecpReading reading) { Frame(std::move(reading)); });
    }

    void Command(std::string line) {
        ++pending_;
        shared_->OnProgram(
            [line = std::move(line),
             origin = Origin{Origin::Kind::TextClient, origin_}](ControlProgram& program) {
                const auto reply = AnswerTextCommand(program, line, origin);
                return reply ? Reply{reply->line + "\r\n", reply->line != "!"} : Reply{};
            },
            [self = shared_from_this()](const Reply& reply) { self->Done(reply); });
    }

    // A reply that needs no program keeps its place among the others.
    void Answer(std::string reply) {
        ++pending_;
        shared_->OnProgram(
            [reply = std::move(reply)](ControlProgram&) {
                return Reply{reply + "\r\n", false};
            },
            [self = shared_from_this()](const Reply& reply) { self->Done(reply); });
    }

    void Frame(UecpReading reading) {
        ++pending_;
        shared_->OnProgram(
            [reading = std::move(reading), session = uecp_](ControlProgram& program) {
                std::string bytes;
                for (const auto& frame : session->Replies(program, reading)) {
                    bytes.append(frame.begin(), frame.end());
                }
                return Reply{bytes, reading.frame.has_value()};
            },
            [self = shared_from_this()](const Reply& reply) { self->Done(reply); });
    }

    void Done(const Reply& reply) {
        --pending_;
        if (reply.valid && !valid_) {
            valid_ = true;
            KeepAwake();  // from now on the idle time of a client that works
        }
        if (!reply.bytes.empty()) {
            Queue(reply.bytes);
        }
        Resume();
    }

    void Resume() {
        if (paused_ && pending_ < kPendingLimit / 2 &&
            unsent_ <= shared_->config.limits.unread / 2) {
            paused_ = false;
            Read();
        }
    }

    // A client that sends faster than it reads waits; one that reads
    // nothing at all for a while is dropped.
    void Queue(std::string bytes) {
        if (closed_) {
            return;
        }
        unsent_ += bytes.size();
        queue_.push_back(std::move(bytes));
        if (unsent_ > shared_->config.limits.unread && !stalling_) {
            Watch();
        }
        if (!writing_) {
            Write();
        }
    }

    void Watch() {
        stalling_ = true;
        stall_.expires_after(shared_->config.limits.stalled);
        stall_.async_wait([weak = weak_from_this()](const boost::system::error_code& error) {
            const auto self = weak.lock();
            if (error || !self || self->closed_) {
                return;
            }
            self->shared_->log(self->origin_ + " dropped: it reads no replies (" +
                               std::to_string(self->unsent_ / 1024) + " KiB waiting for " +
                               Minutes(self->shared_->config.limits.stalled) + ")");
            self->Close();
        });
    }

    void Write() {
        writing_ = true;
        asio::async_write(socket_, asio::buffer(queue_.front()),
                          [self = shared_from_this()](const boost::system::error_code& error,
                                                      std::size_t written) {
                              self->unsent_ -= written;
                              self->queue_.pop_front();
                              self->writing_ = false;
                              if (error) {
                                  self->Close();
                                  return;
                              }
                              if (self->stalling_) {  // it reads: the wait starts again
                                  self->stalling_ = false;
                                  self->stall_.cancel();
                                  if (self->unsent_ > self->shared_->config.limits.unread) {
                                      self->Watch();
                                  }
                              }
                              if (!self->queue_.empty()) {
                                  self->Write();
                              }
                              self->Resume();
                          });
    }

    void Close() {
        if (closed_) {
            return;
        }
        closed_ = true;
        boost::system::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
        idle_.cancel();
        stall_.cancel();
        shared_->closers.erase(closer_);
        shared_->Seen(listener_, origin_.substr(origin_.find(' ') + 1), -1);
        place_ = {};
    }

    std::shared_ptr<Shared> shared_;
    tcp::socket socket_;
    asio::steady_timer idle_;
    asio::steady_timer stall_;
    Admission::Place place_;
    std::size_t listener_;
    ListenerProtocol protocol_;
    std::string origin_;
    std::shared_ptr<UecpSession> uecp_;  // used on the program's loop only
    std::uint64_t closer_ = 0;
    LineSplitter lines_;
    UecpFrameReader frames_;
    std::array<char, 4096> buffer_{};
    std::deque<std::string> queue_;
    std::size_t unsent_ = 0;
    std::size_t pending_ = 0;
    bool writing_ = false;
    bool paused_ = false;
    bool stalling_ = false;
    bool valid_ = false;  // a command came
    bool closed_ = false;
};

class TcpListener : public std::enable_shared_from_this<TcpListener> {
  public:
    TcpListener(std::shared_ptr<Shared> shared, std::size_t index, const ListenerSetting& setting)
        : shared_(std::move(shared)),
          acceptor_(shared_->io),
          index_(index),
          setting_(setting),
          admission_(shared_->config.limits.clients, shared_->config.limits.clientsPerAddress) {}

    std::optional<std::string> Open() {
        if (const auto error = Listen(acceptor_, setting_)) {
            return setting_.Describe() + ": " + error.message();
        }
        port_ = acceptor_.local_endpoint().port();
        shared_->AddCloser([self = shared_from_this()] {
            boost::system::error_code ignored;
            self->acceptor_.close(ignored);
        });
        AcceptEach(shared_from_this(), acceptor_);
        return std::nullopt;
    }
    std::uint16_t Port() const { return port_; }
    bool Running() const { return shared_->running; }

    void Admit(tcp::socket socket) {
        boost::system::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        if (error || !shared_->Allowed(peer.address(), "connections")) {
            socket.close(error);
            return;
        }
        Admission::Verdict verdict = admission_.Admit(ClientKeyOf(BytesOf(peer.address())));
        if (!verdict.place) {
            const bool listenerFull = verdict.refusal == Admission::Refusal::ListenerFull;
            const std::string why =
                listenerFull
                    ? "too many clients: " + std::to_string(admission_.PerListener()) + " at most"
                    : "too many clients from one address: " +
                          std::to_string(admission_.PerClient()) + " at most";
            shared_->Dropped(peer.address(),
                             "connections to " + setting_.Describe() + " (" + why + ")");
            if (setting_.protocol == ListenerProtocol::Text) {
                auto holder = std::make_shared<tcp::socket>(std::move(socket));
                auto line = std::make_shared<std::string>("! " + why + "\r\n");
                asio::async_write(*holder, asio::buffer(*line),
                                  [holder, line](const boost::system::error_code&, std::size_t) {
                                      boost::system::error_code ignored;
                                      holder->close(ignored);
                                  });
            }
            return;
        }
        std::make_shared<TcpClient>(shared_, std::move(socket), peer, index_, setting_.protocol,
                                    std::move(*verdict.place))
            ->Start();
    }

    std::shared_ptr<Shared> shared_;
    tcp::acceptor acceptor_;
    std::size_t index_;
    ListenerSetting setting_;
    Admission admission_;
    std::uint16_t port_ = 0;
};

// One datagram is one or more text lines, or one or more UECP frames; the
// replies go back to its sender in one datagram.
class UdpListener : public std::enable_shared_from_this<UdpListener> {
  public:
    UdpListener(std::shared_ptr<Shared> shared, std::size_t index, const ListenerSetting& setting)
        : shared_(std::move(shared)), socket_(shared_->io), index_(index), setting_(setting) {}

    std::optional<std::string> Open() {
        boost::system::error_code error;
        const asio::ip::address address = asio::ip::make_address(setting_.host);
        const bool group = address.is_multicast();
        // A group is joined on a socket bound to any address of its family.
        const asio::ip::address local = !group ? address
                                        : address.is_v4()
                                            ? asio::ip::address(asio::ip::address_v4::any())
                                            : asio::ip::address(asio::ip::address_v6::any());
        const udp::endpoint endpoint(local, setting_.port);
        socket_.open(endpoint.protocol(), error);
        if (!error) {
            socket_.set_option(udp::socket::reuse_address(true), error);
            socket_.bind(endpoint, error);
        }
        if (!error && group) {
            socket_.set_option(asio::ip::multicast::join_group(address), error);
        }
        if (error) {
            return setting_.Describe() + ": " + error.message();
        }
        port_ = socket_.local_endpoint().port();
        shared_->AddCloser([self = shared_from_this()] {
            boost::system::error_code ignored;
            self->socket_.close(ignored);
        });
        Receive();
        return std::nullopt;
    }
    std::uint16_t Port() const { return port_; }

  private:
    void Receive() {
        socket_.async_receive_from(
            asio::buffer(buffer_), sender_,
            [self = shared_from_this()](const boost::system::error_code& error, std::size_t got) {
                if (error == asio::error::operation_aborted || !self->shared_->running) {
                    return;
                }
                if (!error && self->waiting_ >= kPendingLimit) {
                    self->shared_->Dropped(self->sender_.address(), "datagrams (too many waiting)");
                } else if (!error && self->shared_->Allowed(self->sender_.address(), "datagrams")) {
                    self->Take(std::string(self->buffer_.data(), got), self->sender_);
                }
                self->Receive();
            });
    }

    // The replies to one datagram are at most a few times its size, so that
    // a sender cannot turn the encoder into an amplifier: a text reply that
    // would not fit is "! use TCP", and the UECP answers that would not fit
    // are left out.
    void Take(std::string bytes, const udp::endpoint& sender) {
        const std::string client = Describe(sender);
        shared_->Seen(index_, client, 0);
        const std::size_t budget = bytes.size() * shared_->config.limits.udpReplyFactor;
        if (setting_.protocol == ListenerProtocol::Text) {
            // A line too long is kept as nothing: it is answered "-".
            std::vector<std::optional<std::string>> lines;
            LineSplitter splitter(shared_->config.limits.line);
            const auto line = [&](std::string_view text) { lines.emplace_back(text); };
            splitter.Feed(bytes, line, [&] { lines.emplace_back(); });
            splitter.Finish(line);
            Work(
                [lines = std::move(lines), budget,
                 origin =
                     Origin{Origin::Kind::TextClient, "text " + client}](ControlProgram& program) {
                    std::string replies;
                    for (const auto& text : lines) {
                        const auto reply = text ? HandleTextCommand(program, *text, origin)
                                                : std::optional<std::string>("-");
                        if (!reply) {
                            continue;
                        }
                        const std::string answer = *reply + "\r\n";
                        const std::string tooLong = "! use TCP\r\n";
                        replies += replies.size() + answer.size() <= budget ? answer : tooLong;
                    }
                    return Reply{replies.size() <= budget ? replies : std::string()};
                },
                sender);
            return;
        }
        std::vector<UecpReading> readings;
        UecpFrameReader reader;
        reader.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                    [&](UecpReading reading) { readings.push_back(std::move(reading)); });
        if (auto open = reader.Finish()) {
            readings.push_back(std::move(*open));  // a datagram ends its frames
        }
        Work(
            [readings = std::move(readings), session = Session(client),
             budget](ControlProgram& program) {
                std::string replies;
                for (const UecpReading& reading : readings) {
                    for (const auto& frame : session->Replies(program, reading)) {
                        if (replies.size() + frame.size() <= budget) {
                            replies.append(frame.begin(), frame.end());
                        }
                    }
                }
                return Reply{replies};
            },
            sender);
    }

    // Datagrams waiting for the program are bounded: a flood is dropped
    // (counted with the others), never queued without end.
    template <typename Handle>
    void Work(Handle handle, const udp::endpoint& sender) {
        ++waiting_;
        shared_->OnProgram(std::move(handle),
                           [self = shared_from_this(), sender](const Reply& reply) {
                               --self->waiting_;
                               self->Send(reply.bytes, sender);
                           });
    }

    // A sender's conversation (its mode, its sequence), kept for the last
    // senders: a new one takes the place of the one silent longest.
    std::shared_ptr<UecpSession> Session(const std::string& client) {
        auto found = sessions_.find(client);
        if (found == sessions_.end()) {
            if (sessions_.size() >= kUdpSessions) {
                sessions_.erase(std::min_element(
                    sessions_.begin(), sessions_.end(),
                    [](const auto& a, const auto& b) { return a.second.heard < b.second.heard; }));
            }
            found = sessions_
                        .emplace(client,
                                 Conversation{std::make_shared<UecpSession>(
                                     shared_->config.uecp, "UECP " + client, shared_->addresses)})
                        .first;
        }
        found->second.heard = ++heard_;
        return found->second.session;
    }

    void Send(const std::string& replies, const udp::endpoint& to) {
        if (replies.empty()) {
            return;
        }
        auto datagram = std::make_shared<std::string>(replies);
        socket_.async_send_to(asio::buffer(*datagram), to,
                              [datagram](const boost::system::error_code&, std::size_t) {});
    }

    std::shared_ptr<Shared> shared_;
    udp::socket socket_;
    std::size_t index_;
    ListenerSetting setting_;
    std::uint16_t port_ = 0;
    std::size_t waiting_ = 0;
    udp::endpoint sender_;
    std::array<char, 65536> buffer_{};
    // Kept on the network's thread; each conversation itself is used on the
    // program's loop only, by one datagram's work at a time.
    struct Conversation {
        std::shared_ptr<UecpSession> session;
        std::uint64_t heard = 0;  // when its sender was last heard, counted in datagrams
    };
    std::map<std::string, Conversation> sessions_;
    std::uint64_t heard_ = 0;
};

}  // namespace

NetworkServer::NetworkServer(boost::asio::io_context& io, CoreHost& core, ControlProgram& program,
                             NetworkConfig config, Log log)
    : shared_(std::make_shared<Shared>(io, core, program, std::move(config), std::move(log))) {}

NetworkServer::~NetworkServer() {
    shared_->running = false;
}

std::optional<std::string> NetworkServer::Start() {
    shared_->running = true;
    if (const std::string& trouble = shared_->addresses->ReadTrouble(); !trouble.empty()) {
        shared_->log(trouble + "; the UECP addresses are those of the start options");
    }
    const auto& listeners = shared_->config.listeners;
    {
        const MutexLock lock(shared_->statusMutex);
        for (const ListenerSetting& setting : listeners) {
            ListenerStatus entry;
            entry.description = setting.Describe();
            shared_->status.push_back(std::move(entry));
        }
    }
    for (std::size_t i = 0; i < listeners.size(); ++i) {
        const ListenerSetting& setting = listeners[i];
        std::optional<std::string> problem;
        std::uint16_t port = 0;
        if (setting.transport == ListenerTransport::Tcp) {
            const auto listener = std::make_shared<TcpListener>(shared_, i, setting);
            problem = listener->Open();
            port = listener->Port();
        } else {
            const auto listener = std::make_shared<UdpListener>(shared_, i, setting);
            problem = listener->Open();
            port = listener->Port();
        }
        if (problem) {
            Stop();
            return problem;
        }
        const MutexLock lock(shared_->statusMutex);
        shared_->status[i].port = port;
    }
    TellDropCounts(shared_);
    return std::nullopt;
}

void NetworkServer::TellDropCounts(const std::shared_ptr<Shared>& shared) {
    shared->dropCounts.expires_after(std::chrono::seconds(1));
    shared->dropCounts.async_wait(
        [weak = std::weak_ptr<Shared>(shared)](const boost::system::error_code& error) {
            const auto self = weak.lock();
            if (error || !self || !self->running) {
                return;
            }
            self->dropped.Flush(Clock::now());
            TellDropCounts(self);
        });
}

void NetworkServer::Stop() {
    if (shared_->running) {
        shared_->dropped.FlushAll();
    }
    shared_->running = false;
    shared_->dropCounts.cancel();
    const auto closers = std::move(shared_->closers);
    shared_->closers.clear();
    for (const auto& [id, close] : closers) {
        close();
    }
    shared_->waiting.clear();
}

std::vector<ListenerStatus> NetworkServer::Status() const {
    const MutexLock lock(shared_->statusMutex);
    return shared_->status;
}

}  // namespace vaxo
