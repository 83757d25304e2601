#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

#include "base/link_timing.h"
#include "encoding/encoder_image.h"
#include "encoding/memory_dump.h"
#include "link/memory_write_protocol.h"
#include "platform/port_io.h"

namespace vaxo {

// The elements of one area of the image.
std::span<const BitElement> AreaElements(const EncoderImage& image, ImageArea area);

// The bytes of the image a send writes: the first area's 4 or 12 pages, the
// second's 13.
MemoryDump WrittenMemory(const EncoderImage& image);

// What one send writes, fixed when the send starts: the image, where it
// goes, and which pages of each area (those the memory is not known to hold).
struct SendJob {
    EncoderImage image;
    int bank = 1;  // 1 or 2
    std::uint16_t portBase = kLpt1Base;
    std::uint32_t cpuSpeed = kCpuSpeedBase;                // the calibration in force
    std::array<PageSet, 2> pages{kEveryPage, kEveryPage};  // first area, second area
};

// Page writes of one send, per area and page: what wears the memory.
using PageWrites = std::array<std::array<int, kBlockPages>, 2>;

struct TransferResult {
    PortInUse port;                     // the port the job's base stands for
    LinkProblem problem;                // none when every area written was confirmed
    std::chrono::milliseconds took{0};  // from the first wait's end to the last write
    int blockWrites = 0;
    PageWrites pageWrites{};  // retries count again
};

// Progress as the send goes: 50 before the first encoder wait, 100 once the
// encoder answered.
using TransferProgress = std::function<void(int percent)>;

// Writes the job's image into its bank: the first wait, then both areas with
// their confirmations through the status line and their bounded retries (at
// most three writes of the first area, two of them confirmable, five block
// writes in all). An area none of whose pages is to be written is passed
// over as if written and confirmed at once. A port that cannot be opened
// fails at once. Asked to give up, it stops at the next page or poll:
// Abandoned.
[[nodiscard]] TransferResult TransferImage(PortIo& port, LinkTiming& timing, const SendJob& job,
                                           const TransferProgress& progress,
                                           const std::stop_token& stop = {});

}  // namespace vaxo
