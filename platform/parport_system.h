#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/port_layer.h"

namespace vaxo {

// A parallel port as the Linux kernel lists it: /dev/parport<number>, and the
// base I/O address when the kernel reports one.
struct KernelParport {
    int number = 0;
    std::optional<std::uint32_t> base = {};
};

// The system calls of the Linux port backend. Tests put a fake in place, so
// that every path can be tried without a port.
class ParportSystem {
  public:
    virtual ~ParportSystem() = default;
    // The kernel's parallel ports, in the order it numbers them.
    virtual std::vector<KernelParport> ListPorts() = 0;
    // A descriptor, or -errno.
    virtual int Open(const std::string& path) = 0;
    // 0, or -errno.
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    // Takes the program's own lock on an opened port, without waiting: 0, or
    // -errno (-EWOULDBLOCK when another copy of the program holds it).
    virtual int Lock(int fd) = 0;
    virtual void Close(int fd) = 0;
    // Permission for port instructions on [from, from + count).
    virtual bool Ioperm(std::uint32_t from, std::uint32_t count) = 0;
    virtual std::uint8_t InByte(std::uint32_t port) = 0;
    virtual void OutByte(std::uint32_t port, std::uint8_t value) = 0;
};

std::unique_ptr<ParportSystem> RealParportSystem();

// Which kernel port stands for LPT1 (0x378) or LPT2 (0x278): the one at that
// base address; otherwise the first listed port that is not at the other
// LPT's base, LPT1 taking the first such port and LPT2 the next.
std::optional<KernelParport> ChooseKernelPort(const std::vector<KernelParport>& ports,
                                              std::uint32_t base);

// ppdev requests, claimed exclusively when no other driver is registered on
// the port and shared otherwise; port instructions at the kernel's base
// address of the port when the process may issue them.
std::unique_ptr<PortBackends> LinuxPortBackends(std::unique_ptr<ParportSystem> system);

}  // namespace vaxo
