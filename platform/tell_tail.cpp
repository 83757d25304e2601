#include "platform/tell_tail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vaxo {
namespace {

constexpr std::size_t kIdOffset = 0;
constexpr std::size_t kPendingOffset = 4;
constexpr std::size_t kCommandLineOffset = 8;
constexpr std::size_t kDirectoryOffset = 520;
constexpr std::size_t kExtraOffset = 1032;
constexpr std::uint32_t kPending = 0xFFFFFFFF;

void Put32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t Get32(const unsigned char* at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

std::string CurrentDirectory() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "";
    }
    return buffer.c_str();
}

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

TTellTail::TTellTail() : ApplicationWindowId(static_cast<std::uint32_t>(::getpid())) {}

TTellTail::~TTellTail() {
    CloseAll();
}

void TTellTail::CloseAll() {
    for (int* fd : {&lockFd_, &blockFd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

std::string TTellTail::BuildCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const auto& argument : arguments) {
        line += argument.find(' ') == std::string::npos ? argument : "\"" + argument + "\"";
        line += ' ';
    }
    if (!line.empty()) {
        line.pop_back();
    }
    return line;
}

std::string TTellTail::RuntimeFolder() {
    const Folders folders = RuntimeFolders();
    return folders.usable.empty() ? "" : folders.usable.front();
}

std::string TTellTail::FailureText() const {
    switch (lastError_) {
        case 0:
            return "";
        case kLockTimedOut:
            return "the running copy did not free the hand-over lock within " +
                   std::to_string(MutexTimeOut) + " ms";
        case kNameEmpty:
            return "the hand-over block or its lock has no name";
        case kDisabled:
            return "the single-instance check is disabled";
        default:
            break;
    }
    const std::string where = folder_.empty() ? "no safe runtime folder" : folder_;
    return "the hand-over block in " + where +
           " cannot be used: " + std::strerror(static_cast<int>(lastError_));
}

std::uint32_t TTellTail::MaxSharedDataSize() const {
    return blockSize_ > kExtraOffset ? static_cast<std::uint32_t>(blockSize_ - kExtraOffset) : 0;
}

bool TTellTail::Fail(std::uint32_t code, const TNotifyEvent& event) {
    lastError_ = code;
    CloseAll();
    if (event) {
        event(*this);
    }
    return false;
}

bool TTellTail::OpenSharedBlock(const std::string& folder) {
    folder_ = folder;
    blockSize_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    blockFd_ =
        ::open((folder + MapFileName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (blockFd_ < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMapFileFailure);
    }
    lockFd_ = ::open((folder + MutexName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMutexFailure);
    }
    return true;
}

bool TTellTail::WaitLock() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(MutexTimeOut);
    for (;;) {
        if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
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

void TTellTail::ReleaseLock() {
    ::flock(lockFd_, LOCK_UN);
}

// A block that another process has cut short reads as zeros where it ends.
std::uint32_t TTellTail::Read32(std::size_t offset) const {
    unsigned char bytes[4] = {};
    if (::pread(blockFd_, bytes, sizeof bytes, static_cast<off_t>(offset)) != sizeof bytes) {
        return 0;
    }
    return Get32(bytes);
}

// At most 511 characters, never trusting a terminator.
std::string TTellTail::ReadText(std::size_t offset) const {
    char text[kTextLimit + 1] = {};
    const ssize_t got = ::pread(blockFd_, text, kTextLimit, static_cast<off_t>(offset));
    return std::string(text, ::strnlen(text, got > 0 ? static_cast<std::size_t>(got) : 0));
}

bool TTellTail::Write(std::size_t offset, const void* bytes, std::size_t count) {
    return ::pwrite(blockFd_, bytes, count, static_cast<off_t>(offset)) ==
           static_cast<ssize_t>(count);
}

bool TTellTail::Activate() {
    firstInstance_ = false;
    handedOver_ = false;
    lastError_ = 0;
    if (!Enabled) {
        lastError_ = kDisabled;
        return false;
    }
    if (MapFileName.empty()) {
        return Fail(kNameEmpty, OnMapFileFailure);
    }
    if (MutexName.empty()) {
        return Fail(kNameEmpty, OnMutexFailure);
    }
    const Folders folders = RuntimeFolders();
    warnings_ = folders.refused;
    if (folders.usable.empty()) {
        folder_.clear();
        return Fail(EACCES, OnMapFileFailure);
    }
    std::string folder = folders.usable.front();
    for (const std::string& candidate : folders.usable) {
        if (FirstInstanceLivesIn(candidate, MapFileName)) {
            folder = candidate;
            break;
        }
    }
    if (!OpenSharedBlock(folder) || !WaitLock()) {
        return false;
    }
    // Under the lock, so that of several simultaneous starts exactly one wins.
    firstInstance_ = ::flock(blockFd_, LOCK_EX | LOCK_NB) == 0;
    if (!firstInstance_) {
        return HandOver();
    }
    std::vector<unsigned char> block(blockSize_, 0);
    Put32(block.data() + kIdOffset, ApplicationWindowId);
    const bool written = ::ftruncate(blockFd_, 0) == 0 && Write(0, block.data(), block.size());
    const auto code = static_cast<std::uint32_t>(errno);
    ReleaseLock();
    if (!written) {
        firstInstance_ = false;
        return Fail(code, OnMapFileFailure);
    }
    return true;
}

bool TTellTail::HandOver() {
    std::vector<unsigned char> fields(kExtraOffset - kPendingOffset, 0);
    Put32(fields.data(), kPending);
    const std::string commandLine = BuildCommandLine(Arguments).substr(0, kTextLimit);
    const std::string directory = CurrentDirectory().substr(0, kTextLimit);
    std::memcpy(fields.data() + kCommandLineOffset - kPendingOffset, commandLine.data(),
                commandLine.size());
    std::memcpy(fields.data() + kDirectoryOffset - kPendingOffset, directory.data(),
                directory.size());
    bool written = Write(kPendingOffset, fields.data(), fields.size());
    if (written && OnWriteSharedData) {
        void* data = nullptr;
        std::uint32_t size = 0;
        OnWriteSharedData(*this, data, size, MaxSharedDataSize());
        if (data) {
            written = Write(kExtraOffset, data, std::min(size, MaxSharedDataSize()));
        }
    }
    const auto code = static_cast<std::uint32_t>(errno);
    firstInstanceId_ = Read32(kIdOffset);
    ReleaseLock();
    if (!written) {
        return Fail(code, OnMapFileFailure);
    }
    handedOver_ = true;
    if (OnTerminate) {
        OnTerminate();
    }
    return false;
}

bool TTellTail::CheckForData() {
    if (!Enabled) {
        lastError_ = kDisabled;
        return false;
    }
    if (!firstInstance_ || !WaitLock()) {
        return false;
    }
    if (Read32(kPendingOffset) == 0) {
        ReleaseLock();
        return false;
    }
    receivedCommandLine_ = ReadText(kCommandLineOffset);
    receivedDirectory_ = ReadText(kDirectoryOffset);
    if (OnReadSharedData) {
        void* data = nullptr;
        std::uint32_t size = 0;
        OnReadSharedData(*this, data, size, MaxSharedDataSize());
        if (data) {
            std::vector<char> extra(std::min(size, MaxSharedDataSize()), 0);
            if (::pread(blockFd_, extra.data(), extra.size(), static_cast<off_t>(kExtraOffset)) <
                0) {
                extra.assign(extra.size(), 0);
            }
            std::memcpy(data, extra.data(), extra.size());
        }
    }
    const unsigned char taken[4] = {};
    Write(kPendingOffset, taken, sizeof taken);
    ReleaseLock();
    if (receivedCommandLine_.empty()) {
        receivedCommandLine_ = "(empty)";
    }
    if (receivedDirectory_.empty()) {
        receivedDirectory_ = "(unknown)";
    }
    return true;
}

}  // namespace vaxo
