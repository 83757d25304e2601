#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vaxo {

struct LiveTextRead {
    enum class Outcome {
        NotFound,
        Unreadable,  // see why
        Busy,        // being written: not taken at this look
        Read,
        TooLarge,      // over kLiveTextLimit: not read
        NotAnswering,  // the read did not come back in time (a mount that hangs)
    };
    Outcome outcome = Outcome::NotFound;
    std::string text;      // the last non-empty line, in Windows-1250
    std::string path;      // the file found, when one was
    std::string why = {};  // why it could not be read
};

// No live text comes near this; a larger file is passed over, not read.
inline constexpr std::size_t kLiveTextLimit = 1024 * 1024;

// What a source's file was at the last look, for the next one.
struct FeedLook {
    std::uint64_t file = 0;  // its identity; 0 when none was seen
    std::int64_t size = -1;
    int busyLooks = 0;  // looks in a row that found it being written
};

// The last non-empty line of live-text bytes, fed in pieces of any size, in
// Windows-1250. A line ends at LF; a CR anywhere is dropped; a NUL ends its
// line and Ctrl-Z the text. A text with a UTF-16 byte-order mark, or that is
// recognisably UTF-16 without one, is decoded; otherwise the line taken is
// converted from UTF-8 when it is valid UTF-8 with non-ASCII characters, and
// taken as Windows-1250 bytes when not. Memory stays bounded: a line is kept
// up to kLineLimit bytes.
class LastLineScanner {
  public:
    static constexpr std::size_t kLineLimit = 64 * 1024;
    static constexpr std::size_t kDetectionBytes = 4096;

    void Feed(std::string_view bytes);
    std::string Finish();
    // Nothing but zero bytes, or a zero byte first: what a crash leaves of a
    // file, never text.
    bool ZeroFilled() const;

  private:
    enum class Coding { Unknown, Bytes, Utf16Le, Utf16Be };
    // Settles the coding from the text's start; the length of its byte-order mark.
    std::size_t Decide(std::string_view start);
    void TakeStart();
    void Decoded(std::string_view bytes);
    void FeedUtf16(std::string_view bytes);
    void Point(char32_t point);
    void Byte(char byte);
    void EndLine();

    Coding coding_ = Coding::Unknown;
    bool ended_ = false;     // Ctrl-Z seen
    bool lineCut_ = false;   // NUL seen: the rest of the line is dropped
    bool firstLine_ = true;  // the line being read is the first one
    std::string line_;
    std::string last_;
    bool lastIsFirst_ = false;
    std::string start_;  // the first bytes, until the coding is settled
    bool sawBytes_ = false;
    bool firstByteZero_ = false;
    bool sawNonZero_ = false;
    int carry_ = -1;  // an odd byte of UTF-16, while it waits for its pair
    char16_t highSurrogate_ = 0;
};

std::string LastLiveTextLine(std::string_view bytes);

using WallTime = std::chrono::system_clock::time_point;

// Finds the newest regular file matching the source name (wildcards "*" and
// "?" in the name part; relative names are taken from programDir) and returns
// its last non-empty line. A file that another one replaced since the last
// look (the safe way to write: a temporary file renamed) is taken at once.
// One rewritten in place is Busy when it changed while it was read, when it
// changed within the last moments before `now`, or when it is empty a short
// while after a change (a truncation its writer has not yet followed with
// the text); but never for more than three looks in a row. A file over
// kLiveTextLimit is not read, and one of zero bytes only is Unreadable.
// `look` is the source's memory from one look to the next.
[[nodiscard]] LiveTextRead ReadLiveTextFile(const std::string& sourceName,
                                            const std::string& programDir, FeedLook& look,
                                            WallTime now = std::chrono::system_clock::now());

// Whether a name matches a pattern of "*" (any run) and "?" (any one byte).
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace vaxo
