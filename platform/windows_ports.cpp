// The port layer's backend on Windows: the port driver zlportio.
#include <cstdio>

#include "platform/port_layer.h"
#include "platform/zlportio.h"

namespace vaxo {
namespace {

class ZlPortChannel : public PortChannel {
  public:
    ZlPortChannel(ZlPortIo& io, std::uint32_t base) : io_(io), base_(base) {}

    std::uint8_t Read(std::uint32_t offset) override {
        return static_cast<std::uint8_t>(io_.PortRead(base_ + offset, 0));
    }
    void Write(std::uint32_t offset, std::uint8_t value) override {
        io_.PortWrite(base_ + offset, 0, value);
    }
    bool GoDirect() override {
        io_.SetDirectAccess(true);
        return io_.DirectAccessActive();
    }
    std::string Description() const override {
        char at[24];
        std::snprintf(at, sizeof at, "I/O 0x%X, ", static_cast<unsigned>(base_));
        const std::string port = at;
        if (io_.DirectAccessActive()) {
            return port + "port instructions";
        }
        return port + (io_.PortAccessAvailable()
                           ? "port driver zlportio"
                           : "no access: the port driver zlportio cannot be opened or installed");
    }

  private:
    ZlPortIo& io_;
    std::uint32_t base_;
};

// The driver is opened when a port is first used, so that a start that only
// hands its file over never touches it.
class ZlPortBackends : public PortBackends {
  public:
    ZlPortBackends() = default;
    ZlPortBackends(const ZlPortBackends&) = delete;
    ZlPortBackends& operator=(const ZlPortBackends&) = delete;
    ~ZlPortBackends() override {
        if (started_) {
            io_.PortLayerShutdown();
        }
    }

    ChannelOpening Open(std::uint32_t base) override {
        if (!started_) {
            io_.PortLayerStartup();
            started_ = true;
        }
        return {std::make_unique<ZlPortChannel>(io_, base)};
    }

  private:
    std::unique_ptr<PortDriverSystem> system_ = WindowsPortDriverSystem();
    ZlPortIo io_{*system_};
    bool started_ = false;
};

}  // namespace

std::unique_ptr<PortBackends> SystemPortBackends() {
    return std::make_unique<ZlPortBackends>();
}

}  // namespace vaxo
