#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/asio_addresses.h"
#include "netcontrol/network_config.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;

std::array<std::uint8_t, 16> Address(const std::string& text) {
    return AddressBytes(text).value().bytes;
}

NetworkConfig Config(const std::vector<std::pair<std::string, std::string>>& options) {
    NetworkConfig config;
    for (const auto& [name, value] : options) {
        bool known = false;
        const auto why = TakeNetworkOption(config, name, value, known);
        EXPECT_TRUE(known) << name;
        EXPECT_FALSE(why) << *why;
    }
    return config;
}

TEST(NetworkConfig, ListenersAreHostAndPort) {
    std::string why;
    const auto v4 =
        ParseListener(ListenerProtocol::Text, ListenerTransport::Tcp, "127.0.0.1:4000", why);
    ASSERT_TRUE(v4);
    EXPECT_EQ(v4->Describe(), "text TCP 127.0.0.1:4000");
    const auto v6 = ParseListener(ListenerProtocol::Uecp, ListenerTransport::Udp, "[::1]:0", why);
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->Describe(), "UECP UDP [::1]:0");
    for (const char* wrong : {"localhost:4000", "127.0.0.1", "127.0.0.1:65536", "::1:4000",
                              "[::1]4000", "127.0.0.1:-1", "127.0.0.1:4x", ""}) {
        EXPECT_FALSE(ParseListener(ListenerProtocol::Text, ListenerTransport::Tcp, wrong, why))
            << wrong;
    }
    EXPECT_THAT(why, HasSubstr("is not HOST:PORT"));
}

// Provisioning is named, never assumed: not even this machine may re-address
// the encoder unless it is named.
TEST(NetworkConfig, OnlyTheNamedServersMayProvision) {
    const NetworkConfig none;
    EXPECT_FALSE(none.MayProvision(Address("127.0.0.1")));
    const NetworkConfig config =
        Config({{"uecp-provision", "10.0.0.7"}, {"uecp-provision", "192.168.0.0/16"}});
    EXPECT_TRUE(config.MayProvision(Address("10.0.0.7")));
    EXPECT_FALSE(config.MayProvision(Address("10.0.0.8")));
    EXPECT_TRUE(config.MayProvision(Address("192.168.40.1")));
    EXPECT_FALSE(config.MayProvision(Address("127.0.0.1")));
    NetworkConfig wrong;
    bool known = false;
    EXPECT_TRUE(TakeNetworkOption(wrong, "uecp-provision", "10.0.0.0/40", known));
    EXPECT_TRUE(known);
}

TEST(NetworkConfig, OnlyLoopbackAndTheAllowedRangesMayTalk) {
    const NetworkConfig config =
        Config({{"allow", "192.168.1.0/24"}, {"allow", "2001:db8::/32"}, {"allow", "10.1.2.3"}});
    EXPECT_TRUE(config.Allows(Address("127.0.0.1")));
    EXPECT_TRUE(config.Allows(Address("127.8.9.10")));
    EXPECT_TRUE(config.Allows(Address("::1")));
    EXPECT_TRUE(config.Allows(Address("192.168.1.77")));
    EXPECT_FALSE(config.Allows(Address("192.168.2.77")));
    EXPECT_TRUE(config.Allows(Address("::ffff:192.168.1.5"))) << "a mapped IPv4 address";
    EXPECT_TRUE(config.Allows(Address("2001:db8:1::5")));
    EXPECT_FALSE(config.Allows(Address("2001:db9::5")));
    EXPECT_TRUE(config.Allows(Address("10.1.2.3")));
    EXPECT_FALSE(config.Allows(Address("10.1.2.4")));
    std::string why;
    EXPECT_FALSE(ParseAddressRange("10.0.0.0/33", why));
    EXPECT_FALSE(ParseAddressRange("example.org/8", why));
    EXPECT_TRUE(ParseAddressRange("0.0.0.0/0", why));
}

TEST(NetworkConfig, BeyondLoopbackNeedsAnAllowList) {
    EXPECT_FALSE(
        CheckNetworkConfig(Config({{"text-tcp", "127.0.0.1:4000"}, {"uecp-udp", "[::1]:4001"}})));
    EXPECT_THAT(CheckNetworkConfig(Config({{"text-tcp", "0.0.0.0:4000"}})),
                Optional(HasSubstr("--allow")));
    EXPECT_THAT(CheckNetworkConfig(Config({{"uecp-udp", "239.1.2.3:4001"}})),
                Optional(HasSubstr("--allow")));
    EXPECT_FALSE(
        CheckNetworkConfig(Config({{"uecp-udp", "239.1.2.3:4001"}, {"allow", "10.0.0.0/8"}})));
    EXPECT_THAT(
        CheckNetworkConfig(Config({{"uecp-tcp", "239.1.2.3:4001"}, {"allow", "10.0.0.0/8"}})),
        Optional(HasSubstr("multicast group is for UDP")));
}

TEST(NetworkConfig, UecpIdentityAndWrongValues) {
    const NetworkConfig config = Config({{"uecp-site", "837"},
                                         {"uecp-encoder", "18"},
                                         {"uecp-psn", "6"},
                                         {"uecp-psn", "7"},
                                         {"uecp-site", "12"},
                                         {"uecp-site", "837"},
                                         {"uecp-site", "0"}});
    EXPECT_EQ(config.uecp.addresses.sites, (std::vector<int>{837, 12})) << "each once; 0 adds none";
    EXPECT_EQ(config.uecp.addresses.encoders, (std::vector<int>{18}));
    EXPECT_EQ(config.uecp.services, (std::vector<int>{6, 7}));
    NetworkConfig wrong;
    bool known = false;
    EXPECT_TRUE(TakeNetworkOption(wrong, "uecp-site", "1024", known));
    EXPECT_TRUE(TakeNetworkOption(wrong, "uecp-encoder", "64", known));
    EXPECT_TRUE(TakeNetworkOption(wrong, "uecp-psn", "0", known));
    EXPECT_FALSE(TakeNetworkOption(wrong, "simulate", "", known));
    EXPECT_FALSE(known);
}

TEST(NetworkConfig, TheWindowsListenersFile) {
    test::TempDir folder;
    const std::string dir = folder.path().string() + "/";
    NetworkConfig none;
    EXPECT_FALSE(ReadListenersFile(dir, none)) << "no file: nothing listens, nothing wrong";
    EXPECT_TRUE(none.Empty());

    test::WriteBytes(folder / "vaxow.listen",
                     "# the playout system\r\n--text-tcp 127.0.0.1:4000\r\n"
                     "uecp-udp=239.1.2.3:5000   # the group's server\r\nallow 10.0.0.0/8\r\n\r\n");
    NetworkConfig read;
    EXPECT_FALSE(ReadListenersFile(dir, read));
    EXPECT_EQ(read.listeners.size(), 2u);
    EXPECT_EQ(read.allowed.size(), 1u);

    test::WriteBytes(folder / "vaxow.listen", "--text-tcp 0.0.0.0:4000\n");
    NetworkConfig open;
    EXPECT_THAT(ReadListenersFile(dir, open), Optional(HasSubstr("--allow")));
    EXPECT_TRUE(open.Empty()) << "a file that may not run starts nothing";
    test::WriteBytes(folder / "vaxow.listen", "--text-tcp 127.0.0.1:4000\n--listen-all\n");
    EXPECT_THAT(ReadListenersFile(dir, open), Optional(HasSubstr("line 2")));

#ifndef _WIN32
    // A link planted in its place is not followed.
    test::WriteBytes(folder / "elsewhere", "--text-tcp 127.0.0.1:4000\n");
    std::filesystem::remove(folder / "vaxow.listen");
    std::filesystem::create_symlink(folder / "elsewhere", folder / "vaxow.listen");
    NetworkConfig linked;
    EXPECT_THAT(ReadListenersFile(dir, linked), Optional(HasSubstr("Cannot open file")));
    EXPECT_TRUE(linked.Empty());
#endif
}

}  // namespace
}  // namespace vaxo
