#include <windows.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "platform/file_type_registration.h"

namespace vaxo {
namespace {

struct RegistryEntry {
    std::string key;    // below HKEY_LOCAL_MACHINE
    std::string value;  // the key's default value
};

std::vector<RegistryEntry> RegistryEntries(const std::string& programPath) {
    return {
        {"Software\\CLASSES\\.rds", "rds_auto_file"},
        {"Software\\CLASSES\\rds_auto_file", "Radio Data System file"},
        {"Software\\CLASSES\\rds_auto_file\\DefaultIcon", programPath + ",0"},
        {"Software\\CLASSES\\rds_auto_file\\shell\\open\\command",
         "\"" + programPath + "\" \"%1\""},
    };
}

}  // namespace

void RegisterStationFileType(const FileTypeRegistration& registration) {
    for (const RegistryEntry& entry : RegistryEntries(registration.programPath)) {
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, entry.key.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr) != ERROR_SUCCESS) {
            continue;
        }
        const LONG written = ::RegSetValueExA(key, nullptr, 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(entry.value.c_str()),
                                              static_cast<DWORD>(entry.value.size() + 1));
        ::RegCloseKey(key);
        if (written != ERROR_SUCCESS) {
            throw FileError("Failed to set data for ''");
        }
    }
}

}  // namespace vaxo
