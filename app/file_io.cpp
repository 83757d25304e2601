#include "app/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

namespace vaxo {
namespace {

namespace fs = std::filesystem;

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A save through a symbolic link replaces the file it points to, not the link.
fs::path ResolveTarget(const std::string& path) {
    std::error_code error;
    if (fs::is_symlink(path, error)) {
        const fs::path resolved = fs::weakly_canonical(path, error);
        if (!error) {
            return resolved;
        }
    }
    return path;
}

std::string TemporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    const fs::path name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid()) +
                          "-" + std::to_string(counter++);
    return (target.parent_path() / name).string();
}

void SyncFolder(const fs::path& target) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::optional<std::string> ReadFileIfExists(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        return std::nullopt;
    }
    // Regular files only: a pipe or a device could block or never end.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw FileError("Cannot open file " + path);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw FileError("Stream read error");
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const fs::path target = ResolveTarget(path);
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
        throw FileError("Cannot create file " + path);
    }
    const std::string temporary = TemporaryName(target);
    Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        throw FileError("Cannot create file " + path);
    }
    if (replacing) {
        ::fchmod(file.get(), old.st_mode & 07777);
    }
    const bool written = WriteAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    if (!file.Close() || !written) {
        ::unlink(temporary.c_str());
        throw FileError("Stream write error");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw FileError("Cannot create file " + path);
    }
    SyncFolder(target);
}

}  // namespace vaxo
