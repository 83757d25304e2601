#include "platform/ddkint.h"

#include <windows.h>

namespace vaxo {
namespace {

constexpr DWORD kManagerAllAccess = 0xF003F;  // SC_MANAGER_ALL_ACCESS
constexpr DWORD kManagerConnect = 0x0001;     // SC_MANAGER_CONNECT
constexpr DWORD kServiceAllAccess = 0xF01FF;  // SERVICE_ALL_ACCESS
constexpr DWORD kServiceStartRight = 0x0010;  // SERVICE_START
constexpr DWORD kServiceStopRight = 0x0020;   // SERVICE_STOP
constexpr DWORD kKernelDriver = 1;            // SERVICE_KERNEL_DRIVER
constexpr DWORD kDemandStart = 3;             // SERVICE_DEMAND_START
constexpr DWORD kErrorNormal = 1;             // SERVICE_ERROR_NORMAL
constexpr DWORD kStopControl = 1;             // SERVICE_CONTROL_STOP

class ServiceHandle {
  public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (handle_) {
            ::CloseServiceHandle(handle_);
        }
    }
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    SC_HANDLE handle_;
};

// Runs `action` on the named service opened with `rights` through a manager
// opened with `managerRights`.
template <typename Action>
std::uint32_t OnService(const std::string& name, DWORD managerRights, DWORD rights, Action action) {
    const ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, managerRights));
    if (!manager) {
        return ::GetLastError();
    }
    const ServiceHandle service(::OpenServiceA(manager.get(), name.c_str(), rights));
    if (!service) {
        return ::GetLastError();
    }
    return action(service.get()) ? 0 : ::GetLastError();
}

}  // namespace

std::uint32_t ServiceInstall(const std::string& driverPath, const std::string& name) {
    const ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, kManagerAllAccess));
    if (!manager) {
        return ::GetLastError();
    }
    const ServiceHandle service(::CreateServiceA(
        manager.get(), name.c_str(), name.c_str(), kServiceAllAccess, kKernelDriver, kDemandStart,
        kErrorNormal, driverPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    return service ? 0 : ::GetLastError();
}

std::uint32_t ServiceStart(const std::string& name) {
    return OnService(name, kManagerConnect, kServiceStartRight,
                     [](SC_HANDLE service) { return ::StartServiceA(service, 0, nullptr); });
}

std::uint32_t ServiceStop(const std::string& name) {
    return OnService(name, kManagerConnect, kServiceStopRight, [](SC_HANDLE service) {
        SERVICE_STATUS status{};
        return ::ControlService(service, kStopControl, &status);
    });
}

std::uint32_t ServiceRemove(const std::string& name) {
    return OnService(name, kManagerAllAccess, kServiceAllAccess,
                     [](SC_HANDLE service) { return ::DeleteService(service); });
}

}  // namespace vaxo
