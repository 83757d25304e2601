#pragma once

#include <memory>

#include "link/port_io.h"

namespace vaxo {

// The two ways this system reaches the printer ports.
class PortBackends {
  public:
    virtual ~PortBackends() = default;
    // Requests through the operating system's parallel-port driver; null when
    // no port can be opened.
    virtual std::unique_ptr<PortIo> OpenDriver() = 0;
    // Port instructions issued by the program; null when the process is not
    // allowed to issue them.
    virtual std::unique_ptr<PortIo> OpenDirect() = 0;
};

// The process's port access with its three states: no access (reads give 0,
// writes are dropped), driver requests, and direct port instructions.
class PortLayer : public PortIo {
  public:
    explicit PortLayer(std::unique_ptr<PortBackends> backends);

    // Establishes driver access once, before the window exists.
    void PortLayerStartup();
    // Releases whatever access was taken.
    void PortLayerShutdown();
    // Switches to direct instructions where the process may issue them; with
    // false, or where it may not, the current state stays.
    void SetDirectAccess(bool on);

    bool PortAccessAvailable() const { return driver_ != nullptr || direct_ != nullptr; }
    bool DirectAccessActive() const { return direct_ != nullptr; }

    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override;
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override;

  private:
    PortIo* Active() const;

    std::unique_ptr<PortBackends> backends_;
    std::unique_ptr<PortIo> driver_;
    std::unique_ptr<PortIo> direct_;
};

// The backends of this platform: ppdev and ioperm on Linux.
std::unique_ptr<PortBackends> SystemPortBackends();

// A driver backend that forwards to a port the caller keeps (the encoder
// simulator, say); no direct access.
std::unique_ptr<PortBackends> ForwardingPortBackends(PortIo& port);

}  // namespace vaxo
