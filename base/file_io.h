#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vaxo {

// An error the operator is shown with its text; the operation at hand ends.
class FileError : public std::runtime_error {
  public:
    enum class Kind { CannotOpen, ReadFailed, TooLarge, CannotCreate, WriteFailed, Other };

    FileError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    explicit FileError(const std::string& text) : FileError(Kind::Other, text) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// Station, settings and language files are small by nature; no real one
// comes near this.
inline constexpr std::size_t kSmallFileLimit = 1024 * 1024;

// Whether a read or a save goes where a symbolic link (on Windows, any
// reparse point) points. Files named from outside the machine are Confined:
// a link planted in the working folder leads nowhere, it is refused, and so
// is a file with more than one hard link.
enum class FileLinks { Follow, Confined };

// The whole file, or nothing when no file of that name exists. Throws
// FileError "Cannot open file <name>" (kind CannotOpen) for a file that exists
// but cannot be opened or is no regular file (a folder, a pipe, a device);
// the same text with kind TooLarge for one longer than `limit` bytes, which
// is not read; and "Stream read error" when reading fails.
[[nodiscard]] std::optional<std::string> ReadFileIfExists(const std::string& path,
                                                          std::size_t limit = kSmallFileLimit,
                                                          FileLinks links = FileLinks::Follow);

// Saves the bytes as the file's new contents, keeping what the file is: a
// symbolic link stays a link and its target is saved; the owner, group, mode
// and hard links stay. Where it can keep all that, the bytes go to a
// temporary file in the same folder, are flushed and renamed over the old
// file, so that a failed save leaves the old file whole. Where it cannot (a
// folder it may not write, another owner, a file with hard links), the file
// is written in place, the complete bytes at once. A target that is not a
// regular file, and a file without any write permission (also for root),
// are refused. Temporary files that an interrupted save of the same file
// left behind are removed. Throws FileError "Cannot create file <name>" or
// "Stream write error".
void SaveFile(const std::string& path, std::string_view bytes, FileLinks links = FileLinks::Follow);

// The program's own files in its settings folder, read and saved the one
// safe way: never through a link, never a file with other names, replaced
// whole.
[[nodiscard]] inline std::optional<std::string> ReadOwnFile(const std::string& path,
                                                            std::size_t limit = kSmallFileLimit) {
    return ReadFileIfExists(path, limit, FileLinks::Confined);
}
inline void SaveOwnFile(const std::string& path, std::string_view bytes) {
    SaveFile(path, bytes, FileLinks::Confined);
}

// Renames a file that cannot be used out of the way under a name with the
// moment (UTC) in it, "vaxow.wear.kept-20261210T111050Z", so that nothing
// overwrites it; the new name. Throws FileError when it cannot.
std::string KeepAside(const std::string& path, std::chrono::system_clock::time_point now);

// Why a save of the file would fail for lack of permission (the file or its
// folder may not be written), or nothing when it may be written.
std::optional<std::string> WhyNotWritable(const std::string& path);

// A fingerprint of file contents (64-bit FNV-1a), to tell later whether a
// file still holds what was read or written.
std::uint64_t ContentFingerprint(std::string_view bytes);

}  // namespace vaxo
