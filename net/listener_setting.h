#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vaxo {

// A network of addresses: "192.168.1.0/24", "2001:db8::/32", or one address.
struct AddressRange {
    std::array<std::uint8_t, 16> bytes{};  // IPv4 as IPv4-mapped IPv6
    int prefix = 128;

    bool Contains(const std::array<std::uint8_t, 16>& address) const;
};

// The range, or why the text is none.
std::optional<AddressRange> ParseAddressRange(const std::string& text, std::string& why);

enum class ListenerProtocol { Text, Uecp };
enum class ListenerTransport { Tcp, Udp };

// The words a text listener answers with, as the senders in use expect
// them: "+ - ! /" (signs), "OK"/"NO" (ok-no), "[OK]"/"[ERR]" (brackets).
enum class ReplyWords { Signs, OkNo, Brackets };
std::optional<ReplyWords> ParseReplyWords(const std::string& text);

struct ListenerSetting {
    ListenerProtocol protocol = ListenerProtocol::Text;
    ListenerTransport transport = ListenerTransport::Tcp;
    std::string host;  // an address: 127.0.0.1, ::1, 0.0.0.0, a multicast group (UDP)
    std::uint16_t port = 0;
    ReplyWords replies = ReplyWords::Signs;  // text listeners only

    std::string Describe() const;  // "text TCP 127.0.0.1:4000"
};

// "HOST:PORT" ("[::1]:4000" for IPv6), or why it is none.
std::optional<ListenerSetting> ParseListener(ListenerProtocol protocol, ListenerTransport transport,
                                             const std::string& text, std::string& why);

// Decimal digits only (at most six) within the range, or nothing.
std::optional<int> OptionNumber(const std::string& text, int low, int high);

// A listener as it runs, for the program's own pages.
struct ListenerStatus {
    std::string description;  // "text TCP 127.0.0.1:4000"
    std::uint16_t port = 0;   // the port bound
    int clients = 0;          // TCP connections now
    std::string lastClient;   // "192.0.2.7:51234", empty before the first
    std::optional<std::chrono::system_clock::time_point> lastSeen;
};

}  // namespace vaxo
