#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "link/encoder_lines.h"
#include "platform/port_io.h"

namespace vaxo::test {

// Records data-register writes and answers status reads from a function.
class RecordingPort : public PortIo {
  public:
    explicit RecordingPort(std::function<bool()> status = [] { return true; })
        : status_(std::move(status)) {}

    std::uint32_t PortRead(std::uint32_t port, PortWidth) override {
        ++reads;
        return port == base + 1 && status_() ? kStatusBit : 0;
    }
    void PortWrite(std::uint32_t port, PortWidth, std::uint32_t value) override {
        if (port == base) {
            writes.push_back(static_cast<std::uint8_t>(value));
        }
    }

    std::uint32_t base = kLpt1Base;
    std::vector<std::uint8_t> writes;
    long reads = 0;

  private:
    std::function<bool()> status_;
};

}  // namespace vaxo::test
