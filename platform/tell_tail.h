#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vaxo {

// Makes the first started copy of the program the first instance and turns
// every later start into a messenger that hands its command line over.
//
// On Windows the block is a named file mapping of one page and its lock a
// named mutex; the process that creates the mapping is the first instance.
//
// On Linux the shared block is a file named MapFileName in the user's runtime folder,
// read and written a whole field at a time (so that a block another process
// truncates or garbles cannot crash the reader); its lock is an advisory lock
// on a second file, MutexName. Which process is the first instance is decided
// by an exclusive lock on the block that the first instance holds for its
// whole life, so a crashed first instance leaves nothing behind, and two
// simultaneous starts cannot both win.
//
// Every start of the same user finds the first instance, however it was
// started: the folders that may hold the block are $XDG_RUNTIME_DIR, the
// user's /run/user/UID and a private /tmp/vaxow-UID, each only when it is a
// real folder of this user closed to everybody else. A later start hands
// over in whichever of them a first instance lives; a first instance
// registers in the first of them.
//
// Block layout (little-endian): 0 the first instance's identifier, 4 the
// pending flag (0xFFFFFFFF while a hand-over waits), 8 the command line and
// 520 the working directory of the later start (each at most 511 characters,
// zero-terminated), 1032 onward extra bytes of the data events.
class TTellTail {
  public:
    using TNotifyEvent = std::function<void(TTellTail& sender)>;
    using TSharedDataEvent = std::function<void(
        TTellTail& sender, void*& dataPtr, std::uint32_t& dataSize, std::uint32_t maxDataSize)>;

    static constexpr std::uint32_t kLockTimedOut = 0x20000001;
    static constexpr std::uint32_t kLockAbandoned = 0x20000002;
    static constexpr std::uint32_t kNameEmpty = 0x20000004;
    static constexpr std::uint32_t kDisabled = 0x20000005;
    static constexpr std::uint32_t kRunningElsewhere = 0x20000006;
    static constexpr std::size_t kTextLimit = 511;

    TTellTail();
    TTellTail(const TTellTail&) = delete;
    TTellTail& operator=(const TTellTail&) = delete;
    ~TTellTail();

    bool Enabled = true;
    std::string MapFileName;
    std::string MutexName;
    int MutexTimeOut = 250;  // milliseconds
    // Whether a hand-over brings a minimised first instance back. A later
    // process cannot raise another's window here, so the first instance
    // restores its own when it takes the hand-over.
    bool RestoreMainInstance = true;
    TNotifyEvent OnMapFileFailure;
    TNotifyEvent OnMutexFailure;
    TSharedDataEvent OnWriteSharedData;
    TSharedDataEvent OnReadSharedData;
    // A later start asks the program to end through this.
    std::function<void()> OnTerminate;
    // What the first instance writes at offset 0; its process id by default.
    std::uint32_t ApplicationWindowId;
    // The program's arguments, handed over by a later start.
    std::vector<std::string> Arguments;
    // A later start that must not hand over (its options would be lost on
    // the way) only finds the first instance and ends.
    bool HandOverAllowed = true;

    // Registers this process as the first instance (true) or hands the
    // command line to the running one and asks the program to end (false).
    [[nodiscard]] bool Activate();
    bool IsFirstInstance() const { return firstInstance_; }
    // A later start that was not allowed to hand over found a first instance.
    bool FoundFirstInstance() const { return foundFirstInstance_; }
    // First instance, when idle: true when a new hand-over was taken.
    [[nodiscard]] bool CheckForData();
    const std::string& ReceivedCommandLine() const { return receivedCommandLine_; }
    const std::string& ReceivedDirectory() const { return receivedDirectory_; }
    std::uint32_t MaxSharedDataSize() const;
    std::uint32_t LastError() const { return lastError_; }
    // The identifier the first instance wrote, as a later start read it.
    std::uint32_t FirstInstanceId() const { return firstInstanceId_; }
    // A later start whose command line reached the first instance.
    bool HandedOver() const { return handedOver_; }
    // Why the last operation failed, in words.
    std::string FailureText() const;
    // Runtime folders passed over as unsafe, in words.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // Arguments joined by single spaces, those with a space in double quotes.
    static std::string BuildCommandLine(const std::vector<std::string>& arguments);
    // Where a first instance registers; empty when no folder is safe.
    static std::string RuntimeFolder();
    // Every folder a start may use, in the order a first instance prefers.
    static std::vector<std::string> UsableRuntimeFolders();
    // The file that holds the block, where the block is a file; a later
    // start's hand-over changes it.
    std::string BlockPath() const;

  private:
    struct SystemObjects;  // the block and the lock as this platform holds them

    // Opens (or creates) the block and its lock; decides nothing yet.
    bool OpenSharedBlock();
    // Under the lock: whether this process becomes the first instance.
    bool BecomesFirstInstance();
    // The user's one instance, whatever runtime folder it registered in:
    // false when another copy holds it.
    bool HoldInstanceLock();
    bool WaitLock();
    void ReleaseLock();
    bool Fail(std::uint32_t code, const TNotifyEvent& event);
    void CloseAll();
    bool HandOver();
    // Brings a minimised first instance back, where one process can do that
    // for another.
    void RestoreFirstInstance();
    // A block that another process has cut short reads as zeros where it ends.
    void ReadAt(std::size_t offset, void* bytes, std::size_t count) const;
    std::uint32_t Read32(std::size_t offset) const;
    std::string ReadText(std::size_t offset) const;
    bool Write(std::size_t offset, const void* bytes, std::size_t count);
    // The first instance's fresh block: zeros and its identifier.
    bool ResetBlock(const std::vector<unsigned char>& block);
    std::string SystemFailureText() const;

    bool firstInstance_ = false;
    bool foundFirstInstance_ = false;
    bool handedOver_ = false;
    std::vector<std::string> warnings_;
    std::uint32_t lastError_ = 0;
    std::uint32_t firstInstanceId_ = 0;
    std::string receivedCommandLine_ = "(empty)";
    std::string receivedDirectory_ = "(unknown)";
    std::size_t blockSize_ = 0;
    std::unique_ptr<SystemObjects> system_;
};

}  // namespace vaxo
