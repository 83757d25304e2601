#pragma once

#include <cstdint>
#include <string>

namespace vaxo {

// Service-control wrappers for installing and starting a kernel driver.
// Each returns 0 on success, otherwise the system's error code of the first
// call that failed, and closes every handle it opened.
std::uint32_t ServiceInstall(const std::string& driverPath, const std::string& name);
std::uint32_t ServiceStart(const std::string& name);
std::uint32_t ServiceStop(const std::string& name);
std::uint32_t ServiceRemove(const std::string& name);

}  // namespace vaxo
