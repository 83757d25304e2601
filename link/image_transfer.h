#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>

#include "base/link_timing.h"
#include "encoding/encoder_image.h"
#include "encoding/memory_dump.h"
#include "link/memory_write_protocol.h"
#include "platform/port_io.h"

namespace vaxo {

// The bytes of the image a send writes: the first area's 4 or 12 pages, the
// second's 13.
MemoryDump WrittenMemory(const EncoderImage& image);

// What one send writes, fixed when the send starts: the image and where it goes.
struct SendJob {
    EncoderImage image;
    int bank = 1;  // 1 or 2
    std::uint16_t portBase = kLpt1Base;
    std::uint32_t cpuSpeed = kCpuSpeedBase;  // the calibration in force
};

struct TransferResult {
    PortInUse port;                     // the port the job's base stands for
    LinkProblem problem;                // none when both areas were confirmed
    std::chrono::milliseconds took{0};  // from the first wait's end to the last write
    int blockWrites = 0;
};

// Progress as the send goes: 50 before the first encoder wait, 100 once the
// encoder answered.
using TransferProgress = std::function<void(int percent)>;

// Writes the job's image into its bank: the first wait, then both areas with
// their confirmations through the status line and their bounded retries (at
// most three writes of the first area, two of them confirmable, five block
// writes in all). A port that cannot be opened fails at once. Asked to give
// up, it stops at the next page or poll: Abandoned.
[[nodiscard]] TransferResult TransferImage(PortIo& port, LinkTiming& timing, const SendJob& job,
                                           const TransferProgress& progress,
                                           const std::stop_token& stop = {});

}  // namespace vaxo
