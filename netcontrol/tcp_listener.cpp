#include "netcontrol/network_listeners.h"

#include <boost/asio/write.hpp>

#include "net/accept_loop.h"
#include "net/client_standing.h"

namespace vaxo {
namespace {

using tcp = asio::ip::tcp;
using Shared = NetworkServer::Shared;

class TcpListener : public std::enable_shared_from_this<TcpListener> {
  public:
    TcpListener(std::shared_ptr<Shared> shared, std::size_t index, const ListenerSetting& setting)
        : shared_(std::move(shared)),
          acceptor_(shared_->io),
          index_(index),
          setting_(setting),
          admission_(shared_->config.limits.clients, shared_->config.limits.clientsPerAddress) {}

    BindOutcome Open() {
        if (const auto error = Listen(acceptor_, setting_)) {
            return {error, setting_.Describe() + ": " + error.message()};
        }
        port_ = acceptor_.local_endpoint().port();
        shared_->AddCloser([self = shared_from_this()] {
            boost::system::error_code ignored;
            self->acceptor_.close(ignored);
        });
        AcceptEach(shared_from_this(), acceptor_);
        return {};
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
        const ClientKey key = ClientKeyOf(BytesOf(peer.address()));
        const auto now = std::chrono::steady_clock::now();
        Admission::Verdict verdict = admission_.Admit(key);
        if (!verdict.place && verdict.refusal == Admission::Refusal::ListenerFull) {
            if (const auto taken = idle_->MakeRoomFor(
                    key, admission_, [&](const ClientKey& c) { return standing_.Of(c, now); })) {
                standing_.Refused(*taken, now);
                shared_->dropped.Dropped(DescribeClientKey(*taken),
                                         "idle connections to " + setting_.Describe() +
                                             " closed to make room for newcomers",
                                         now);
                verdict = admission_.Admit(key);
            }
        }
        if (!verdict.place) {
            standing_.Refused(key, now);
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
        StartTcpClient(shared_, std::move(socket), peer, index_, setting_.protocol,
                       std::move(*verdict.place), idle_);
    }

    std::shared_ptr<Shared> shared_;
    tcp::acceptor acceptor_;
    std::size_t index_;
    ListenerSetting setting_;
    Admission admission_;
    std::shared_ptr<IdleConnections> idle_ = std::make_shared<IdleConnections>();
    ClientStanding standing_;
    std::uint16_t port_ = 0;
};

}  // namespace

OpenedListener OpenTcpListener(std::shared_ptr<Shared> shared, std::size_t index,
                               const ListenerSetting& setting) {
    const auto listener = std::make_shared<TcpListener>(std::move(shared), index, setting);
    OpenedListener opened;
    opened.outcome = listener->Open();
    opened.port = listener->Port();
    return opened;
}

}  // namespace vaxo
