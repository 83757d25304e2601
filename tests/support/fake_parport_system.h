#pragma once

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "platform/parport_system.h"
#include "platform/port_io.h"

namespace vaxo::test {

// The kernel's parallel ports as ppdev and ioperm show them, with one device
// on every port answering at the port's real base address.
class FakeParportSystem : public ParportSystem {
  public:
    struct Port {
        KernelParport kernel;
        bool deviceNode = true;      // /dev/parportN exists (ppdev loaded)
        bool permitted = true;       // the user may open it
        bool otherDriver = false;    // lp is registered on it
        bool heldElsewhere = false;  // another program claimed it exclusively
        bool lockedByAnotherCopy = false;
    };

    FakeParportSystem(std::vector<Port> ports, PortIo& device, bool rawIo)
        : ports_(std::move(ports)), device_(device), rawIo_(rawIo) {}

    std::vector<KernelParport> ListPorts() override {
        std::vector<KernelParport> listed;
        for (const Port& port : ports_) {
            listed.push_back(port.kernel);
        }
        return listed;
    }
    int Open(const std::string& path) override {
        opened.push_back(path);
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            if (path == "/dev/parport" + std::to_string(ports_[i].kernel.number)) {
                if (!ports_[i].deviceNode) {
                    return -ENOENT;
                }
                if (!ports_[i].permitted) {
                    return -EACCES;
                }
                const int fd = nextFd_++;
                descriptors_[fd] = {i, false};
                return fd;
            }
        }
        return -ENOENT;
    }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        auto& [index, exclusive] = descriptors_.at(fd);
        const Port& port = ports_[index];
        const std::uint32_t base = port.kernel.base.value_or(kLpt1Base);
        auto* byte = static_cast<unsigned char*>(argument);
        switch (request) {
            case PPEXCL:
                exclusive = true;
                return 0;
            case PPCLAIM:
                return port.heldElsewhere || (exclusive && port.otherDriver) ? -ENXIO : 0;
            case PPRELEASE:
                return 0;
            case PPWDATA:
                ++ppdevWrites;
                device_.PortWriteByte(base, *byte);
                return 0;
            case PPRDATA:
                *byte = device_.PortReadByte(base);
                return 0;
            case PPRSTATUS:
                *byte = device_.PortReadByte(base + 1);
                return 0;
            default:
                return -EINVAL;
        }
    }
    int Lock(int fd) override {
        return ports_[descriptors_.at(fd).first].lockedByAnotherCopy ? -EWOULDBLOCK : 0;
    }
    void Close(int fd) override { descriptors_.erase(fd); }
    bool Ioperm(std::uint32_t from, std::uint32_t count) override {
        if (rawIo_) {
            permittedFrom = from;
            permittedCount = count;
        }
        return rawIo_;
    }
    std::uint8_t InByte(std::uint32_t port) override { return device_.PortReadByte(port); }
    void OutByte(std::uint32_t port, std::uint8_t value) override {
        ++directWrites;
        device_.PortWriteByte(port, value);
    }

    std::vector<std::string> opened;
    long ppdevWrites = 0;
    long directWrites = 0;
    std::uint32_t permittedFrom = 0;
    std::uint32_t permittedCount = 0;
    int OpenDescriptors() const { return static_cast<int>(descriptors_.size()); }

  private:
    std::vector<Port> ports_;
    PortIo& device_;
    bool rawIo_;
    int nextFd_ = 3;
    std::map<int, std::pair<std::size_t, bool>> descriptors_;
};

}  // namespace vaxo::test
