#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/listener_setting.h"
#include "netcontrol/uecp_session.h"

namespace vaxo {

// What one client may ask of the front end.
struct ClientLimits {
    std::size_t line = 1024;    // bytes of a text line
    int clients = 32;           // TCP clients of one listener at once
    int clientsPerAddress = 8;  // of them from one address (an IPv6 /64)
    // Silence before a first valid command (a line that is a command, a
    // frame whose CRC is right), and after one.
    std::chrono::milliseconds greeting = std::chrono::seconds(10);
    std::chrono::milliseconds idle = std::chrono::minutes(10);
    // Replies waiting for the client to read them: beyond this its input
    // waits; when none is read for `stalled`, it is dropped.
    std::size_t unread = 64 * 1024;
    std::chrono::milliseconds stalled = std::chrono::minutes(1);
    // A UDP reply is at most this many times the datagram that asked.
    std::size_t udpReplyFactor = 3;
};

// What listens, and who may talk to it.
struct NetworkConfig {
    std::vector<ListenerSetting> listeners;
    std::vector<AddressRange> allowed;
    // UECP servers whose site and encoder address elements are taken; the
    // machine itself is none unless named.
    std::vector<AddressRange> provisioners;
    UecpSettings uecp;
    ClientLimits limits;

    bool Empty() const { return listeners.empty(); }
    // Clients from the machine itself, and from the allowed ranges.
    bool Allows(const std::array<std::uint8_t, 16>& address) const;
    bool MayProvision(const std::array<std::uint8_t, 16>& address) const;
};

// Why the configuration may not run, or nothing: a listener on an address
// other than loopback needs an allow list; a multicast group is for UDP.
std::optional<std::string> CheckNetworkConfig(const NetworkConfig& config);

// Reads one option of the command line or of the listeners' file
// (--text-tcp, --text-udp, --uecp-tcp, --uecp-udp, --allow, --uecp-site,
// --uecp-encoder, --uecp-psn, --uecp-provision, --text-replies for the text
// listener named before it) into the configuration; the reason when its
// value is wrong, nothing when it was taken or is no such option (known is
// then false).
std::optional<std::string> TakeNetworkOption(NetworkConfig& config, const std::string& name,
                                             const std::string& value, bool& known);

// The listeners' file, one option a line ("--text-tcp 127.0.0.1:4000" or
// "text-tcp=127.0.0.1:4000"), "#" comments; the reason of the first line
// that is wrong.
// `other` takes the options of another front end read from the same file
// (the web page's), in TakeNetworkOption's way.
using OtherOption = std::function<std::optional<std::string>(
    const std::string& name, const std::string& value, bool& known)>;
std::optional<std::string> ReadNetworkConfigText(const std::string& text, NetworkConfig& config,
                                                 const OtherOption& other = {});

// The window's listeners: the file "vaxow.listen" in the program folder,
// in the form above. Without the file nothing listens; the reason when it
// cannot be read or may not run.
inline constexpr const char* kListenersFileName = "vaxow.listen";
std::optional<std::string> ReadListenersFile(const std::string& programDir, NetworkConfig& config,
                                             const OtherOption& other = {});

// The names of the options, for usage texts.
const std::vector<std::string>& NetworkOptionNames();

}  // namespace vaxo
