// A client's conversation, the same over TCP and UDP: units cut from the
// bytes however they arrive, each answered on the program's loop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netcontrol/network_config.h"
#include "netcontrol/network_session.h"
#include "netcontrol/uecp_frame.h"
#include "tests/support/running_program.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;

std::vector<std::string> Answers(ControlProgram& program,
                                 const std::vector<NetworkSession::Work>& work) {
    std::vector<std::string> answers;
    for (const auto& unit : work) {
        answers.push_back(unit(program).Bytes());
    }
    return answers;
}

TEST(NetworkSession, TextLinesAreCutAcrossPiecesAndADatagramEndsItsLastLine) {
    test::RunningProgram program;
    NetworkConfig config;
    config.limits.line = 16;
    const auto session = MakeNetworkSession({}, "text 192.0.2.7:4000", config, nullptr, false);
    EXPECT_TRUE(session->Receive("PS=NE").empty()) << "a line is not whole yet";
    EXPECT_THAT(Answers(*program, session->Receive("WS\r\nPS?\r")),
                ElementsAre("+\r\n", "PS=NEWS\r\n"));
    EXPECT_TRUE(session->Receive("\nPTY?").empty()) << "CR LF is one end";
    EXPECT_THAT(Answers(*program, session->EndOfDatagram()), ElementsAre("PTY=0\r\n"));
    const auto tooLong = session->Receive(std::string(20, 'x') + "\n");
    ASSERT_EQ(tooLong.size(), 1u);
    const NetworkSession::Reply reply = tooLong[0](*program);
    EXPECT_EQ(reply.Bytes(), "-\r\n");
    EXPECT_FALSE(reply.command) << "a line too long is no command";
    EXPECT_EQ(session->TooLargeForDatagram(), "! use TCP\r\n");
}

// The dialects themselves are tried live; here, what only the session
// makes: a UDP reply too long, and the option's place after its listener.
TEST(NetworkSession, ATextListenerAnswersInItsOwnReplyWords) {
    NetworkConfig config;
    bool known = false;
    NetworkConfig named;
    EXPECT_FALSE(TakeNetworkOption(named, "text-udp", "127.0.0.1:0", known));
    EXPECT_FALSE(TakeNetworkOption(named, "text-replies", "brackets", known));
    EXPECT_EQ(
        MakeNetworkSession(named.listeners.at(0), "text 192.0.2.7:4000", config, nullptr, false)
            ->TooLargeForDatagram(),
        "[ERR] use TCP\r\n");

    NetworkConfig wrong;
    EXPECT_THAT(TakeNetworkOption(wrong, "text-replies", "ok-no", known),
                Optional(HasSubstr("follows the --text-tcp")));
    EXPECT_FALSE(TakeNetworkOption(wrong, "uecp-tcp", "127.0.0.1:0", known));
    EXPECT_THAT(TakeNetworkOption(wrong, "text-replies", "ok-no", known),
                Optional(HasSubstr("follows")))
        << "a UECP listener has no reply words";
    EXPECT_FALSE(TakeNetworkOption(wrong, "text-udp", "127.0.0.1:0", known));
    EXPECT_THAT(TakeNetworkOption(wrong, "text-replies", "OK", known),
                Optional(HasSubstr("signs, ok-no or brackets")));
}

TEST(NetworkSession, UecpFramesAreCutAcrossPiecesAndTheirRepliesStayWhole) {
    test::RunningProgram program;
    NetworkConfig config;
    ListenerSetting uecp;
    uecp.protocol = ListenerProtocol::Uecp;
    const auto session =
        MakeNetworkSession(uecp, "UECP 192.0.2.7:4000", config,
                           std::make_shared<UecpAddressBook>(config.uecp.addresses, ""), false);
    const auto mode = EncodeUecpFrame({0, 0, 1, {kMecCommunicationMode, 2}});
    const auto ps =
        EncodeUecpFrame({0, 0, 2, {kMecPs, 0, 0, 'U', 'E', 'C', 'P', ' ', 'F', 'M', ' '}});
    std::string bytes(mode.begin(), mode.end());
    bytes.append(ps.begin(), ps.end());
    const std::size_t half = bytes.size() - 4;
    const auto first = session->Receive(std::string_view(bytes).substr(0, half));
    ASSERT_EQ(first.size(), 1u) << "the mode's frame, and half of the next";
    const NetworkSession::Reply modeReply = first[0](*program);
    EXPECT_TRUE(modeReply.command);
    const auto second = session->Receive(std::string_view(bytes).substr(half));
    ASSERT_EQ(second.size(), 1u);
    const NetworkSession::Reply psReply = second[0](*program);
    ASSERT_EQ(psReply.parts.size(), 1u) << "mode 2 acknowledges each frame, in a frame of its own";
    EXPECT_EQ(static_cast<std::uint8_t>(psReply.parts[0].front()), 0xFE);
    EXPECT_EQ(program->View().Station().PS, "UECP FM ");
    EXPECT_EQ(session->TooLargeForDatagram(), "") << "an answer that does not fit is left out";

    const auto open = session->Receive(std::string_view(bytes).substr(0, 3));
    EXPECT_TRUE(open.empty());
    const auto ended = session->EndOfDatagram();
    ASSERT_EQ(ended.size(), 1u) << "the datagram ends a frame without its end byte";
    EXPECT_FALSE(ended[0](*program).command);
}

}  // namespace
}  // namespace vaxo
