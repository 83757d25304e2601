#pragma once

#include <cstdint>

namespace vaxo {

// Access widths of a port read or write.
enum class PortWidth : int { Byte = 0, Word = 1, DoubleWord = 2 };

// Input and output on I/O port addresses. The rest of the program uses byte
// accesses on the parallel port's data register (base) and status register
// (base + 1) only.
class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual std::uint32_t PortRead(std::uint32_t port, PortWidth width) = 0;
    virtual void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) = 0;

    std::uint8_t PortReadByte(std::uint32_t port) {
        return static_cast<std::uint8_t>(PortRead(port, PortWidth::Byte));
    }
    void PortWriteByte(std::uint32_t port, std::uint8_t value) {
        PortWrite(port, PortWidth::Byte, value);
    }
};

inline constexpr std::uint16_t kLpt1Base = 0x378;
inline constexpr std::uint16_t kLpt2Base = 0x278;

}  // namespace vaxo
