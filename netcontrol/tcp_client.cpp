#include "netcontrol/network_listeners.h"

#include <array>
#include <deque>

#include <boost/asio/write.hpp>

namespace vaxo {
namespace {

using tcp = asio::ip::tcp;
using Shared = NetworkServer::Shared;

constexpr std::size_t kClientPendingLimit = 256;  // units of one client with the program at once

// One TCP client: its bytes in, its replies out, in order.
class TcpClient : public std::enable_shared_from_this<TcpClient> {
  public:
    TcpClient(std::shared_ptr<Shared> shared, tcp::socket socket, const tcp::endpoint& peer,
              std::size_t listener, ListenerProtocol protocol, Admission::Place place,
              std::shared_ptr<IdleConnections> idle)
        : shared_(std::move(shared)),
          socket_(std::move(socket)),
          idle_(shared_->io),
          stall_(shared_->io),
          place_(std::move(place)),
          idleOnes_(std::move(idle)),
          key_(ClientKeyOf(BytesOf(peer.address()))),
          listener_(listener),
          origin_((protocol == ListenerProtocol::Text ? "text " : "UECP ") +
                  DescribeEndpoint(peer)),
          session_(MakeNetworkSession(shared_->config.listeners.at(listener), origin_,
                                      shared_->config, shared_->addresses,
                                      shared_->config.MayProvision(BytesOf(peer.address())))) {}

    void Start() {
        shared_->Seen(listener_, origin_.substr(origin_.find(' ') + 1), 1);
        closer_ = shared_->AddCloser([weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->Close();
            }
        });
        Read();
        UpdateIdle();
    }

  private:
    // Idle while no command is in flight and no reply waits to be written,
    // or while the client reads none of its replies: then its place may go
    // to a newcomer. Each spell of idleness counts from its start.
    void UpdateIdle() {
        const bool idle = !closed_ && pending_ == 0 && (queue_.empty() || stalling_);
        if (idle && !idleId_) {
            idleId_ = idleOnes_->Add(key_, [weak = weak_from_this()] {
                if (const auto self = weak.lock()) {
                    self->idleId_.reset();
                    self->Close();
                }
            });
        } else if (!idle && idleId_) {
            idleOnes_->Remove(*idleId_);
            idleId_.reset();
        }
    }

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
        return pending_ >= kClientPendingLimit || unsent_ > shared_->config.limits.unread;
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
        for (auto& work : session_->Receive(bytes)) {
            ++pending_;
            shared_->OnProgram(std::move(work),
                               [self = shared_from_this()](const NetworkSession::Reply& reply) {
                                   self->Done(reply);
                               });
        }
        UpdateIdle();
    }

    void Done(const NetworkSession::Reply& reply) {
        --pending_;
        if (reply.command && !valid_) {
            valid_ = true;
            KeepAwake();  // from now on the idle time of a client that works
        }
        if (std::string bytes = reply.Bytes(); !bytes.empty()) {
            Queue(std::move(bytes));
        }
        Resume();
        UpdateIdle();
    }

    void Resume() {
        if (paused_ && pending_ < kClientPendingLimit / 2 &&
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
        UpdateIdle();
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
                              self->UpdateIdle();
                          });
    }

    void Close() {
        if (closed_) {
            return;
        }
        closed_ = true;
        UpdateIdle();
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
    std::shared_ptr<IdleConnections> idleOnes_;  // the listener's
    ClientKey key_;
    std::optional<std::uint64_t> idleId_;
    std::size_t listener_;
    std::string origin_;
    std::shared_ptr<NetworkSession> session_;
    std::uint64_t closer_ = 0;
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

}  // namespace

void StartTcpClient(std::shared_ptr<Shared> shared, tcp::socket socket, const tcp::endpoint& peer,
                    std::size_t listener, ListenerProtocol protocol, Admission::Place place,
                    std::shared_ptr<IdleConnections> idle) {
    std::make_shared<TcpClient>(std::move(shared), std::move(socket), peer, listener, protocol,
                                std::move(place), std::move(idle))
        ->Start();
}

}  // namespace vaxo
