#include <filesystem>
#include <system_error>

#include "base/file_io.h"

#ifdef _WIN32
#include <io.h>
#define VAXO_ACCESS _access
constexpr int kWritable = 2;
#else
#include <unistd.h>
#define VAXO_ACCESS ::access
constexpr int kWritable = W_OK;
#endif

namespace vaxo {

std::optional<std::string> WhyNotWritable(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file(path);
    if (std::filesystem::exists(file, error)) {
        if (VAXO_ACCESS(path.c_str(), kWritable) != 0) {
            return path + " may not be written by this user";
        }
        return std::nullopt;
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    if (VAXO_ACCESS(folder.string().c_str(), kWritable) != 0) {
        return "the folder " + folder.string() + " may not be written by this user";
    }
    return std::nullopt;
}

std::uint64_t ContentFingerprint(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace vaxo
