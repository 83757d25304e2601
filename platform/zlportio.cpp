#include "platform/zlportio.h"

#include <windows.h>

#include <string>

#include "platform/ddkint.h"
#include "platform/zlportio_requests.h"

namespace vaxo {
namespace {

constexpr const char* kDriverDevice = "\\\\.\\ZLPORTIO";
constexpr const char* kDriverName = "zlportio";
constexpr std::size_t kPathLimit = 255;

bool IsNtFamily() {
    return (::GetVersion() & 0x80000000u) == 0;
}

std::uint32_t DirectIn(std::uint16_t port, std::uint32_t width) {
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

void DirectOut(std::uint16_t port, std::uint32_t width, std::uint32_t value) {
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

// The program's own folder without a trailing separator, then the driver's file.
std::string DriverFilePath() {
    char program[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string folder(program, length);
    folder = folder.substr(
        0, folder.find_last_of("\\/") == std::string::npos ? 0 : folder.find_last_of("\\/"));
    return (folder + "\\" + kDriverName + ".sys").substr(0, kPathLimit);
}

}  // namespace

ZlPortIo::ZlPortIo() : ntFamily_(IsNtFamily()), driver_(INVALID_HANDLE_VALUE) {}

void ZlPortIo::PortLayerStartup() {
    if (!ntFamily_) {
        available_ = direct_ = true;
        return;
    }
    if (OpenPortDriver()) {
        available_ = true;
    } else if (InstallPortDriver()) {
        available_ = OpenPortDriver();
    }
}

void ZlPortIo::PortLayerShutdown() {
    if (available_) {
        RemovePortDriver();
    }
}

bool ZlPortIo::OpenPortDriver() {
    if (!ntFamily_) {
        return true;
    }
    driver_ = ::CreateFileA(kDriverDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD code = ::GetLastError();
    return code == ERROR_SUCCESS || code == ERROR_ALREADY_EXISTS;
}

bool ZlPortIo::InstallPortDriver() {
    if (!ntFamily_) {
        return true;
    }
    RemovePortDriver();  // a service of the same name left from an earlier run
    static_cast<void>(ServiceInstall(DriverFilePath(), kDriverName));
    return ServiceStart(kDriverName) == 0;
}

void ZlPortIo::RemovePortDriver() {
    if (ntFamily_) {
        static_cast<void>(ServiceStop(kDriverName));
        static_cast<void>(ServiceRemove(kDriverName));
    }
}

std::uint32_t ZlPortIo::PortRead(std::uint32_t port, std::uint32_t width) {
    if (direct_) {
        return DirectIn(static_cast<std::uint16_t>(port), width);
    }
    if (!available_) {
        return 0;
    }
    const auto request = EncodePortIoRequest({port, width, 0});
    std::array<std::uint8_t, 4> reply{};
    DWORD returned = 0;
    ::DeviceIoControl(driver_, kReadPortRequest, const_cast<std::uint8_t*>(request.data()),
                      request.size(), reply.data(), reply.size(), &returned, nullptr);
    return DecodePortReadReply(reply);
}

void ZlPortIo::PortWrite(std::uint32_t port, std::uint32_t width, std::uint32_t value) {
    if (direct_) {
        DirectOut(static_cast<std::uint16_t>(port), width, value);
    } else if (available_) {
        const auto request = EncodePortIoRequest({port, width, value});
        DWORD returned = 0;
        ::DeviceIoControl(driver_, kWritePortRequest, const_cast<std::uint8_t*>(request.data()),
                          request.size(), nullptr, 0, &returned, nullptr);
    }
}

void ZlPortIo::SetDirectAccess(bool on) {
    if (!ntFamily_ || !available_) {
        return;
    }
    DWORD returned = 0;
    ::DeviceIoControl(driver_, on ? kGrantDirectAccessRequest : kWithdrawDirectAccessRequest,
                      nullptr, 0, nullptr, 0, &returned, nullptr);
    direct_ = on;
}

}  // namespace vaxo
