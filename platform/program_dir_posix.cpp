// A portable copy or the user's data folder, by the XDG rules.
#include "platform/program_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace vaxo {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 12> kSystemFolders = {
    "/usr",    "/bin", "/sbin", "/lib", "/lib32", "/lib64",
    "/libx32", "/opt", "/etc",  "/var", "/boot",  "/snap"};

std::string HomeFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/" + fallback;
}

bool IsSystemFolder(const fs::path& folder) {
    const std::string text = folder.lexically_normal().string();
    if (text == "/") {
        return true;
    }
    for (std::string_view system : kSystemFolders) {
        if (text == system || text.rfind(std::string(system) + "/", 0) == 0) {
            return true;
        }
    }
    return false;
}

bool IsPortableCopy(const fs::path& folder) {
    struct stat info {};
    std::error_code error;
    return ::stat(folder.c_str(), &info) == 0 && info.st_uid == ::getuid() &&
           ::access(folder.c_str(), W_OK) == 0 && !IsSystemFolder(folder) &&
           !fs::is_directory(folder / ".." / "share" / "vaxow", error);
}

}  // namespace

std::string UserDataHome() {
    return HomeFolder("XDG_DATA_HOME", ".local/share");
}

std::string UserConfigHome() {
    return HomeFolder("XDG_CONFIG_HOME", ".config");
}

std::string ProgramFileDir() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return WithSeparator(error ? fs::current_path() : program.parent_path());
}

std::string ProgramDirFor(const std::string& programFileDir) {
    if (IsPortableCopy(programFileDir)) {
        return WithSeparator(programFileDir);
    }
    const fs::path user = fs::path(UserDataHome()) / "vaxow";
    std::error_code error;
    fs::create_directories(user, error);
    return WithSeparator(user);
}

std::string DetermineProgramDir() {
    return ProgramDirFor(ProgramFileDir());
}

}  // namespace vaxo
