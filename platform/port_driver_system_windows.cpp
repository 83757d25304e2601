#include <windows.h>

#include "platform/ddkint.h"
#include "platform/port_driver_system.h"

namespace vaxo {
namespace {

constexpr std::size_t kPathLimit = 255;

class WindowsDriverSystem : public PortDriverSystem {
  public:
    bool IsNtFamily() override { return (::GetVersion() & 0x80000000u) == 0; }

    // The handle stays open until the process ends.
    std::uint32_t OpenDevice() override {
        device_ = ::CreateFileA("\\\\.\\ZLPORTIO", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return ::GetLastError();
    }

    void Request(std::uint32_t code, std::span<const std::uint8_t> input,
                 std::span<std::uint8_t> output) override {
        DWORD returned = 0;
        ::DeviceIoControl(device_, code, const_cast<std::uint8_t*>(input.data()),
                          static_cast<DWORD>(input.size()), output.data(),
                          static_cast<DWORD>(output.size()), &returned, nullptr);
    }

    std::string DriverFilePath() override {
        char program[MAX_PATH + 1] = {};
        const std::string path(program, ::GetModuleFileNameA(nullptr, program, MAX_PATH));
        const std::size_t separator = path.find_last_of("\\/");
        const std::string folder = separator == std::string::npos ? "" : path.substr(0, separator);
        return (folder + "\\zlportio.sys").substr(0, kPathLimit);
    }

    std::uint32_t ServiceInstall(const std::string& path, const std::string& name) override {
        return vaxo::ServiceInstall(path, name);
    }
    std::uint32_t ServiceStart(const std::string& name) override {
        return vaxo::ServiceStart(name);
    }
    std::uint32_t ServiceStop(const std::string& name) override { return vaxo::ServiceStop(name); }
    std::uint32_t ServiceRemove(const std::string& name) override {
        return vaxo::ServiceRemove(name);
    }

    std::uint32_t DirectIn(std::uint16_t port, std::uint32_t width) override {
        switch (width) {
            case 0: {
                std::uint8_t value;
                asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port));
                return value;
            }
            case 1: {
                std::uint16_t value;
                asm volatile("inw %1, %0" : "=a"(value) : "Nd"(port));
                return value;
            }
            default: {
                std::uint32_t value;
                asm volatile("inl %1, %0" : "=a"(value) : "Nd"(port));
                return value;
            }
        }
    }

    void DirectOut(std::uint16_t port, std::uint32_t width, std::uint32_t value) override {
        switch (width) {
            case 0:
                asm volatile("outb %0, %1" : : "a"(static_cast<std::uint8_t>(value)), "Nd"(port));
                break;
            case 1:
                asm volatile("outw %0, %1" : : "a"(static_cast<std::uint16_t>(value)), "Nd"(port));
                break;
            default:
                asm volatile("outl %0, %1" : : "a"(value), "Nd"(port));
                break;
        }
    }

  private:
    HANDLE device_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<PortDriverSystem> WindowsPortDriverSystem() {
    return std::make_unique<WindowsDriverSystem>();
}

}  // namespace vaxo
