#include "net/asio_addresses.h"

#include "eventloop/asio.h"

#include <boost/asio/ip/address.hpp>

namespace vaxo {

std::optional<AddressBytesOf> AddressBytes(const std::string& host) {
    boost::system::error_code error;
    const boost::asio::ip::address address = boost::asio::ip::make_address(host, error);
    if (error) {
        return std::nullopt;
    }
    if (address.is_v4()) {
        const auto v6 =
            boost::asio::ip::make_address_v6(boost::asio::ip::v4_mapped, address.to_v4());
        return AddressBytesOf{v6.to_bytes(), true};
    }
    return AddressBytesOf{address.to_v6().to_bytes(), false};
}

std::array<std::uint8_t, 16> BytesOf(const boost::asio::ip::address& address) {
    if (address.is_v4()) {
        return boost::asio::ip::make_address_v6(boost::asio::ip::v4_mapped, address.to_v4())
            .to_bytes();
    }
    return address.to_v6().to_bytes();
}

namespace {

boost::asio::ip::address_v6 V6(const std::array<std::uint8_t, 16>& bytes) {
    return boost::asio::ip::address_v6(bytes);
}

}  // namespace

bool IsLoopback(const std::array<std::uint8_t, 16>& address) {
    const auto v6 = V6(address);
    if (v6.is_v4_mapped()) {
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6).is_loopback();
    }
    return v6.is_loopback();
}

bool IsMulticast(const std::array<std::uint8_t, 16>& address) {
    const auto v6 = V6(address);
    if (v6.is_v4_mapped()) {
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6).is_multicast();
    }
    return v6.is_multicast();
}

}  // namespace vaxo
