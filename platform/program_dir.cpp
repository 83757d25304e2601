#include "platform/program_dir.h"

#include <filesystem>

namespace vaxo {

namespace fs = std::filesystem;

std::string WithSeparator(const fs::path& folder) {
    std::string text = folder.string();
    if (text.empty() || (text.back() != '/' && text.back() != fs::path::preferred_separator)) {
        text += static_cast<char>(fs::path::preferred_separator);
    }
    return text;
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

std::string ManualPath() {
    return ManualPathFor(ProgramFileDir());
}

std::string ManualPathFor(const std::string& programFileDir) {
    const fs::path own = programFileDir;
    const fs::path installed =
        (own / ".." / "share" / "doc" / "vaxow" / "manual.html").lexically_normal();
    std::error_code error;
    if (fs::exists(installed, error) || !fs::exists(own / "manual.html", error)) {
        return installed.string();
    }
    return (own / "manual.html").string();
}

}  // namespace vaxo
