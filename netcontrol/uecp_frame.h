#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vaxo {

// UECP (IEC 62106-10) frames: FE ADD(2) SQC MFL MSG CRC(2) FF, with the
// bytes between FE and FF stuffed (FD 00 for FD, FD 01 for FE, FD 02 for
// FF). ADD holds the site (10 bits) and the encoder (6 bits) addressed;
// MFL is MSG's length before stuffing; the CRC-16 (x^16 + x^12 + x^5 + 1,
// start 0xFFFF, inverted) runs over the unstuffed bytes from ADD to the end
// of MSG and goes high byte first.

inline constexpr std::uint8_t kUecpStart = 0xFE;
inline constexpr std::uint8_t kUecpStop = 0xFF;
inline constexpr std::uint8_t kUecpEscape = 0xFD;
// Start, address, sequence, length, the longest message, CRC and stop.
inline constexpr std::size_t kUecpMessageLimit = 255;  // its length is one byte
inline constexpr std::size_t kUecpFrameLimit = 1 + 2 + 1 + 1 + kUecpMessageLimit + 2 + 1;

// Acknowledgement codes of the standard.
enum class UecpCode : std::uint8_t {
    Ok = 0,
    CrcError = 1,
    MessageNotReceived = 2,  // a gap in the sequence counter
    MessageUnknown = 3,
    DataSetError = 4,
    ProgrammeServiceError = 5,
    ParameterOutOfRange = 6,
    ElementLengthError = 7,
    FieldLengthError = 8,
    MessageNotAcceptable = 9,
    EndByteMissing = 10,
    BufferOverflow = 11,
    BadStuffing = 12,
    UnexpectedEndByte = 13,
    NotInterpreted = 14,
};

struct UecpFrame {
    int site = 0;     // 0: every site
    int encoder = 0;  // 0: every encoder of the site
    std::uint8_t sequence = 0;
    std::vector<std::uint8_t> message;
};

// What one frame of the byte stream gave: a frame, or the code of the
// trouble and, when it could be read, the frame's sequence number.
struct UecpReading {
    std::optional<UecpFrame> frame;
    UecpCode code = UecpCode::Ok;
    std::uint8_t sequence = 0;
};

std::uint16_t UecpCrc(const std::uint8_t* bytes, std::size_t count);

// The bytes of a frame on the line, stuffed.
std::vector<std::uint8_t> EncodeUecpFrame(const UecpFrame& frame);

// Cuts frames out of a byte stream fed in pieces of any size (a TCP
// connection, or the datagrams of one sender). Bytes before a start byte
// are skipped; a frame longer than the longest one, or one that a new start
// byte cuts short, is dropped with EndByteMissing.
class UecpFrameReader {
  public:
    // Calls `take` with each frame or trouble found in the bytes.
    template <typename Take>
    void Feed(const std::uint8_t* bytes, std::size_t count, Take take) {
        for (std::size_t i = 0; i < count; ++i) {
            if (auto reading = Byte(bytes[i])) {
                take(std::move(*reading));
            }
        }
    }

    // The end of a datagram: a frame still open has lost its end byte.
    std::optional<UecpReading> Finish();

  private:
    std::optional<UecpReading> Byte(std::uint8_t byte);
    UecpReading Complete();

    bool inFrame_ = false;
    bool escaped_ = false;
    bool badStuffing_ = false;
    std::vector<std::uint8_t> unstuffed_;
};

}  // namespace vaxo
