#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace vaxo::test {

// A fresh folder that is removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        std::random_device random;
        std::error_code error;
        do {
            path_ =
                std::filesystem::temp_directory_path() / ("vaxo-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_, error));
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vaxo-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
#endif
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        // The program makes its folder the working directory; leave it first.
        const auto cwd = std::filesystem::current_path(ignored).string();
        if (cwd.rfind(path_.string(), 0) == 0) {
            std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const {
        return path_;
    }
    std::string operator/(std::string_view name) const {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vaxo::test
