#pragma once

#include <array>
#include <memory>

#include "platform/port_io.h"

namespace vaxo {

// One parallel port, claimed for this process: its data register (offset 0)
// and its status register (offset 1).
class PortChannel {
  public:
    virtual ~PortChannel() = default;
    virtual std::uint8_t Read(std::uint32_t offset) = 0;
    virtual void Write(std::uint32_t offset, std::uint8_t value) = 0;
    // Switches to port instructions where the process may issue them at the
    // port's real address; false when the channel stays as it is.
    virtual bool GoDirect() = 0;
    virtual std::string Description() const = 0;
};

struct ChannelOpening {
    std::unique_ptr<PortChannel> channel;
    LinkProblem problem = {};  // why there is no channel
};

// How this platform reaches a printer port.
class PortBackends {
  public:
    virtual ~PortBackends() = default;
    // The port the program addresses at `base` (0x378 for LPT1, 0x278 for
    // LPT2), claimed; or why it cannot be.
    virtual ChannelOpening Open(std::uint32_t base) = 0;
};

// The process's port access. A port is opened when it is first used or when
// a send asks for it (which lets go of the other one), and kept until shutdown; accesses to a port
// that could not be opened are dropped (reads give 0), as are accesses before start-up, after
// shutdown and to any other address. With direct access allowed, every port that can switches to
// port instructions.
class PortLayer : public PortIo {
  public:
    explicit PortLayer(std::unique_ptr<PortBackends> backends);
    PortLayer(const PortLayer&) = delete;
    PortLayer& operator=(const PortLayer&) = delete;
    ~PortLayer() override = default;

    void PortLayerStartup();
    // Releases every port taken.
    void PortLayerShutdown();
    void SetDirectAccess(bool on);

    bool PortAccessAvailable() const;
    bool DirectAccessActive() const;

    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override;
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override;
    PortInUse OpenPort(std::uint32_t base) override;

  private:
    struct Slot {
        std::uint32_t base;
        std::unique_ptr<PortChannel> channel = nullptr;
        LinkProblem problem = {};
        bool tried = false;
        bool direct = false;
    };
    // The slot whose registers hold `port`, opened on first use; null for
    // any other address or outside start-up and shutdown.
    Slot* SlotFor(std::uint32_t port, std::uint32_t& offset);
    void Open(Slot& slot);

    std::unique_ptr<PortBackends> backends_;
    std::array<Slot, 2> slots_{Slot{kLpt1Base}, Slot{kLpt2Base}};
    bool started_ = false;
    bool directWanted_ = false;
};

// The backends of this platform: ppdev and port instructions on Linux.
std::unique_ptr<PortBackends> SystemPortBackends();

// Every port chosen forwards to `target` at `targetBase` (the encoder
// simulator, say), described as `description`.
std::unique_ptr<PortBackends> ForwardingPortBackends(PortIo& target,
                                                     std::uint32_t targetBase = kLpt1Base,
                                                     std::string description = "simulated encoder");

}  // namespace vaxo
