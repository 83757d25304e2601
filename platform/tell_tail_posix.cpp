// The hand-over block and its lock as files in the user's runtime folder.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/tell_tail.h"

namespace vaxo {
namespace {

// Why a folder may not hold the block, or nothing when it may: it must be a
// real folder (no link) of this user, closed to everybody else.
std::string Unsafe(const std::string& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return "it does not exist";
    }
    if (!S_ISDIR(info.st_mode)) {
        return S_ISLNK(info.st_mode) ? "it is a symbolic link" : "it is not a folder";
    }
    if (info.st_uid != ::getuid()) {
        return "it belongs to another user";
    }
    if ((info.st_mode & 0077) != 0) {
        return "other users may use it";
    }
    return "";
}

// $XDG_STATE_HOME/vaxow, by default ~/.local/state/vaxow; empty without a home.
std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
        return std::string(state) + "/vaxow";
    }
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.local/state/vaxow" : "";
}

// Every missing folder of the path, closed to others.
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        ::mkdir(part.c_str(), 0700);
        if (slash == std::string::npos) {
            return;
        }
    }
}

struct Folders {
    std::vector<std::string> usable;
    std::vector<std::string> refused;
};

Folders RuntimeFolders() {
    Folders folders;
    auto consider = [&](const std::string& folder, bool reportRefusal) {
        if (std::find(folders.usable.begin(), folders.usable.end(), folder + "/") !=
            folders.usable.end()) {
            return;
        }
        const std::string why = Unsafe(folder);
        if (why.empty()) {
            folders.usable.push_back(folder + "/");
        } else if (reportRefusal) {
            folders.refused.push_back("The runtime folder " + folder + " is not used: " + why);
        }
    };
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        consider(runtime, true);
    }
    const std::string uid = std::to_string(::getuid());
    consider("/run/user/" + uid, false);
    // Without a runtime folder (cron, su): one in the user's own state
    // folder, which no other user can make first; /tmp only without a home.
    if (const std::string state = StateFolder(); !state.empty()) {
        MakeFolders(state);
        consider(state, true);
    }
    const std::string fallback = "/tmp/vaxow-" + uid;
    ::mkdir(fallback.c_str(), 0700);
    consider(fallback, true);
    return folders;
}

// Whether a first instance holds the block in this folder now.
bool FirstInstanceLivesIn(const std::string& folder, const std::string& blockName) {
    const int fd = ::open((folder + blockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace

struct TTellTail::SystemObjects {
    std::string folder;
    int blockFd = -1;
    int lockFd = -1;
    int instanceFd = -1;
};

TTellTail::TTellTail()
    : ApplicationWindowId(static_cast<std::uint32_t>(::getpid())),
      system_(std::make_unique<SystemObjects>()) {}

TTellTail::~TTellTail() {
    CloseAll();
}

void TTellTail::CloseAll() {
    for (int* fd : {&system_->instanceFd, &system_->lockFd, &system_->blockFd}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

std::vector<std::string> TTellTail::UsableRuntimeFolders() {
    return RuntimeFolders().usable;
}

std::string TTellTail::RuntimeFolder() {
    const Folders folders = RuntimeFolders();
    return folders.usable.empty() ? "" : folders.usable.front();
}

std::string TTellTail::BlockPath() const {
    return system_->folder.empty() ? "" : system_->folder + MapFileName;
}

std::string TTellTail::SystemFailureText() const {
    const std::string& folder = system_->folder;
    const std::string where = folder.empty() ? "no safe runtime folder" : folder;
    return "the hand-over block in " + where +
           " cannot be used: " + std::strerror(static_cast<int>(lastError_));
}

// A later start hands over wherever a first instance lives; a first
// instance registers in the first usable folder.
bool TTellTail::OpenSharedBlock() {
    const Folders folders = RuntimeFolders();
    warnings_ = folders.refused;
    system_->folder.clear();
    if (folders.usable.empty()) {
        return Fail(EACCES, OnMapFileFailure);
    }
    std::string folder = folders.usable.front();
    for (const std::string& candidate : folders.usable) {
        if (FirstInstanceLivesIn(candidate, MapFileName)) {
            folder = candidate;
            break;
        }
    }
    system_->folder = folder;
    blockSize_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    system_->blockFd =
        ::open((folder + MapFileName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (system_->blockFd < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMapFileFailure);
    }
    system_->lockFd =
        ::open((folder + MutexName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (system_->lockFd < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMutexFailure);
    }
    return true;
}

// Under the lock, so that of several simultaneous starts exactly one wins;
// the first instance holds this lock for its whole life.
bool TTellTail::BecomesFirstInstance() {
    return ::flock(system_->blockFd, LOCK_EX | LOCK_NB) == 0;
}

bool TTellTail::WaitLock() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(MutexTimeOut);
    for (;;) {
        if (::flock(system_->lockFd, LOCK_EX | LOCK_NB) == 0) {
            lastError_ = 0;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            lastError_ = static_cast<std::uint32_t>(errno);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            lastError_ = kLockTimedOut;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A name in the abstract socket namespace: no folder holds it, it cannot be
// deleted or made again, and it goes with the process that bound it.
// VAXO_INSTANCE names one more instance of the same user on purpose (a
// second encoder); the tests give each their own.
bool TTellTail::HoldInstanceLock() {
    const char* scope = std::getenv("VAXO_INSTANCE");
    const std::string name = std::string(1, '\0') + "vaxow-instance-" + std::to_string(::getuid()) +
                             "-" + (scope ? scope : "");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, name.data(), length);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return true;  // no sockets here: the folders' lock has to do
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address),
               static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length)) != 0) {
        const bool held = errno == EADDRINUSE;
        ::close(fd);
        return !held;
    }
    system_->instanceFd = fd;
    return true;
}

void TTellTail::ReleaseLock() {
    ::flock(system_->lockFd, LOCK_UN);
}

void TTellTail::RestoreFirstInstance() {}

void TTellTail::ReadAt(std::size_t offset, void* bytes, std::size_t count) const {
    const ssize_t got = ::pread(system_->blockFd, bytes, count, static_cast<off_t>(offset));
    const std::size_t kept = got > 0 ? static_cast<std::size_t>(got) : 0;
    std::memset(static_cast<char*>(bytes) + kept, 0, count - kept);
}

bool TTellTail::Write(std::size_t offset, const void* bytes, std::size_t count) {
    if (::pwrite(system_->blockFd, bytes, count, static_cast<off_t>(offset)) ==
        static_cast<ssize_t>(count)) {
        return true;
    }
    lastError_ = static_cast<std::uint32_t>(errno);
    return false;
}

bool TTellTail::ResetBlock(const std::vector<unsigned char>& block) {
    if (::ftruncate(system_->blockFd, 0) != 0) {
        lastError_ = static_cast<std::uint32_t>(errno);
        return false;
    }
    return Write(0, block.data(), block.size());
}

}  // namespace vaxo
