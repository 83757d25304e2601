#include <gtest/gtest.h>

#include <vector>

#include "net/admission.h"
#include "net/idle_connections.h"

namespace vaxo {
namespace {

ClientKey V4(std::uint8_t last) {
    return ClientKeyOf({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 192, 0, 2, last});
}

ClientKey V6(std::uint8_t network, std::uint8_t host) {
    return ClientKeyOf({0x20, 0x01, 0x0d, 0xb8, 0, network, 0, 0, 0, 0, 0, 0, 0, 0, 0, host});
}

TEST(Admission, SharesPerListenerAndPerClientAndGivesPlacesBack) {
    Admission admission(4, 2);
    std::vector<Admission::Place> held;
    held.push_back(*admission.Admit(V4(1)).place);
    held.push_back(*admission.Admit(V4(1)).place);
    const auto third = admission.Admit(V4(1));
    EXPECT_FALSE(third.place);
    EXPECT_EQ(third.refusal, Admission::Refusal::ClientFull);

    // One machine's IPv6 /64 is one client, whatever its addresses.
    held.push_back(*admission.Admit(V6(1, 1)).place);
    EXPECT_EQ(admission.Admit(V6(1, 2)).refusal, Admission::Refusal::ListenerFull);
    EXPECT_EQ(DescribeClientKey(V6(1, 7)), "2001:db8:1::/64");
    EXPECT_EQ(DescribeClientKey(V4(9)), "192.0.2.9");

    held.push_back(*admission.Admit(V6(2, 1)).place);
    EXPECT_EQ(admission.Admit(V4(3)).refusal, Admission::Refusal::ListenerFull);
    held.pop_back();
    EXPECT_TRUE(admission.Admit(V4(3)).place) << "a place given back is taken again";
    EXPECT_EQ(admission.Connections(), 3) << "the temporary place ended at once";
}

struct Crowd {
    Admission admission{8, 8};
    IdleConnections idle;
    std::vector<Admission::Place> places;
    std::vector<int> closed;  // the order of the connections closed for newcomers

    int Connect(const ClientKey& client, bool isIdle = true) {
        places.push_back(*admission.Admit(client).place);
        const int index = static_cast<int>(places.size()) - 1;
        if (isIdle) {
            idle.Add(client, [this, index] {
                closed.push_back(index);
                places[static_cast<std::size_t>(index)] = Admission::Place();
            });
        }
        return index;
    }
};

TEST(IdleConnections, RoomIsMadeFromTheLeastTrustedAndNeverFromTheWorking) {
    Crowd crowd;
    // 192.0.2.1 signed in before (-1); .2 failed three times; others unknown.
    const auto standing = [](const ClientKey& client) {
        return client == V4(1) ? -1 : client == V4(2) ? 3 : 0;
    };
    crowd.Connect(V4(1));
    const int slowFirst = crowd.Connect(V4(3));
    crowd.Connect(V4(3));
    crowd.Connect(V4(3), false);
    const int guesser = crowd.Connect(V4(2));

    // The guesser goes first though it holds less; then the client holding
    // the most, the one idle longest first.
    EXPECT_TRUE(crowd.idle.MakeRoomFor(V4(4), crowd.admission, standing));
    EXPECT_TRUE(crowd.idle.MakeRoomFor(V4(4), crowd.admission, standing));
    EXPECT_EQ(crowd.closed, (std::vector<int>{guesser, slowFirst}));

    // An unknown newcomer cannot push out one of equal weight, nor the
    // operator's address; the operator can push out an unknown.
    EXPECT_TRUE(crowd.idle.MakeRoomFor(V4(5), crowd.admission, standing));  // .3: 2 held
    EXPECT_FALSE(crowd.idle.MakeRoomFor(V4(5), crowd.admission, standing));
    crowd.Connect(V4(6));
    EXPECT_FALSE(crowd.idle.MakeRoomFor(V4(7), crowd.admission, standing))
        << "one held against none: the newest is refused, not the oldest";
    EXPECT_TRUE(crowd.idle.MakeRoomFor(V4(1), crowd.admission, standing));
    EXPECT_EQ(crowd.idle.Count(), 1U) << "the operator's own idle one stays";
}

TEST(IdleConnections, OneThatStartedWorkingIsNoLongerOffered) {
    Crowd crowd;
    crowd.Connect(V4(3));
    const auto id = crowd.idle.Add(V4(3), [] { FAIL() << "closed while working"; });
    crowd.places.push_back(*crowd.admission.Admit(V4(3)).place);
    crowd.idle.Remove(id);
    const auto unknown = [](const ClientKey&) { return 0; };
    EXPECT_TRUE(crowd.idle.MakeRoomFor(V4(4), crowd.admission, unknown));
    EXPECT_FALSE(crowd.idle.MakeRoomFor(V4(4), crowd.admission, unknown));
}

}  // namespace
}  // namespace vaxo
