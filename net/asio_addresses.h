#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <boost/asio/ip/address.hpp>

namespace vaxo {

struct AddressBytesOf {
    std::array<std::uint8_t, 16> bytes;  // IPv4 as IPv4-mapped IPv6
    bool v4 = false;
};

// A numeric IPv4 or IPv6 address (no name is looked up), or nothing.
std::optional<AddressBytesOf> AddressBytes(const std::string& host);

// An address's bytes, IPv4 as IPv4-mapped IPv6.
std::array<std::uint8_t, 16> BytesOf(const boost::asio::ip::address& address);

bool IsLoopback(const std::array<std::uint8_t, 16>& address);
bool IsMulticast(const std::array<std::uint8_t, 16>& address);

}  // namespace vaxo
