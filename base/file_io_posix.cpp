// Reading and saving with POSIX calls.
#include "base/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <random>

#include "base/temporary_names.h"

namespace vaxo {
namespace {

namespace fs = std::filesystem;

constexpr int kLinkHops = 40;

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
    [[nodiscard]] bool Close() {
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

// The path a save writes: symbolic links followed to their end, also to a
// target that does not exist yet.
fs::path FollowLinks(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < kLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) {
            return current;
        }
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            return current;
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

// A new file often has the old one's owner and group already: then nothing
// is changed (a service may not call chown at all).
bool SameOwner(int fd, const struct stat& old) {
    struct stat created {};
    return ::fstat(fd, &created) == 0 && created.st_uid == old.st_uid &&
           created.st_gid == old.st_gid;
}

fs::path FolderOf(const fs::path& file) {
    return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

// A save holds a lock on its temporary file; one that nobody holds is left
// from a save that was killed. Whatever else bears such a name (a pipe, a
// link) is no save's and goes without being opened: opening a pipe waits.
void RemoveLeftovers(const fs::path& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0 || !name.ends_with(kTemporarySuffix)) {
            continue;
        }
        const std::string path = (folder / name).string();
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            ::unlink(path.c_str());
            continue;
        }
        Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0 && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(dir);
}

// A new temporary file in the target's folder, locked, or -1.
int CreateTemporary(const fs::path& target, std::string& name) {
    const std::string prefix = TemporaryPrefix(target.filename().string());
    RemoveLeftovers(FolderOf(target), prefix);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char tail[16];
        std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(random()));
        name = (FolderOf(target) / (prefix + tail + kTemporarySuffix)).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

void SyncFolder(const fs::path& target) {
    const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

[[noreturn]] void CannotCreate(const std::string& path) {
    throw FileError(FileError::Kind::CannotCreate, "Cannot create file " + path);
}

[[noreturn]] void WriteFailed() {
    throw FileError(FileError::Kind::WriteFailed, "Stream write error");
}

// A new file gets the mode an ordinary creation would give it.
mode_t CurrentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

enum class Replaced { Done, NotPossible };

// Temporary file, owner, group and mode of the old file, flush, rename.
Replaced ReplaceAtomically(const fs::path& target, const struct stat* old, std::string_view bytes,
                           const std::string& path) {
    std::string temporary;
    Descriptor file(CreateTemporary(target, temporary));
    if (file.get() < 0) {
        return Replaced::NotPossible;
    }
    const mode_t mode = old ? old->st_mode & 07777 : 0666 & ~CurrentUmask();
    const bool kept =
        !old || SameOwner(file.get(), *old) || ::fchown(file.get(), old->st_uid, old->st_gid) == 0;
    if (!kept || ::fchmod(file.get(), mode) != 0) {
        ::unlink(temporary.c_str());
        return Replaced::NotPossible;
    }
    const bool written = WriteAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    if (!file.Close() || !written) {
        ::unlink(temporary.c_str());
        WriteFailed();
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        CannotCreate(path);
    }
    SyncFolder(target);
    return Replaced::Done;
}

void WriteInPlace(const fs::path& target, std::string_view bytes, const std::string& path) {
    Descriptor file(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        CannotCreate(path);
    }
    const bool written = WriteAll(file.get(), bytes) &&
                         ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) == 0 &&
                         ::fsync(file.get()) == 0;
    if (!file.Close() || !written) {
        WriteFailed();
    }
}

}  // namespace

std::optional<std::string> ReadFileIfExists(const std::string& path, std::size_t limit,
                                            FileLinks links) {
    const bool confined = links == FileLinks::Confined;
    struct stat info {};
    const int found = confined ? ::lstat(path.c_str(), &info) : ::stat(path.c_str(), &info);
    if (found != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        return std::nullopt;
    }
    // Regular files only: a pipe or a device could block or never end.
    Descriptor file(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (confined ? O_NOFOLLOW : 0)));
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (confined && info.st_nlink != 1)) {
        throw FileError(FileError::Kind::CannotOpen, "Cannot open file " + path);
    }
    if (static_cast<std::size_t>(info.st_size) > limit) {
        throw FileError(FileError::Kind::TooLarge, "Cannot open file " + path);
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw FileError(FileError::Kind::ReadFailed, "Stream read error");
        }
        if (got == 0) {
            return text;
        }
        if (text.size() + static_cast<std::size_t>(got) > limit) {
            throw FileError(FileError::Kind::TooLarge, "Cannot open file " + path);  // it grew
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void SaveFile(const std::string& path, std::string_view bytes, FileLinks links) {
    const bool confined = links == FileLinks::Confined;
    const fs::path target = confined ? fs::path(path) : FollowLinks(path);
    struct stat old {};
    if ((confined ? ::lstat(target.c_str(), &old) : ::stat(target.c_str(), &old)) != 0) {
        if (errno != ENOENT || ReplaceAtomically(target, nullptr, bytes, path) != Replaced::Done) {
            CannotCreate(path);
        }
        return;
    }
    if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0 ||
        (confined && old.st_nlink != 1)) {
        CannotCreate(path);
    }
    const bool folderWritable = ::access(FolderOf(target).c_str(), W_OK | X_OK) == 0;
    if (old.st_nlink == 1 && folderWritable &&
        ReplaceAtomically(target, &old, bytes, path) == Replaced::Done) {
        return;
    }
    // In place the file is opened without following a link: one put there
    // since the check is refused, not written through.
    WriteInPlace(target, bytes, path);
}

}  // namespace vaxo
