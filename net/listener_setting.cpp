#include "net/listener_setting.h"

#include <algorithm>

#include "net/asio_addresses.h"

namespace vaxo {

std::optional<ReplyWords> ParseReplyWords(const std::string& text) {
    if (text == "signs") {
        return ReplyWords::Signs;
    }
    if (text == "ok-no") {
        return ReplyWords::OkNo;
    }
    if (text == "brackets") {
        return ReplyWords::Brackets;
    }
    return std::nullopt;
}

std::optional<int> OptionNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    return value >= low && value <= high ? std::optional(value) : std::nullopt;
}

bool AddressRange::Contains(const std::array<std::uint8_t, 16>& address) const {
    for (int bit = 0; bit < prefix; ++bit) {
        const auto byte = static_cast<std::size_t>(bit / 8);
        const int mask = 0x80 >> (bit % 8);
        if ((address[byte] & mask) != (bytes[byte] & mask)) {
            return false;
        }
    }
    return true;
}

std::optional<AddressRange> ParseAddressRange(const std::string& text, std::string& why) {
    const std::size_t slash = text.find('/');
    const std::string host = text.substr(0, slash);
    const auto address = AddressBytes(host);
    if (!address) {
        why = text + " is no address or network (192.168.1.0/24, 2001:db8::/32)";
        return std::nullopt;
    }
    AddressRange range{address->bytes, 128};
    const int bits = address->v4 ? 32 : 128;
    if (slash != std::string::npos) {
        const auto prefix = OptionNumber(text.substr(slash + 1), 0, bits);
        if (!prefix) {
            why = text + ": the prefix is a number from 0 to " + std::to_string(bits);
            return std::nullopt;
        }
        range.prefix = (address->v4 ? 96 : 0) + *prefix;
    }
    return range;
}

std::string ListenerSetting::Describe() const {
    const std::string where = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(protocol == ListenerProtocol::Text ? "text" : "UECP") +
           (transport == ListenerTransport::Tcp ? " TCP " : " UDP ") + where + ":" +
           std::to_string(port);
}

std::optional<ListenerSetting> ParseListener(ListenerProtocol protocol, ListenerTransport transport,
                                             const std::string& text, std::string& why) {
    std::string host, port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string::npos) {
            why = text + " is not [ADDRESS]:PORT";
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) {
            why = text + " is not HOST:PORT";
            return std::nullopt;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    const auto number = OptionNumber(port, 0, 65535);  // 0: any free port (it is told)
    if (!number) {
        why = text + ": the port is a number from 0 to 65535";
        return std::nullopt;
    }
    if (!AddressBytes(host)) {
        why = text + ": " + host + " is no address (names are not looked up)";
        return std::nullopt;
    }
    return ListenerSetting{protocol, transport, host, static_cast<std::uint16_t>(*number)};
}

}  // namespace vaxo
