#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

#include "platform/port_io.h"

namespace vaxo {

// Wraps any port backend and records every access: "<ns> <port> <value>" for
// a write and "R <ns> <port> <value>" for a read, nanoseconds since the
// recorder started, port and value in hex. Optionally it also writes a VCD
// file with the clock, data and status lines of the encoder link, on
// whichever of the two printer ports they are driven.
class PortTrace : public PortIo {
  public:
    PortTrace(PortIo& inner, std::ostream* text, std::ostream* vcd);

    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override;
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override;
    PortInUse OpenPort(std::uint32_t base) override { return inner_.OpenPort(base); }

  private:
    long long Nanoseconds() const;
    void VcdHeader();
    void VcdChange(long long ns, char id, int level, int& last);

    PortIo& inner_;
    std::ostream* text_;
    std::ostream* vcd_;
    std::chrono::steady_clock::time_point start_;
    long long lastVcdTime_ = -1;
    int clock_ = -1;
    int data_ = -1;
    int status_ = -1;
};

}  // namespace vaxo
