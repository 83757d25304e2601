#pragma once

#include <array>
#include <cstdint>

namespace vaxo {

// The requests of the port driver zlportio: I/O control codes in the
// Windows CTL_CODE layout, (device type << 16) | (access << 14) |
// (function << 2) | method, with device type 0x80FF, any access, buffered.
constexpr std::uint32_t PortDriverControlCode(std::uint32_t function) {
    constexpr std::uint32_t kDeviceType = 0x80FF, kAnyAccess = 0, kBuffered = 0;
    return kDeviceType << 16 | kAnyAccess << 14 | function << 2 | kBuffered;
}

inline constexpr std::uint32_t kReadPortRequest = PortDriverControlCode(1);
inline constexpr std::uint32_t kWritePortRequest = PortDriverControlCode(2);
inline constexpr std::uint32_t kGrantDirectAccessRequest = PortDriverControlCode(3);
inline constexpr std::uint32_t kWithdrawDirectAccessRequest = PortDriverControlCode(4);

// A read or write request: port, width (0 byte, 1 word, 2 double word) and
// the value to write, three little-endian 32-bit fields.
struct PortIoRequest {
    std::uint32_t port = 0;
    std::uint32_t width = 0;
    std::uint32_t value = 0;
};

inline std::array<std::uint8_t, 12> EncodePortIoRequest(const PortIoRequest& request) {
    std::array<std::uint8_t, 12> bytes{};
    const std::uint32_t fields[] = {request.port, request.width, request.value};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(fields[i / 4] >> (8 * (i % 4)));
    }
    return bytes;
}

// The 4-byte read reply; the data sits in its low 8 or 16 bits.
inline std::uint32_t DecodePortReadReply(const std::array<std::uint8_t, 4>& reply) {
    return std::uint32_t{reply[0]} | std::uint32_t{reply[1]} << 8 | std::uint32_t{reply[2]} << 16 |
           std::uint32_t{reply[3]} << 24;
}

}  // namespace vaxo
