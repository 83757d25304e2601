#pragma once

#include <cstdint>

#include "platform/port_driver_system.h"

namespace vaxo {

// Port input and output on Windows. Outside the NT family the program issues
// port instructions itself. On the NT family it opens the kernel driver
// zlportio (installed from zlportio.sys beside the program when it cannot be
// opened), asks it for direct access, and otherwise sends it one request
// per access. Without the driver, accesses are dropped and reads give 0: a
// send then fails waiting for the encoder.
class ZlPortIo {
  public:
    explicit ZlPortIo(PortDriverSystem& system);
    ZlPortIo(const ZlPortIo&) = delete;
    ZlPortIo& operator=(const ZlPortIo&) = delete;
    ~ZlPortIo() = default;

    void PortLayerStartup();
    // Stops and removes the driver's service if the driver was reachable.
    void PortLayerShutdown();
    std::uint32_t PortRead(std::uint32_t port, std::uint32_t width);
    void PortWrite(std::uint32_t port, std::uint32_t width, std::uint32_t value);
    void SetDirectAccess(bool on);

    bool OpenPortDriver();
    bool InstallPortDriver();
    void RemovePortDriver();

    bool PortAccessAvailable() const { return available_; }
    bool DirectAccessActive() const { return direct_; }

  private:
    PortDriverSystem& system_;
    bool ntFamily_;
    bool available_ = false;
    bool direct_ = false;
};

}  // namespace vaxo
