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
using ::testing::Not;

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
    EXPECT_EQ(program_->View().Station().PS, "TCP");

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
    EXPECT_NE(program_->View().Station().PS, "LATE");
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
    EXPECT_EQ(program_->View().Station().PTY, 9);

    EXPECT_EQ(Datagram(3, Uecp({0x2C, 2}) + Uecp({0x07, 0, 0, 10}) + Uecp({0x07, 0, 0, 77})),
              Uecp({0x18, 0}) + Uecp({0x18, 0}) + Uecp({0x18, 6, 0}));
    EXPECT_EQ(program_->View().Station().PTY, 10);
    std::string open = Uecp({0x07, 0, 0, 11});
    open.pop_back();
    EXPECT_EQ(Datagram(3, Uecp({0x2C, 2}) + open), Uecp({0x18, 0}) + Uecp({0x18, 10, 0}))
        << "a datagram ends the frame in it; each sender has its own mode";
}

// Each listener has its own places and each address its share of them: a
// client of one protocol takes no place of another's, one address cannot
// take a listener.
TEST_F(NetworkServerTest, EachListenerHasItsPlacesAndEachAddressItsShare) {
    Start({.line = 1024, .clients = 2, .clientsPerAddress = 2});
    std::vector<asio::ip::tcp::socket> uecp;
    uecp.push_back(Connect(2));
    uecp.push_back(Connect(2));
    auto third = Connect(2);
    EXPECT_TRUE(Closed(third)) << "the UECP listener is full";
    auto text = Connect(0);
    asio::write(text, asio::buffer(std::string("PTY?\r\n")));
    EXPECT_EQ(Receive(text, 7), "PTY=0\r\n") << "the text listener has places of its own";
    auto secondText = Connect(0);
    auto thirdText = Connect(0);
    EXPECT_EQ(Receive(thirdText, 31), "! too many clients: 2 at most\r\n");
    EXPECT_THAT(Log(), Contains(HasSubstr("too many clients: 2 at most")));
}

// A client that sends nothing useful goes soon; one that works keeps its
// place through a longer silence.
TEST_F(NetworkServerTest, SilenceEndsAClientSoonerBeforeItsFirstCommand) {
    Start({.line = 1024, .greeting = 200ms, .idle = 60s});
    auto silent = Connect(0);
    auto nonsense = Connect(0);
    asio::write(nonsense, asio::buffer(std::string("hello\r\n")));
    EXPECT_EQ(Receive(nonsense, 3), "!\r\n");
    auto working = Connect(0);
    asio::write(working, asio::buffer(std::string("PTY?\r\n")));
    EXPECT_EQ(Receive(working, 7), "PTY=0\r\n");
    EXPECT_TRUE(Closed(silent));
    EXPECT_TRUE(Closed(nonsense)) << "no command in its line";
    EXPECT_THAT(Log(), Contains(HasSubstr("closed: silent for 200 ms without a command")));
    asio::write(working, asio::buffer(std::string("TA?\r\n")));
    EXPECT_EQ(Receive(working, 6), "TA=0\r\n") << "still there";
}

// A fast client that sends a thousand commands at once and then reads them
// is answered in full; one that never reads is dropped, another answered
// meanwhile.
TEST_F(NetworkServerTest, AClientThatReadsIsAnsweredOneThatDoesNotIsDropped) {
    Start({.line = 1024, .unread = 4096, .stalled = 500ms});
    auto fast = Connect(0);
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += "STATUS?\r\n";
    }
    asio::write(fast, asio::buffer(many));
    std::string replies;
    while (std::count(replies.begin(), replies.end(), '\n') < 1000) {
        const std::string more = Receive(fast, 1);
        ASSERT_FALSE(more.empty()) << "answered in full";
        replies += more;
    }
    EXPECT_EQ(std::count(replies.begin(), replies.end(), '\n'), 1000);
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("reads no replies"))));

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
    const auto deadline = std::chrono::steady_clock::now() + 60s;
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
