#pragma once

#include <cstdint>
#include <string>

#include "platform/link_fault.h"

namespace vaxo {

// Access widths of a port read or write.
enum class PortWidth : int { Byte = 0, Word = 1, DoubleWord = 2 };

// The port behind a base address, as a send finds it: which port it is, or
// why it cannot be used.
struct PortInUse {
    LinkProblem problem = {};
    std::string description = {};  // "/dev/parport0 at 0xD010, ppdev, shared"
};

// Input and output on I/O port addresses. The rest of the program uses byte
// accesses on the parallel port's data register (base) and status register
// (base + 1) only.
class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual std::uint32_t PortRead(std::uint32_t port, PortWidth width) = 0;
    virtual void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) = 0;
    // Makes the port at `base` ready for a send, opening it again when an
    // earlier attempt failed. A port that needs no opening is ready.
    [[nodiscard]] virtual PortInUse OpenPort(std::uint32_t /*base*/) { return {}; }

    std::uint8_t PortReadByte(std::uint32_t port) {
        return static_cast<std::uint8_t>(PortRead(port, PortWidth::Byte));
    }
    void PortWriteByte(std::uint32_t port, std::uint8_t value) {
        PortWrite(port, PortWidth::Byte, value);
    }
};

// A parallel port's registers: data, status, control.
inline constexpr std::uint32_t kPortRegisters = 3;
inline constexpr std::uint16_t kLpt1Base = 0x378;
inline constexpr std::uint16_t kLpt2Base = 0x278;

// "LPT1" for 0x378, "LPT2" for 0x278.
inline std::string LptName(std::uint32_t base) {
    return base == kLpt2Base ? "LPT2" : "LPT1";
}

}  // namespace vaxo
