#include "netcontrol/network_session.h"

#include "base/code_page.h"

#include "netcontrol/line_splitter.h"
#include "netcontrol/reply_words.h"
#include "netcontrol/text_commands.h"
#include "netcontrol/uecp_frame.h"
#include "netcontrol/uecp_session.h"

namespace vaxo {
namespace {

// Text commands: one a line; a line too long is answered "-". Replies are
// in the client's encoding: UTF-8, or Windows-1250 after it sent a line in
// Windows-1250 (until one in UTF-8).
class TextSession : public NetworkSession {
  public:
    TextSession(std::string origin, std::size_t lineLimit, ReplyWords words)
        : origin_{Origin::Kind::TextClient, std::move(origin)}, lines_(lineLimit), words_(words) {}

    std::vector<Work> Receive(std::string_view bytes) override {
        std::vector<Work> work;
        lines_.Feed(
            bytes, [&](std::string_view line) { work.push_back(Line(std::string(line))); },
            [&] { work.push_back(TooLong()); });
        return work;
    }
    std::vector<Work> EndOfDatagram() override {
        std::vector<Work> work;
        lines_.Finish([&](std::string_view line) { work.push_back(Line(std::string(line))); });
        return work;
    }
    std::string TooLargeForDatagram() const override {
        return InReplyWords(words_, "!") + " use TCP\r\n";
    }

  private:
    Work Line(std::string line) {
        if (!IsAscii(line)) {
            clientSpeaksWindows1250_ = !Utf8ToWindows1250(line).has_value();
        }
        return [line = std::move(line), origin = origin_, words = words_,
                windows1250 = clientSpeaksWindows1250_](ControlProgram& program) {
            const auto reply = AnswerTextCommand(program, line, origin);
            if (!reply) {
                return Reply{{}, true};
            }
            const std::string worded = InReplyWords(words, reply->line);
            return Reply{
                {(windows1250 ? Utf8ToWindows1250(worded).value_or(worded) : worded) + "\r\n"},
                reply->line != "!"};
        };
    }
    Work TooLong() const {
        return [words = words_](ControlProgram&) {
            return Reply{{InReplyWords(words, "-") + "\r\n"}, false};
        };
    }

    Origin origin_;
    LineSplitter lines_;  // the network's thread's
    ReplyWords words_;
    bool clientSpeaksWindows1250_ = false;  // the network's thread's
};

// UECP frames: the conversation (its mode, its sequence) lives on the
// program's loop, the frame reader on the network's thread.
class UecpNetworkSession : public NetworkSession {
  public:
    UecpNetworkSession(const NetworkConfig& config, std::string origin,
                       std::shared_ptr<UecpAddressBook> addresses, bool mayProvision)
        : conversation_(std::make_shared<UecpSession>(config.uecp, std::move(origin),
                                                      std::move(addresses), mayProvision)) {}

    std::vector<Work> Receive(std::string_view bytes) override {
        std::vector<Work> work;
        frames_.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                     [&](UecpReading reading) { work.push_back(Frame(std::move(reading))); });
        return work;
    }
    std::vector<Work> EndOfDatagram() override {
        std::vector<Work> work;
        if (auto open = frames_.Finish()) {
            work.push_back(Frame(std::move(*open)));  // a datagram ends its frames
        }
        return work;
    }
    std::string TooLargeForDatagram() const override { return ""; }

  private:
    Work Frame(UecpReading reading) const {
        return
            [reading = std::move(reading), conversation = conversation_](ControlProgram& program) {
                Reply reply{{}, reading.frame.has_value()};
                for (const auto& frame : conversation->Replies(program, reading)) {
                    reply.parts.emplace_back(frame.begin(), frame.end());
                }
                return reply;
            };
    }

    std::shared_ptr<UecpSession> conversation_;  // used on the program's loop only
    UecpFrameReader frames_;                     // the network's thread's
};

}  // namespace

std::string NetworkSession::Reply::Bytes() const {
    std::string bytes;
    for (const std::string& part : parts) {
        bytes += part;
    }
    return bytes;
}

std::shared_ptr<NetworkSession> MakeNetworkSession(const ListenerSetting& listener,
                                                   std::string origin, const NetworkConfig& config,
                                                   std::shared_ptr<UecpAddressBook> addresses,
                                                   bool mayProvision) {
    if (listener.protocol == ListenerProtocol::Text) {
        return std::make_shared<TextSession>(std::move(origin), config.limits.line,
                                             listener.replies);
    }
    return std::make_shared<UecpNetworkSession>(config, std::move(origin), std::move(addresses),
                                                mayProvision);
}

}  // namespace vaxo
