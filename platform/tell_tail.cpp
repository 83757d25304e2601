#include "platform/tell_tail.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

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
    std::error_code error;
    const auto folder = std::filesystem::current_path(error);
    return error ? "" : folder.string();
}

}  // namespace

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
        case kRunningElsewhere:
            return "another copy of the program runs for this user, registered in another "
                   "runtime folder (one made again, or another XDG_RUNTIME_DIR)";
        default:
            return SystemFailureText();
    }
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

std::uint32_t TTellTail::Read32(std::size_t offset) const {
    unsigned char bytes[4] = {};
    ReadAt(offset, bytes, sizeof bytes);
    return Get32(bytes);
}

// At most 511 characters, never trusting a terminator.
std::string TTellTail::ReadText(std::size_t offset) const {
    char text[kTextLimit + 1] = {};
    ReadAt(offset, text, kTextLimit);
    return std::string(text, ::strnlen(text, kTextLimit));
}

bool TTellTail::Activate() {
    firstInstance_ = false;
    foundFirstInstance_ = false;
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
    if (!OpenSharedBlock() || !WaitLock()) {
        return false;
    }
    firstInstance_ = BecomesFirstInstance();
    if (!firstInstance_ && !HandOverAllowed) {
        firstInstanceId_ = Read32(kIdOffset);
        foundFirstInstance_ = true;
        ReleaseLock();
        return false;
    }
    if (!firstInstance_) {
        return HandOver();
    }
    if (!HoldInstanceLock()) {
        firstInstance_ = false;
        ReleaseLock();
        return Fail(kRunningElsewhere, OnMapFileFailure);
    }
    std::vector<unsigned char> block(blockSize_, 0);
    Put32(block.data() + kIdOffset, ApplicationWindowId);
    const bool written = ResetBlock(block);
    const std::uint32_t code = lastError_;
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
    const std::uint32_t code = lastError_;
    firstInstanceId_ = Read32(kIdOffset);
    ReleaseLock();
    if (!written) {
        return Fail(code, OnMapFileFailure);
    }
    handedOver_ = true;
    if (RestoreMainInstance) {
        RestoreFirstInstance();
    }
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
            ReadAt(kExtraOffset, data, std::min(size, MaxSharedDataSize()));
        }
    }
    const unsigned char taken[4] = {};
    static_cast<void>(Write(kPendingOffset, taken, sizeof taken));
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
