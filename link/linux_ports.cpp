// Linux port backends: ppdev requests (no root needed, group lp suffices) and
// direct port instructions through ioperm (root or CAP_SYS_RAWIO).
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define VAXO_HAS_PORT_INSTRUCTIONS 1
#endif

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "link/port_layer.h"

namespace vaxo {
namespace {

constexpr std::array<std::uint16_t, 2> kLptBases = {kLpt1Base, kLpt2Base};
constexpr int kParportsScanned = 8;

// The base address the kernel reports for /dev/parportN, 0 when unknown.
unsigned long ParportBase(int number) {
    std::ifstream file("/proc/sys/dev/parport/parport" + std::to_string(number) + "/base-addr");
    unsigned long base = 0;
    file >> base;
    return base;
}

int OpenClaimed(int number) {
    const std::string device = "/dev/parport" + std::to_string(number);
    const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    ::ioctl(fd, PPEXCL);  // not granted when another driver shares the port
    if (::ioctl(fd, PPCLAIM) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// /dev/parportN for LPT1 and LPT2: the one whose base address is 0x378 or
// 0x278, else parport0 for LPT1 and parport1 for LPT2.
std::array<int, 2> ParportNumbers() {
    std::array<int, 2> numbers{-1, -1};
    for (int n = 0; n < kParportsScanned; ++n) {
        const unsigned long base = ParportBase(n);
        for (std::size_t lpt = 0; lpt < kLptBases.size(); ++lpt) {
            if (base == kLptBases[lpt] && numbers[lpt] < 0) {
                numbers[lpt] = n;
            }
        }
    }
    for (std::size_t lpt = 0; lpt < numbers.size(); ++lpt) {
        const int fallback = static_cast<int>(lpt);
        if (numbers[lpt] < 0 && numbers[1 - lpt] != fallback) {
            numbers[lpt] = fallback;
        }
    }
    return numbers;
}

class PpdevPorts : public PortIo {
  public:
    explicit PpdevPorts(std::array<int, 2> fds) : fds_(fds) {}
    ~PpdevPorts() override {
        for (int fd : fds_) {
            if (fd >= 0) {
                ::ioctl(fd, PPRELEASE);
                ::close(fd);
            }
        }
    }

    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override {
        unsigned char value = 0;
        if (width != PortWidth::Byte) {
            return 0;
        }
        for (std::size_t lpt = 0; lpt < fds_.size(); ++lpt) {
            if (fds_[lpt] < 0) {
                continue;
            }
            if (port == kLptBases[lpt]) {
                ::ioctl(fds_[lpt], PPRDATA, &value);
            } else if (port == kLptBases[lpt] + 1u) {
                ::ioctl(fds_[lpt], PPRSTATUS, &value);
            }
        }
        return value;
    }

    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override {
        for (std::size_t lpt = 0; lpt < fds_.size(); ++lpt) {
            if (fds_[lpt] >= 0 && width == PortWidth::Byte && port == kLptBases[lpt]) {
                unsigned char byte = static_cast<unsigned char>(value);
                ::ioctl(fds_[lpt], PPWDATA, &byte);
            }
        }
    }

  private:
    std::array<int, 2> fds_;
};

#ifdef VAXO_HAS_PORT_INSTRUCTIONS
class DirectPorts : public PortIo {
  public:
    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override {
        const auto address = static_cast<unsigned short>(port);
        switch (width) {
            case PortWidth::Byte:
                return inb(address);
            case PortWidth::Word:
                return inw(address);
            case PortWidth::DoubleWord:
                return inl(address);
        }
        return 0;
    }
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override {
        const auto address = static_cast<unsigned short>(port);
        switch (width) {
            case PortWidth::Byte:
                outb(static_cast<unsigned char>(value), address);
                break;
            case PortWidth::Word:
                outw(static_cast<unsigned short>(value), address);
                break;
            case PortWidth::DoubleWord:
                outl(value, address);
                break;
        }
    }
};
#endif

class LinuxPortBackends : public PortBackends {
  public:
    std::unique_ptr<PortIo> OpenDriver() override {
        std::array<int, 2> fds{-1, -1};
        const auto numbers = ParportNumbers();
        for (std::size_t lpt = 0; lpt < numbers.size(); ++lpt) {
            if (numbers[lpt] >= 0) {
                fds[lpt] = OpenClaimed(numbers[lpt]);
            }
        }
        if (fds[0] < 0 && fds[1] < 0) {
            return nullptr;
        }
        return std::make_unique<PpdevPorts>(fds);
    }

    std::unique_ptr<PortIo> OpenDirect() override {
#ifdef VAXO_HAS_PORT_INSTRUCTIONS
        for (std::uint16_t base : kLptBases) {
            if (::ioperm(base, 3, 1) != 0) {
                return nullptr;
            }
        }
        return std::make_unique<DirectPorts>();
#else
        return nullptr;
#endif
    }
};

}  // namespace

std::unique_ptr<PortBackends> SystemPortBackends() {
    return std::make_unique<LinuxPortBackends>();
}

}  // namespace vaxo
