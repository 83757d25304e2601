#include <ctime>
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

std::string KeepAside(const std::string& path, std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    const std::string base = path + ".kept-" + stamp;
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string aside = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, error))) {
            continue;
        }
        std::filesystem::rename(path, aside, error);
        if (error) {
            throw FileError(FileError::Kind::CannotCreate,
                            "Cannot rename file " + path + ": " + error.message());
        }
        return aside;
    }
    throw FileError(FileError::Kind::CannotCreate, "Cannot rename file " + path);
}

std::uint64_t ContentFingerprint(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace vaxo
