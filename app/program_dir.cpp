#include "app/program_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace vaxo {
namespace {

namespace fs = std::filesystem;

std::string WithSeparator(const fs::path& folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

fs::path UserDataDir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        return fs::path(xdg) / "vaxow";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "vaxow";
}

}  // namespace

std::string ProgramFileDir() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return WithSeparator(error ? fs::current_path() : program.parent_path());
}

std::string DetermineProgramDir() {
    const std::string own = ProgramFileDir();
    if (::access(own.c_str(), W_OK) == 0) {
        return own;
    }
    const fs::path user = UserDataDir();
    std::error_code error;
    fs::create_directories(user, error);
    return WithSeparator(user);
}

std::vector<std::string> ResourceDirs() {
    const fs::path own = ProgramFileDir();
    return {own.string(), WithSeparator((own / ".." / "share" / "vaxow").lexically_normal())};
}

std::string ResourcePath(const std::string& fileName) {
    const auto dirs = ResourceDirs();
    for (const auto& dir : dirs) {
        std::error_code error;
        if (fs::exists(dir + fileName, error)) {
            return dir + fileName;
        }
    }
    return dirs.front() + fileName;
}

}  // namespace vaxo
