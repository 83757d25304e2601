#include "stations/live_text_file.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/code_page.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr char kEndOfFile = 26;  // Ctrl-Z
constexpr std::size_t kReadChunk = 64 * 1024;
// A writer that truncates and then writes takes milliseconds; a feed that is
// empty for longer means it. A file changed this recently may still be half
// written.
constexpr auto kTruncationSettles = 2s;
constexpr auto kWriteSettles = 100ms;
// A file still being written is left for the next look this often in a
// row at most; then it is taken as it is.
constexpr int kBusyLooks = 3;

struct Candidate {
    std::string path;
    timespec modified{};
};

bool Newer(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

WallTime ToWallTime(const timespec& t) {
    return WallTime(std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)));
}

#ifdef _WIN32
constexpr int kOpenForReading = O_RDONLY | O_BINARY;
constexpr const char* kSeparators = "/\\";

// The C library's times on Windows are whole seconds, too coarse for the
// settling times; the file system keeps 100 ns.
timespec ModifiedAt(const struct stat& info, const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return {info.st_mtime, 0};
    }
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;  // in 100 ns since 1601
    const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                 data.ftLastWriteTime.dwLowDateTime) -
                                kUnixEpoch;
    return {static_cast<std::time_t>(ticks / 10000000), static_cast<long>(ticks % 10000000 * 100)};
}

bool IsAbsoluteName(const std::string& name) {
    return std::filesystem::path(name).is_absolute() || name.front() == '\\' || name.front() == '/';
}
#else
constexpr int kOpenForReading = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
constexpr const char* kSeparators = "/";

timespec ModifiedAt(const struct stat& info, const std::string&) {
    return info.st_mtim;
}

bool IsAbsoluteName(const std::string& name) {
    return name.front() == '/';
}
#endif

// The newest regular file in `folder` whose name matches; the first listed
// among equally new ones. Pipes, sockets and devices are passed over.
std::optional<Candidate> NewestMatch(const std::string& folder, const std::string& pattern) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) {
        return std::nullopt;
    }
    std::optional<Candidate> newest;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) {
            continue;
        }
        const std::string path = folder + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        const timespec modified = ModifiedAt(info, path);
        if (!newest || Newer(modified, newest->modified)) {
            newest = Candidate{path, modified};
        }
    }
    return newest;
}

struct FileState {
    ino_t id = 0;
    off_t size = 0;
    timespec modified{};
};

std::optional<FileState> StateOf(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileState{info.st_ino, info.st_size, ModifiedAt(info, path)};
}

bool SameState(const FileState& a, const FileState& b) {
    return a.id == b.id && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
}

bool StillBeingWritten(const FileState& state, WallTime now) {
    const auto age = now - ToWallTime(state.modified);
    return age < (state.size == 0 ? kTruncationSettles : kWriteSettles) &&
           age > -kTruncationSettles;
}

// A recognisably UTF-16 text: in most code units one byte is zero and the
// other is not, and never the other way round. A zero-filled file is not.
bool LooksLikeUtf16(std::string_view start, bool littleEndian) {
    std::size_t textual = 0, units = 0;
    for (std::size_t i = 0; i + 1 < start.size(); i += 2) {
        const bool low0 = start[i + (littleEndian ? 0 : 1)] == 0;
        const bool high0 = start[i + (littleEndian ? 1 : 0)] == 0;
        if (low0 && high0) {
            continue;
        }
        ++units;
        if (low0) {
            return false;
        }
        textual += high0 ? 1 : 0;
    }
    return units >= 1 && 2 * textual >= units;
}

}  // namespace

std::size_t LastLineScanner::Decide(std::string_view start) {
    const bool littleMark = start.substr(0, 2) == "\xFF\xFE";
    const bool bigMark = start.substr(0, 2) == "\xFE\xFF";
    if (littleMark || (!bigMark && LooksLikeUtf16(start, true))) {
        coding_ = Coding::Utf16Le;
    } else if (bigMark || LooksLikeUtf16(start, false)) {
        coding_ = Coding::Utf16Be;
    } else {
        coding_ = Coding::Bytes;
    }
    return littleMark || bigMark ? 2 : 0;
}

void LastLineScanner::Feed(std::string_view bytes) {
    if (!bytes.empty() && !sawBytes_) {
        sawBytes_ = true;
        firstByteZero_ = bytes.front() == '\0';
    }
    if (!sawNonZero_) {
        sawNonZero_ = bytes.find_first_not_of('\0') != std::string_view::npos;
    }
    if (coding_ == Coding::Unknown) {
        // The coding is settled on the first few kilobytes, however they arrive.
        const std::size_t taken = std::min(bytes.size(), kDetectionBytes - start_.size());
        start_.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        if (start_.size() < kDetectionBytes) {
            return;
        }
        TakeStart();
    }
    Decoded(bytes);
}

void LastLineScanner::TakeStart() {
    std::string start;
    start.swap(start_);
    Decoded(std::string_view(start).substr(Decide(start)));
}

void LastLineScanner::Decoded(std::string_view bytes) {
    if (coding_ == Coding::Bytes) {
        for (char byte : bytes) {
            if (ended_) {
                return;
            }
            Byte(byte);
        }
        return;
    }
    FeedUtf16(bytes);
}

void LastLineScanner::FeedUtf16(std::string_view bytes) {
    const bool little = coding_ == Coding::Utf16Le;
    std::size_t at = 0;
    while (!ended_) {
        unsigned char pair[2];
        if (carry_ >= 0) {
            if (at >= bytes.size()) {
                return;
            }
            pair[0] = static_cast<unsigned char>(carry_);
            pair[1] = static_cast<unsigned char>(bytes[at++]);
            carry_ = -1;
        } else if (at + 1 < bytes.size()) {
            pair[0] = static_cast<unsigned char>(bytes[at]);
            pair[1] = static_cast<unsigned char>(bytes[at + 1]);
            at += 2;
        } else {
            if (at < bytes.size()) {
                carry_ = static_cast<unsigned char>(bytes[at]);
            }
            return;
        }
        const auto unit =
            static_cast<char16_t>(little ? pair[0] | pair[1] << 8 : pair[0] << 8 | pair[1]);
        if (unit >= 0xD800 && unit < 0xDC00) {
            highSurrogate_ = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit < 0xE000) {
            Point(highSurrogate_ ? 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00)
                                 : U'?');
        } else {
            Point(unit);
        }
        highSurrogate_ = 0;
    }
}

// UTF-16 text arrives as code points and is kept in Windows-1250 at once.
void LastLineScanner::Point(char32_t point) {
    if (point == 0 || point == U'\n' || point == U'\r' || point == kEndOfFile) {
        Byte(static_cast<char>(point));
        return;
    }
    Byte(static_cast<char>(UnicodeToWindows1250(point).value_or('?')));
}

void LastLineScanner::Byte(char byte) {
    switch (byte) {
        case '\n':
            EndLine();
            return;
        case '\r':
            return;
        case kEndOfFile:
            ended_ = true;
            return;
        case '\0':
            lineCut_ = true;
            return;
        default:
            if (!lineCut_ && line_.size() < kLineLimit) {
                line_ += byte;
            }
    }
}

void LastLineScanner::EndLine() {
    if (!line_.empty()) {
        last_.swap(line_);
        lastIsFirst_ = firstLine_;
    }
    line_.clear();
    lineCut_ = false;
    firstLine_ = false;
}

std::string LastLineScanner::Finish() {
    if (coding_ == Coding::Unknown) {
        TakeStart();
    }
    EndLine();
    std::string text = std::move(last_);
    if (coding_ != Coding::Bytes) {
        return text;  // decoded already
    }
    std::string_view line = text;
    if (lastIsFirst_ && line.substr(0, 3) == "\xEF\xBB\xBF") {
        line.remove_prefix(3);
    }
    return TextLineToWindows1250(line);
}

bool LastLineScanner::ZeroFilled() const {
    if (!sawBytes_) {
        return false;
    }
    return !sawNonZero_ || (firstByteZero_ && coding_ != Coding::Utf16Be);
}

std::string LastLiveTextLine(std::string_view bytes) {
    LastLineScanner scanner;
    scanner.Feed(bytes);
    return scanner.Finish();
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

LiveTextRead ReadLiveTextFile(const std::string& sourceName, const std::string& programDir,
                              FeedLook& look, WallTime now) {
    using Outcome = LiveTextRead::Outcome;
    const std::string name =
        sourceName.empty() || IsAbsoluteName(sourceName) ? sourceName : programDir + sourceName;
    const std::size_t slash = name.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const auto newest = NewestMatch(folder, name.substr(folder.size()));
    if (!newest) {
        look = {};
        return {};
    }
    const int fd = ::open(newest->path.c_str(), kOpenForReading);
    const int openError = errno;
    const auto before = fd < 0 ? std::nullopt : StateOf(fd, newest->path);
    if (!before) {
        if (fd >= 0) {
            ::close(fd);
        }
        // Locked, or gone since it was listed.
        return {Outcome::Unreadable, "", newest->path, std::strerror(fd < 0 ? openError : EIO)};
    }
    if (static_cast<std::uint64_t>(before->size) > kLiveTextLimit) {
        ::close(fd);
        return {Outcome::TooLarge, "", newest->path,
                "larger than " + std::to_string(kLiveTextLimit / 1024) + " KiB"};
    }
    LastLineScanner scanner;
    std::string chunk(kReadChunk, '\0');
    int readError = 0;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            readError = got < 0 ? errno : 0;
            break;
        }
        scanner.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    }
    const auto after = StateOf(fd, newest->path);
    ::close(fd);
    if (readError != 0) {
        return {Outcome::Unreadable, "", newest->path, std::strerror(readError)};
    }
    const bool replaced = look.file != static_cast<std::uint64_t>(before->id);
    const bool changing = !after || !SameState(*before, *after) ||
                          (!replaced && StillBeingWritten(*after, now)) ||
                          (replaced && after->size == 0 && StillBeingWritten(*after, now));
    look.file = static_cast<std::uint64_t>(before->id);
    look.size = before->size;
    if (changing && look.busyLooks < kBusyLooks) {
        ++look.busyLooks;
        return {Outcome::Busy, "", newest->path};
    }
    look.busyLooks = 0;
    std::string text = scanner.Finish();
    if (scanner.ZeroFilled()) {
        return {Outcome::Unreadable, "", newest->path, "zero bytes, not text (left by a crash?)"};
    }
    return {Outcome::Read, std::move(text), newest->path};
}

}  // namespace vaxo
