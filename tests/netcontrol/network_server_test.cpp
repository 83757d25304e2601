// The network front end on real sockets of this machine's loopback, with the
// program on a loop the test turns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/write.hpp>
#include <thread>

#include "netcontrol/network_thread.h"
#include "netcontrol/uecp_frame.h"
#include "tests/support/running_program.h"

namespace vaxo {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::HasSubstr;

class NetworkServerTest : public ::testing::Test {
  protected:
    void Start(ClientLimits limits = {}) {
        NetworkConfig config;
        std::string why;
        for (const auto& [protocol, transport] :
             {std::pair{ListenerProtocol::Text, ListenerTransport::Tcp},
              std::pair{ListenerProtocol::Text, ListenerTransport::Udp},
              std::pair{ListenerProtocol::Uecp, ListenerTransport::Tcp},
              std::pair{ListenerProtocol::Uecp, ListenerTransport::Udp}}) {
            config.listeners.push_back(*ParseListener(protocol, transport, "127.0.0.1:0", why));
        }
        config.limits = limits;
        network_ = std::make_unique<NetworkThread>(program_.Host(), *program_, std::move(config),
                                                   [this](const std::string& line) {
                                                       const std::lock_guard lock(logMutex_);
                                                       log_.push_back(line);
                                                   });
        ASSERT_FALSE(network_->Start());
        for (const ListenerStatus& status : network_->Status()) {
            ports_.push_back(status.port);
        }
    }
    ~NetworkServerTest() override { network_.reset(); }

    asio::ip::tcp::socket Connect(std::size_t listener) {
        asio::ip::tcp::socket socket(client_);
        socket.connect({asio::ip::make_address("127.0.0.1"), ports_.at(listener)});
        return socket;
    }
    // Turns the program's loop until `bytes` have come, or `limit` passed (a
    // guard against a hang: a busy machine may take its time).
    std::string Receive(asio::ip::tcp::socket& socket, std::size_t bytes,
                        std::chrono::milliseconds limit = 60s) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < bytes && std::chrono::steady_clock::now() < deadline) {
            program_.Host().RunPending();
            boost::system::error_code error;
            const std::size_t ready = socket.available(error);
            if (error) {
                break;
            }
            if (ready == 0) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            std::string piece(ready, '\0');
            got.append(piece.data(), socket.read_some(asio::buffer(piece), error));
        }
        return got;
    }
    std::string Datagram(std::size_t listener, const std::string& bytes) {
        asio::ip::udp::socket socket(client_, asio::ip::udp::v4());
        socket.send_to(asio::buffer(bytes),
                       {asio::ip::make_address("127.0.0.1"), ports_.at(listener)});
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (socket.available() == 0 && std::chrono::steady_clock::now() < deadline) {
            program_.Host().RunPending();
            std::this_thread::sleep_for(1ms);
        }
        std::string reply(socket.available(), '\0');
        asio::ip::udp::endpoint from;
        reply.resize(reply.empty() ? 0 : socket.receive_from(asio::buffer(reply), from));
        return reply;
    }
    // Whether the server closed the connection within `limit`.
    bool Closed(asio::ip::tcp::socket& socket, std::chrono::milliseconds limit = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        socket.non_blocking(true);
        while (std::chrono::steady_clock::now() < deadline) {
            program_.Host().RunPending();
            char byte = 0;
            boost::system::error_code error;
            socket.read_some(asio::buffer(&byte, 1), error);
            if (error == asio::error::eof || error == asio::error::connection_reset) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    int Clients() const {
        int clients = 0;
        for (const ListenerStatus& status : network_->Status()) {
            clients += status.clients;
        }
        return clients;
    }
    std::vector<std::string> Log() {
        const std::lock_guard lock(logMutex_);
        return log_;
    }
    static std::string Uecp(std::vector<std::uint8_t> message, std::uint8_t sequence = 0) {
        const auto bytes = EncodeUecpFrame({0, 0, sequence, std::move(message)});
        return {bytes.begin(), bytes.end()};
    }

    test::RunningProgram program_;
    asio::io_context client_;
    std::unique_ptr<NetworkThread> network_;
    std::vector<std::uint16_t> ports_;  // text TCP, text UDP, UECP TCP, UECP UDP
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

TEST_F(NetworkServerTest, TextCommandsOverTcpAndUdp) {
    Start();
    auto socket = Connect(0);
    asio::write(socket, asio::buffer(std::string("PS=TCP\r\nPTY=45\nPS?\rNOPE\r\n")));
    EXPECT_EQ(Receive(socket, 17), "+\r\n-\r\nPS=TCP\r\n!\r\n");
    asio::write(socket, asio::buffer(std::string(2000, 'x') + "\r\nPTY?\r\n"));
    EXPECT_EQ(Receive(socket, 10), "-\r\nPTY=0\r\n") << "a long line is refused, the client kept";
    EXPECT_EQ(program_->Set().PS, "TCP");

    EXPECT_EQ(Datagram(1, "PS=UDP\r\nPS?\r\nPTY=99"), "+\r\nPS=UDP\r\n-\r\n")
        << "one datagram, its replies in one";
}

TEST_F(NetworkServerTest, ACommandStillWaitingForTheProgramWhenTheNetworkEndsIsDropped) {
    Start();
    {
        auto socket = Connect(0);
        asio::write(socket, asio::buffer(std::string("PS=LATE\r\n")));
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (program_.Host().Pending() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_GT(program_.Host().Pending(), 0U);
    }
    network_.reset();  // its loop and sockets are gone before the program's loop turns
    program_.Host().RunPending();
    EXPECT_NE(program_->Set().PS, "LATE");
}

TEST_F(NetworkServerTest, UecpOverTcpInPiecesAndOverUdp) {
    Start();
    auto socket = Connect(2);
    const std::string frames = Uecp({0x2C, 2}) + "\x00\x01" + Uecp({0x07, 0, 0, 9}, 1);
    for (char byte : frames) {  // a byte at a time
        asio::write(socket, asio::buffer(&byte, 1));
    }
    const std::string acks = Receive(socket, 2 * Uecp({0x18, 0}).size());
    EXPECT_EQ(acks, Uecp({0x18, 0}) + Uecp({0x18, 0}));
    EXPECT_EQ(program_->Set().PTY, 9);

    EXPECT_EQ(Datagram(3, Uecp({0x2C, 2}) + Uecp({0x07, 0, 0, 10}) + Uecp({0x07, 0, 0, 77})),
              Uecp({0x18, 0}) + Uecp({0x18, 0}) + Uecp({0x18, 6, 0}));
    EXPECT_EQ(program_->Set().PTY, 10);
    std::string open = Uecp({0x07, 0, 0, 11});
    open.pop_back();
    EXPECT_EQ(Datagram(3, Uecp({0x2C, 2}) + open), Uecp({0x18, 0}) + Uecp({0x18, 10, 0}))
        << "a datagram ends the frame in it; each sender has its own mode";
}

TEST_F(NetworkServerTest, LimitsOfClientsSilenceAndUnreadReplies) {
    // Idle long enough that no busy machine lets the first two go before the third.
    Start({.line = 1024, .clients = 2, .idle = 3s, .unread = 4096});
    auto first = Connect(0);
    auto second = Connect(2);
    // The two listeners accept on their own: the third comes once both are in.
    const auto bothIn = std::chrono::steady_clock::now() + 60s;
    while (Clients() < 2 && std::chrono::steady_clock::now() < bothIn) {
        std::this_thread::sleep_for(1ms);
    }
    auto third = Connect(0);
    EXPECT_EQ(Receive(third, 31), "! too many clients: 2 at most\r\n");
    EXPECT_TRUE(Closed(third));
    EXPECT_TRUE(Closed(first)) << "silent for longer than the limit";
    EXPECT_TRUE(Closed(second));
    EXPECT_THAT(Log(), Contains(HasSubstr("closed: silent for 3000 ms")));

    // A client that sends but never reads is dropped; another is answered meanwhile.
    auto reader = Connect(0);
    asio::ip::tcp::socket flooder(client_);
    flooder.open(asio::ip::tcp::v4());
    flooder.set_option(asio::socket_base::receive_buffer_size(4096));
    flooder.connect({asio::ip::make_address("127.0.0.1"), ports_[0]});
    flooder.non_blocking(true);
    std::string queries;
    for (int i = 0; i < 2000; ++i) {
        queries += "STATUS?\r\n";
    }
    bool dropped = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!dropped && std::chrono::steady_clock::now() < deadline) {
        boost::system::error_code error;
        flooder.write_some(asio::buffer(queries), error);
        dropped = error && error != asio::error::would_block;
        program_.Host().RunPending();
        asio::write(reader, asio::buffer(std::string("PTY?\r\n")));
        ASSERT_EQ(Receive(reader, 7), "PTY=0\r\n");
        const auto log = Log();
        dropped =
            dropped || (!log.empty() && log.back().find("reads no replies") != std::string::npos);
    }
    EXPECT_TRUE(dropped);
    EXPECT_THAT(Log(), Contains(HasSubstr("dropped: it reads no replies")));
}

}  // namespace
}  // namespace vaxo
