#include "platform/zlportio.h"

#include "platform/zlportio_requests.h"

namespace vaxo {
namespace {

constexpr const char* kDriverName = "zlportio";
constexpr std::uint32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS

}  // namespace

ZlPortIo::ZlPortIo(PortDriverSystem& system) : system_(system), ntFamily_(system.IsNtFamily()) {}

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

// Also when another run installed the driver: the service is stopped and
// deleted at the end of every run that reached it.
void ZlPortIo::PortLayerShutdown() {
    if (available_) {
        RemovePortDriver();
    }
}

bool ZlPortIo::OpenPortDriver() {
    if (!ntFamily_) {
        return true;
    }
    const std::uint32_t code = system_.OpenDevice();
    return code == 0 || code == kAlreadyExists;
}

bool ZlPortIo::InstallPortDriver() {
    if (!ntFamily_) {
        return true;
    }
    RemovePortDriver();  // a service of the same name left from an earlier run
    static_cast<void>(system_.ServiceInstall(system_.DriverFilePath(), kDriverName));
    return system_.ServiceStart(kDriverName) == 0;
}

void ZlPortIo::RemovePortDriver() {
    if (ntFamily_) {
        static_cast<void>(system_.ServiceStop(kDriverName));
        static_cast<void>(system_.ServiceRemove(kDriverName));
    }
}

std::uint32_t ZlPortIo::PortRead(std::uint32_t port, std::uint32_t width) {
    if (direct_) {
        return system_.DirectIn(static_cast<std::uint16_t>(port), width);
    }
    if (!available_) {
        return 0;
    }
    const auto request = EncodePortIoRequest({port, width, 0});
    std::array<std::uint8_t, 4> reply{};
    system_.Request(kReadPortRequest, request, reply);
    return DecodePortReadReply(reply);
}

void ZlPortIo::PortWrite(std::uint32_t port, std::uint32_t width, std::uint32_t value) {
    if (direct_) {
        system_.DirectOut(static_cast<std::uint16_t>(port), width, value);
    } else if (available_) {
        system_.Request(kWritePortRequest, EncodePortIoRequest({port, width, value}), {});
    }
}

void ZlPortIo::SetDirectAccess(bool on) {
    if (!ntFamily_ || !available_) {
        return;
    }
    system_.Request(on ? kGrantDirectAccessRequest : kWithdrawDirectAccessRequest, {}, {});
    direct_ = on;
}

}  // namespace vaxo
