#include "netcontrol/network_listeners.h"

#include <algorithm>
#include <array>

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/udp.hpp>

namespace vaxo {
namespace {

using udp = asio::ip::udp;
using Shared = NetworkServer::Shared;

constexpr std::size_t kDatagramsPendingLimit = 256;  // datagrams waiting for the program at once
constexpr std::size_t kUdpSessions = 256;            // senders remembered

std::string WithinBudget(const std::vector<std::string>& parts, std::size_t budget,
                         const std::string& tooLarge) {
    std::size_t whole = 0;
    for (const std::string& part : parts) {
        whole += part.size();
    }
    std::string replies;
    const bool fits = whole <= budget;
    for (const std::string& part : parts) {
        if (fits || replies.size() + part.size() + tooLarge.size() <= budget) {
            replies += part;
        } else if (!tooLarge.empty()) {
            return replies + tooLarge;
        }
    }
    return replies;
}

class UdpListener : public std::enable_shared_from_this<UdpListener> {
  public:
    UdpListener(std::shared_ptr<Shared> shared, std::size_t index, const ListenerSetting& setting)
        : shared_(std::move(shared)), socket_(shared_->io), index_(index), setting_(setting) {}

    BindOutcome Open() {
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
            return {error, setting_.Describe() + ": " + error.message()};
        }
        port_ = socket_.local_endpoint().port();
        shared_->AddCloser([self = shared_from_this()] {
            boost::system::error_code ignored;
            self->socket_.close(ignored);
        });
        Receive();
        return {};
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
                if (!error && self->waiting_ >= kDatagramsPendingLimit) {
                    self->shared_->Dropped(self->sender_.address(), "datagrams (too many waiting)");
                } else if (!error && self->shared_->Allowed(self->sender_.address(), "datagrams")) {
                    self->Take(std::string_view(self->buffer_.data(), got), self->sender_);
                }
                self->Receive();
            });
    }

    // The replies to one datagram are at most a few times its size, so that
    // a sender cannot turn the encoder into an amplifier. When they do not
    // fit, those that do go in order, then, where the protocol can say so,
    // "! use TCP" in place of the rest: it always goes (a dozen bytes, less
    // than the datagram's own headers), so no request is met with silence.
    // Where it cannot (UECP), the answers that fit go and the others not.
    void Take(std::string_view bytes, const udp::endpoint& sender) {
        const std::string client = DescribeEndpoint(sender);
        shared_->Seen(index_, client, 0);
        const std::size_t budget = bytes.size() * shared_->config.limits.udpReplyFactor;
        const std::shared_ptr<NetworkSession> session = Session(client, sender.address());
        std::vector<NetworkSession::Work> work = session->Receive(bytes);
        for (auto& last : session->EndOfDatagram()) {
            work.push_back(std::move(last));
        }
        ++waiting_;
        shared_->OnProgram(
            [work = std::move(work), budget,
             tooLarge = session->TooLargeForDatagram()](ControlProgram& program) {
                std::vector<std::string> parts;
                for (const auto& unit : work) {
                    NetworkSession::Reply reply = unit(program);
                    for (std::string& part : reply.parts) {
                        parts.push_back(std::move(part));
                    }
                }
                return NetworkSession::Reply{{WithinBudget(parts, budget, tooLarge)}};
            },
            [self = shared_from_this(), sender](const NetworkSession::Reply& reply) {
                --self->waiting_;
                self->Send(reply.Bytes(), sender);
            });
    }

    // A sender's conversation (a UECP sender's mode, its sequence), kept for
    // the last senders: a new one takes the place of the one silent longest.
    std::shared_ptr<NetworkSession> Session(const std::string& client,
                                            const asio::ip::address& address) {
        auto found = sessions_.find(client);
        if (found == sessions_.end()) {
            if (sessions_.size() >= kUdpSessions) {
                sessions_.erase(std::min_element(
                    sessions_.begin(), sessions_.end(),
                    [](const auto& a, const auto& b) { return a.second.heard < b.second.heard; }));
            }
            const char* kind = setting_.protocol == ListenerProtocol::Text ? "text " : "UECP ";
            found = sessions_
                        .emplace(client,
                                 Conversation{MakeNetworkSession(
                                     setting_, kind + client, shared_->config, shared_->addresses,
                                     shared_->config.MayProvision(BytesOf(address)))})
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
    // Kept on the network's thread; each conversation's work runs on the
    // program's loop, one datagram's at a time.
    struct Conversation {
        std::shared_ptr<NetworkSession> session;
        std::uint64_t heard = 0;  // when its sender was last heard, counted in datagrams
    };
    std::map<std::string, Conversation> sessions_;
    std::uint64_t heard_ = 0;
};

}  // namespace

OpenedListener OpenUdpListener(std::shared_ptr<Shared> shared, std::size_t index,
                               const ListenerSetting& setting) {
    const auto listener = std::make_shared<UdpListener>(std::move(shared), index, setting);
    OpenedListener opened;
    opened.outcome = listener->Open();
    opened.port = listener->Port();
    return opened;
}

}  // namespace vaxo
