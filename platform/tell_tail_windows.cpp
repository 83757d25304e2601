// The hand-over block as a named file mapping of one page, its lock a named
// mutex.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/tell_tail.h"

namespace vaxo {

struct TTellTail::SystemObjects {
    HANDLE mapping = nullptr;
    HANDLE mutex = nullptr;
    unsigned char* view = nullptr;
    bool created = false;  // this process created the mapping
};

TTellTail::TTellTail()
    : ApplicationWindowId(static_cast<std::uint32_t>(::GetCurrentProcessId())),
      system_(std::make_unique<SystemObjects>()) {}

TTellTail::~TTellTail() {
    CloseAll();
}

void TTellTail::CloseAll() {
    if (system_->view) {
        ::UnmapViewOfFile(system_->view);
        system_->view = nullptr;
    }
    for (HANDLE* handle : {&system_->mutex, &system_->mapping}) {
        if (*handle) {
            ::CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

std::string TTellTail::RuntimeFolder() {
    return "";
}

std::vector<std::string> TTellTail::UsableRuntimeFolders() {
    return {};
}

// The named mapping and mutex are the user's session's, whatever folder:
// nothing more to hold.
bool TTellTail::HoldInstanceLock() {
    return true;
}

// The block is a named mapping, not a file.
std::string TTellTail::BlockPath() const {
    return "";
}

std::string TTellTail::SystemFailureText() const {
    char text[512] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     lastError_, 0, text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return "the hand-over block " + MapFileName +
           " cannot be used: " + (reason.empty() ? "error " + std::to_string(lastError_) : reason);
}

// Two starts at the same moment may both fail to open the mapping; the one
// whose creation finds it already there is a later start all the same.
bool TTellTail::OpenSharedBlock() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    blockSize_ = info.dwPageSize;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    system_->mapping = ::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, MapFileName.c_str());
    system_->created = false;
    bool ownsLock = false;
    if (system_->mapping) {
        system_->mutex = ::OpenMutexA(MUTEX_ALL_ACCESS, TRUE, MutexName.c_str());
        if (!system_->mutex) {
            return Fail(::GetLastError(), OnMutexFailure);
        }
    } else {
        system_->mapping =
            ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 static_cast<DWORD>(blockSize_), MapFileName.c_str());
        if (!system_->mapping) {
            return Fail(::GetLastError(), OnMapFileFailure);
        }
        system_->created = ::GetLastError() != ERROR_ALREADY_EXISTS;
        system_->mutex = ::CreateMutexA(&inheritable, TRUE, MutexName.c_str());
        if (!system_->mutex) {
            return Fail(::GetLastError(), OnMutexFailure);
        }
        ownsLock = ::GetLastError() != ERROR_ALREADY_EXISTS;
    }
    system_->view = static_cast<unsigned char*>(
        ::MapViewOfFile(system_->mapping, FILE_MAP_ALL_ACCESS, 0, 0, blockSize_));
    if (!system_->view) {
        const DWORD code = ::GetLastError();
        if (ownsLock) {
            ::ReleaseMutex(system_->mutex);
        }
        return Fail(code, OnMapFileFailure);
    }
    if (ownsLock) {
        ::ReleaseMutex(system_->mutex);
    }
    return true;
}

bool TTellTail::BecomesFirstInstance() {
    return system_->created;
}

bool TTellTail::WaitLock() {
    switch (::WaitForSingleObject(system_->mutex, static_cast<DWORD>(MutexTimeOut))) {
        case WAIT_OBJECT_0:
            lastError_ = 0;
            return true;
        case WAIT_ABANDONED:
            lastError_ = kLockAbandoned;
            return true;
        case WAIT_TIMEOUT:
            lastError_ = kLockTimedOut;
            return false;
        default:
            lastError_ = ::GetLastError();
            return false;
    }
}

void TTellTail::ReleaseLock() {
    ::ReleaseMutex(system_->mutex);
}

// Only a minimised first instance is brought back; one that is not is
// neither raised nor activated.
void TTellTail::RestoreFirstInstance() {
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(firstInstanceId_));
    if (!::IsWindow(window) || !::IsIconic(window)) {
        return;
    }
    ::SetForegroundWindow(window);
    if (!::PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0)) {
        ::PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

void TTellTail::ReadAt(std::size_t offset, void* bytes, std::size_t count) const {
    const std::size_t kept = offset < blockSize_ ? std::min(count, blockSize_ - offset) : 0;
    if (kept > 0) {
        std::memcpy(bytes, system_->view + offset, kept);
    }
    std::memset(static_cast<char*>(bytes) + kept, 0, count - kept);
}

bool TTellTail::Write(std::size_t offset, const void* bytes, std::size_t count) {
    if (offset > blockSize_ || count > blockSize_ - offset) {
        lastError_ = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    std::memcpy(system_->view + offset, bytes, count);
    return true;
}

bool TTellTail::ResetBlock(const std::vector<unsigned char>& block) {
    return Write(0, block.data(), block.size());
}

}  // namespace vaxo
