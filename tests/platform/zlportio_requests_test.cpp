#include "platform/zlportio_requests.h"

#include <gtest/gtest.h>

namespace vaxo {
namespace {

TEST(PortDriverRequests, CodesAndRequestLayoutAreTheDriversOwn) {
    EXPECT_EQ(kReadPortRequest, 0x80FF0004u);
    EXPECT_EQ(kWritePortRequest, 0x80FF0008u);
    EXPECT_EQ(kGrantDirectAccessRequest, 0x80FF000Cu);
    EXPECT_EQ(kWithdrawDirectAccessRequest, 0x80FF0010u);

    const std::array<std::uint8_t, 12> expected = {0x79, 0x03, 0,    0,    2,    0,
                                                   0,    0,    0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(EncodePortIoRequest({0x379, 2, 0x12345678}), expected);
    EXPECT_EQ(DecodePortReadReply({0xA5, 0x00, 0x00, 0x00}), 0xA5u);
    EXPECT_EQ(DecodePortReadReply({0x34, 0x12, 0xCD, 0xAB}), 0xABCD1234u);
}

}  // namespace
}  // namespace vaxo
