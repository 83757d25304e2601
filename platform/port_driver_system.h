#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vaxo {

// What the port layer asks of Windows: the platform family, the port
// driver's device and service, and port instructions.
class PortDriverSystem {
  public:
    virtual ~PortDriverSystem() = default;

    virtual bool IsNtFamily() = 0;
    // Opens "\\.\ZLPORTIO" for reading and writing and keeps the handle; the
    // system's last error code after the open.
    virtual std::uint32_t OpenDevice() = 0;
    // One I/O control request on the device; its success is not examined.
    virtual void Request(std::uint32_t code, std::span<const std::uint8_t> input,
                         std::span<std::uint8_t> output) = 0;
    // The program's own folder, then "\zlportio.sys", at most 255 characters.
    virtual std::string DriverFilePath() = 0;
    // Service control; 0 or the system's error code.
    virtual std::uint32_t ServiceInstall(const std::string& path, const std::string& name) = 0;
    virtual std::uint32_t ServiceStart(const std::string& name) = 0;
    virtual std::uint32_t ServiceStop(const std::string& name) = 0;
    virtual std::uint32_t ServiceRemove(const std::string& name) = 0;
    // Port instructions of width 0 (8 bits), 1 (16) or 2 (32).
    virtual std::uint32_t DirectIn(std::uint16_t port, std::uint32_t width) = 0;
    virtual void DirectOut(std::uint16_t port, std::uint32_t width, std::uint32_t value) = 0;
};

// The real one, on Windows.
std::unique_ptr<PortDriverSystem> WindowsPortDriverSystem();

}  // namespace vaxo
