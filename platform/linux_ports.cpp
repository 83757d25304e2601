// Linux port backends: ppdev requests (no root needed, group lp suffices) and
// direct port instructions through ioperm (root or CAP_SYS_RAWIO).
#include <dirent.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define VAXO_HAS_PORT_INSTRUCTIONS 1
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/parport_system.h"

namespace vaxo {
namespace {

constexpr const char* kParportList = "/proc/sys/dev/parport";

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

class RealSystem : public ParportSystem {
  public:
    std::vector<KernelParport> ListPorts() override {
        std::vector<KernelParport> ports;
        DIR* dir = ::opendir(kParportList);
        if (!dir) {
            return ports;
        }
        while (const dirent* entry = ::readdir(dir)) {
            int number = -1;
            char tail = 0;
            if (std::sscanf(entry->d_name, "parport%d%c", &number, &tail) == 1 && number >= 0) {
                ports.push_back({number, BaseOf(entry->d_name)});
            }
        }
        ::closedir(dir);
        std::sort(ports.begin(), ports.end(), [](const KernelParport& a, const KernelParport& b) {
            return a.number < b.number;
        });
        return ports;
    }
    int Open(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument) == 0 ? 0 : -errno;
    }
    int Lock(int fd) override { return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : -errno; }
    void Close(int fd) override { ::close(fd); }
#ifdef VAXO_HAS_PORT_INSTRUCTIONS
    bool Ioperm(std::uint32_t from, std::uint32_t count) override {
        return ::ioperm(from, count, 1) == 0;
    }
    std::uint8_t InByte(std::uint32_t port) override {
        return inb(static_cast<unsigned short>(port));
    }
    void OutByte(std::uint32_t port, std::uint8_t value) override {
        outb(value, static_cast<unsigned short>(port));
    }
#else
    bool Ioperm(std::uint32_t, std::uint32_t) override {
        return false;
    }
    std::uint8_t InByte(std::uint32_t) override {
        return 0;
    }
    void OutByte(std::uint32_t, std::uint8_t) override {}
#endif

  private:
    // base-addr holds the base and the high base, in decimal.
    static std::optional<std::uint32_t> BaseOf(const std::string& name) {
        std::ifstream file(std::string(kParportList) + "/" + name + "/base-addr");
        unsigned long base = 0;
        if (!(file >> base) || base == 0 || base > 0xFFFF) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(base);
    }
};

class LinuxChannel : public PortChannel {
  public:
    LinuxChannel(ParportSystem& system, int fd, KernelParport port, bool shared)
        : system_(system), fd_(fd), port_(port), shared_(shared) {}
    LinuxChannel(const LinuxChannel&) = delete;
    LinuxChannel& operator=(const LinuxChannel&) = delete;
    ~LinuxChannel() override {
        system_.Ioctl(fd_, PPRELEASE, nullptr);
        system_.Close(fd_);
    }

    std::uint8_t Read(std::uint32_t offset) override {
        if (direct_) {
            return system_.InByte(*port_.base + offset);
        }
        unsigned char value = 0;
        if (offset == 0) {
            system_.Ioctl(fd_, PPRDATA, &value);
        } else if (offset == 1) {
            system_.Ioctl(fd_, PPRSTATUS, &value);
        }
        return value;
    }
    void Write(std::uint32_t offset, std::uint8_t value) override {
        if (direct_) {
            system_.OutByte(*port_.base + offset, value);
        } else if (offset == 0) {
            unsigned char byte = value;
            system_.Ioctl(fd_, PPWDATA, &byte);
        }
    }
    // Only at the base the kernel reports: a guessed address could be
    // another device's.
    bool GoDirect() override {
        direct_ = port_.base && system_.Ioperm(*port_.base, kPortRegisters);
        return direct_;
    }
    std::string Description() const override {
        std::string text = Device(port_.number);
        text += port_.base ? " at " + Hex(*port_.base) : " (base address unknown)";
        text += direct_ ? ", port instructions" : ", ppdev";
        if (shared_) {
            text += ", shared with another driver";
        }
        return text;
    }

    static std::string Device(int number) { return "/dev/parport" + std::to_string(number); }

  private:
    ParportSystem& system_;
    int fd_;
    KernelParport port_;
    bool shared_;
    bool direct_ = false;
};

class LinuxBackends : public PortBackends {
  public:
    explicit LinuxBackends(std::unique_ptr<ParportSystem> system) : system_(std::move(system)) {}

    ChannelOpening Open(std::uint32_t base) override {
        const auto port = ChooseKernelPort(system_->ListPorts(), base);
        if (!port) {
            return {nullptr, {LinkFault::NoParallelPort, LptName(base)}};
        }
        const std::string device = LinuxChannel::Device(port->number);
        int fd = system_->Open(device);
        if (fd < 0) {
            return {nullptr, {OpenFault(-fd), device}};
        }
        // Before any claim: a claim waits while another holds the port.
        if (!Locked(fd)) {
            return {nullptr, {LinkFault::PortHeldByAnotherCopy, device}};
        }
        system_->Ioctl(fd, PPEXCL, nullptr);
        int claimed = system_->Ioctl(fd, PPCLAIM, nullptr);
        const bool shared = claimed == -ENXIO;
        if (shared) {
            // Another driver (lp, say) is registered on the port: the exclusive
            // registration is refused, a shared one is not. The flag cannot be
            // taken back on this descriptor.
            system_->Close(fd);
            fd = system_->Open(device);
            if (fd < 0) {
                return {nullptr, {OpenFault(-fd), device}};
            }
            if (!Locked(fd)) {
                return {nullptr, {LinkFault::PortHeldByAnotherCopy, device}};
            }
            claimed = system_->Ioctl(fd, PPCLAIM, nullptr);
        }
        if (claimed != 0) {
            system_->Close(fd);
            return {nullptr, {LinkFault::PortBusy, device}};
        }
        return {std::make_unique<LinuxChannel>(*system_, fd, *port, shared)};
    }

  private:
    // Two copies of the program never drive one port, however they were
    // started; the lock goes with the descriptor.
    bool Locked(int fd) {
        if (system_->Lock(fd) == 0) {
            return true;
        }
        system_->Close(fd);
        return false;
    }

    static LinkFault OpenFault(int error) {
        if (error == EACCES || error == EPERM) {
            return LinkFault::PortNotPermitted;
        }
        if (error == EBUSY) {
            return LinkFault::PortBusy;
        }
        return LinkFault::PpdevNotLoaded;
    }

    std::unique_ptr<ParportSystem> system_;
};

}  // namespace

std::optional<KernelParport> ChooseKernelPort(const std::vector<KernelParport>& ports,
                                              std::uint32_t base) {
    const std::uint32_t other = base == kLpt2Base ? kLpt1Base : kLpt2Base;
    auto at = [&](std::uint32_t address) {
        return std::find_if(ports.begin(), ports.end(),
                            [&](const KernelParport& p) { return p.base == address; });
    };
    if (const auto exact = at(base); exact != ports.end()) {
        return *exact;
    }
    const auto otherLpt = at(other);
    std::vector<KernelParport> free;
    for (const KernelParport& port : ports) {
        if (port.base != base && port.base != other) {
            free.push_back(port);
        }
    }
    // LPT2 without a port at 0x278 comes after an LPT1 that had to take a free
    // port too.
    const std::size_t index = base == kLpt2Base && otherLpt == ports.end() ? 1 : 0;
    if (index < free.size()) {
        return free[index];
    }
    return std::nullopt;
}

std::unique_ptr<ParportSystem> RealParportSystem() {
    return std::make_unique<RealSystem>();
}

std::unique_ptr<PortBackends> LinuxPortBackends(std::unique_ptr<ParportSystem> system) {
    return std::make_unique<LinuxBackends>(std::move(system));
}

std::unique_ptr<PortBackends> SystemPortBackends() {
    return LinuxPortBackends(RealParportSystem());
}

}  // namespace vaxo
