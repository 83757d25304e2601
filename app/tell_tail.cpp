#include "app/tell_tail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
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

void PutText(unsigned char* at, const std::string& text) {
    const std::size_t length = std::min(text.size(), TTellTail::kTextLimit);
    std::memcpy(at, text.data(), length);
    at[length] = 0;
}

// Never trusts the terminator: at most 511 characters are taken.
std::string GetText(const unsigned char* at) {
    const auto* chars = reinterpret_cast<const char*>(at);
    return std::string(chars, ::strnlen(chars, TTellTail::kTextLimit));
}

std::string CurrentDirectory() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "";
    }
    return buffer.c_str();
}

// A folder only this user can use: ours, a real folder, mode 0700.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 0077) == 0;
}

}  // namespace

TTellTail::TTellTail() : ApplicationWindowId(static_cast<std::uint32_t>(::getpid())) {}

TTellTail::~TTellTail() {
    CloseAll();
}

void TTellTail::CloseAll() {
    if (view_) {
        ::munmap(view_, blockSize_);
        view_ = nullptr;
    }
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
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        return std::string(runtime) + "/";
    }
    const std::string folder = "/tmp/vaxow-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    return IsPrivateFolder(folder) ? folder + "/" : "";
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

bool TTellTail::OpenSharedBlock() {
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
    const std::string folder = RuntimeFolder();
    if (folder.empty()) {
        return Fail(EACCES, OnMapFileFailure);
    }
    blockSize_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    blockFd_ = ::open((folder + MapFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (blockFd_ < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMapFileFailure);
    }
    lockFd_ = ::open((folder + MutexName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        return Fail(static_cast<std::uint32_t>(errno), OnMutexFailure);
    }
    return true;
}

bool TTellTail::MapBlock() {
    struct stat info {};
    if (::fstat(blockFd_, &info) != 0 ||
        (static_cast<std::size_t>(info.st_size) < blockSize_ &&
         ::ftruncate(blockFd_, static_cast<off_t>(blockSize_)) != 0)) {
        return false;
    }
    void* view = ::mmap(nullptr, blockSize_, PROT_READ | PROT_WRITE, MAP_SHARED, blockFd_, 0);
    if (view == MAP_FAILED) {
        return false;
    }
    view_ = static_cast<unsigned char*>(view);
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

bool TTellTail::Activate() {
    firstInstance_ = false;
    const std::string commandLine = BuildCommandLine(Arguments);
    if (!OpenSharedBlock() || !WaitLock()) {
        return false;
    }
    // Under the lock, so that of several simultaneous starts exactly one wins.
    firstInstance_ = ::flock(blockFd_, LOCK_EX | LOCK_NB) == 0;
    if (!MapBlock()) {
        const auto code = static_cast<std::uint32_t>(errno);
        ReleaseLock();
        firstInstance_ = false;
        return Fail(code, OnMapFileFailure);
    }
    if (firstInstance_) {
        std::memset(view_, 0, blockSize_);
        Put32(view_ + kIdOffset, ApplicationWindowId);
        ReleaseLock();
        return true;
    }
    PutText(view_ + kCommandLineOffset, commandLine);
    PutText(view_ + kDirectoryOffset, CurrentDirectory());
    Put32(view_ + kPendingOffset, kPending);
    if (OnWriteSharedData) {
        void* data = nullptr;
        std::uint32_t size = 0;
        OnWriteSharedData(*this, data, size, MaxSharedDataSize());
        if (data) {
            std::memcpy(view_ + kExtraOffset, data, std::min(size, MaxSharedDataSize()));
        }
    }
    firstInstanceId_ = Get32(view_ + kIdOffset);
    ReleaseLock();
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
    if (Get32(view_ + kPendingOffset) == 0) {
        ReleaseLock();
        return false;
    }
    receivedCommandLine_ = GetText(view_ + kCommandLineOffset);
    receivedDirectory_ = GetText(view_ + kDirectoryOffset);
    if (OnReadSharedData) {
        void* data = nullptr;
        std::uint32_t size = 0;
        OnReadSharedData(*this, data, size, MaxSharedDataSize());
        if (data) {
            std::memcpy(data, view_ + kExtraOffset, std::min(size, MaxSharedDataSize()));
        }
    }
    Put32(view_ + kPendingOffset, 0);
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
