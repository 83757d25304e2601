#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vaxo {

// Cuts a byte stream into lines ended by CR, LF or CR LF, each at most
// `limit` bytes: a longer one is reported once and the rest of it dropped.
class LineSplitter {
  public:
    explicit LineSplitter(std::size_t limit) : limit_(limit) {}

    // Calls line(text) for each complete line and tooLong() for each line
    // that passed the limit, in order.
    template <typename Line, typename TooLong>
    void Feed(std::string_view bytes, Line line, TooLong tooLong) {
        for (const char byte : bytes) {
            const bool crLf = byte == '\n' && lastWasCr_;
            lastWasCr_ = byte == '\r';
            if (crLf) {
                continue;
            }
            if (byte == '\r' || byte == '\n') {
                if (!dropping_) {
                    line(std::string_view(current_));
                }
                current_.clear();
                dropping_ = false;
                continue;
            }
            if (dropping_) {
                continue;
            }
            if (current_.size() == limit_) {
                current_.clear();
                dropping_ = true;
                tooLong();
                continue;
            }
            current_ += byte;
        }
    }

    // The end of a datagram ends its last line too.
    template <typename Line>
    void Finish(Line line) {
        if (!current_.empty() && !dropping_) {
            line(std::string_view(current_));
        }
        current_.clear();
        dropping_ = false;
        lastWasCr_ = false;
    }

  private:
    std::size_t limit_;
    std::string current_;
    bool dropping_ = false;
    bool lastWasCr_ = false;
};

}  // namespace vaxo
