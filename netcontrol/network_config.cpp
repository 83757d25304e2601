#include "netcontrol/network_config.h"

#include <algorithm>
#include <cstdlib>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "net/asio_addresses.h"

namespace vaxo {
namespace {

// 0 adds nothing: the list stays open to every address unless others are named.
void AddAddress(std::vector<int>& list, int address, std::string& why) {
    if (address == 0 || std::find(list.begin(), list.end(), address) != list.end()) {
        return;
    }
    if (list.size() == kUecpAddressesKept) {
        why = "at most " + std::to_string(kUecpAddressesKept) + " addresses of each kind";
        return;
    }
    list.push_back(address);
}

}  // namespace

bool NetworkConfig::Allows(const std::array<std::uint8_t, 16>& address) const {
    if (IsLoopback(address)) {
        return true;
    }
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const AddressRange& range) { return range.Contains(address); });
}

bool NetworkConfig::MayProvision(const std::array<std::uint8_t, 16>& address) const {
    return std::any_of(provisioners.begin(), provisioners.end(),
                       [&](const AddressRange& range) { return range.Contains(address); });
}

std::optional<std::string> CheckNetworkConfig(const NetworkConfig& config) {
    for (const ListenerSetting& listener : config.listeners) {
        const auto address = AddressBytes(listener.host);
        if (!address) {
            return listener.Describe() + ": no address";
        }
        if (IsMulticast(address->bytes) && listener.transport == ListenerTransport::Tcp) {
            return listener.Describe() + ": a multicast group is for UDP";
        }
        if (!IsLoopback(address->bytes) && config.allowed.empty()) {
            return listener.Describe() +
                   " listens beyond this machine: name who may send with --allow CIDR";
        }
    }
    return std::nullopt;
}

const std::vector<std::string>& NetworkOptionNames() {
    static const std::vector<std::string> names{
        "text-tcp",  "text-udp",     "uecp-tcp", "uecp-udp",       "allow",
        "uecp-site", "uecp-encoder", "uecp-psn", "uecp-provision", "text-replies"};
    return names;
}

std::optional<std::string> TakeNetworkOption(NetworkConfig& config, const std::string& name,
                                             const std::string& value, bool& known) {
    known = true;
    std::string why;
    const auto listen = [&](ListenerProtocol protocol, ListenerTransport transport) {
        const auto setting = ParseListener(protocol, transport, value, why);
        if (setting) {
            config.listeners.push_back(*setting);
        }
    };
    if (name == "text-tcp") {
        listen(ListenerProtocol::Text, ListenerTransport::Tcp);
    } else if (name == "text-udp") {
        listen(ListenerProtocol::Text, ListenerTransport::Udp);
    } else if (name == "uecp-tcp") {
        listen(ListenerProtocol::Uecp, ListenerTransport::Tcp);
    } else if (name == "uecp-udp") {
        listen(ListenerProtocol::Uecp, ListenerTransport::Udp);
    } else if (name == "allow") {
        if (const auto range = ParseAddressRange(value, why)) {
            config.allowed.push_back(*range);
        }
    } else if (name == "text-replies") {
        const auto words = ParseReplyWords(value);
        const auto last = std::find_if(config.listeners.rbegin(), config.listeners.rend(),
                                       [](const ListenerSetting& listener) {
                                           return listener.protocol == ListenerProtocol::Text;
                                       });
        if (!words) {
            why = "--text-replies takes signs, ok-no or brackets";
        } else if (last == config.listeners.rend()) {
            why = "--text-replies follows the --text-tcp or --text-udp it is for";
        } else {
            last->replies = *words;
        }
    } else if (name == "uecp-provision") {
        if (const auto range = ParseAddressRange(value, why)) {
            config.provisioners.push_back(*range);
        }
    } else if (name == "uecp-site") {
        const auto site = OptionNumber(value, 0, kUecpSiteLimit);
        site ? AddAddress(config.uecp.addresses.sites, *site, why)
             : void(why = "--uecp-site takes 0 to 1023");
    } else if (name == "uecp-encoder") {
        const auto encoder = OptionNumber(value, 0, kUecpEncoderLimit);
        encoder ? AddAddress(config.uecp.addresses.encoders, *encoder, why)
                : void(why = "--uecp-encoder takes 0 to 63");
    } else if (name == "uecp-psn") {
        const auto service = OptionNumber(value, 1, 255);
        service ? void(config.uecp.services.push_back(*service))
                : void(why = "--uecp-psn takes 1 to 255");
    } else {
        known = false;
    }
    return why.empty() ? std::nullopt : std::optional(why);
}

std::optional<std::string> ReadNetworkConfigText(const std::string& text, NetworkConfig& config,
                                                 const OtherOption& other) {
    std::optional<std::string> problem;
    int number = 0;
    ForEachLine(text, [&](std::string_view raw) {
        ++number;
        std::string line(raw.substr(0, raw.find('#')));
        line.erase(0, line.find_first_not_of(" \t"));
        line.erase(line.find_last_not_of(" \t") + 1);
        if (line.empty()) {
            return true;
        }
        if (line.starts_with("--")) {
            line.erase(0, 2);
        }
        const std::size_t split = line.find_first_of(" \t=");
        const std::string name = line.substr(0, split);
        std::string value = split == std::string::npos ? "" : line.substr(split + 1);
        value.erase(0, value.find_first_not_of(" \t="));
        bool known = false;
        auto why = TakeNetworkOption(config, name, value, known);
        if (!known && other) {
            why = other(name, value, known);
        }
        if (!known) {
            why = name + " is no listener option";
        }
        if (why) {
            problem = "line " + std::to_string(number) + ": " + *why;
            return false;
        }
        return true;
    });
    return problem;
}

std::optional<std::string> ReadListenersFile(const std::string& programDir, NetworkConfig& config,
                                             const OtherOption& other) {
    const std::string path = programDir + kListenersFileName;
    std::string text;
    try {
        const auto read = ReadOwnFile(path);
        if (!read) {
            return std::nullopt;
        }
        text = *read;
    } catch (const FileError& error) {
        return path + ": " + error.what();
    }
    NetworkConfig read;
    auto problem = ReadNetworkConfigText(text, read, other);
    if (!problem) {
        problem = CheckNetworkConfig(read);
    }
    if (problem) {
        return path + ", " + *problem + "; nothing listens";
    }
    config = std::move(read);
    return std::nullopt;
}

}  // namespace vaxo
