#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>

#include "base/link_timing.h"
#include "encoding/bit_array.h"
#include "link/encoder_lines.h"
#include "platform/port_io.h"

namespace vaxo {

inline constexpr std::uint32_t kCpuSpeedBase = 50'000'000;
inline constexpr std::uint32_t kCalibrationCountdown = 350'001;

// Counts calibration countdowns for one second of the wall clock, aligned on
// a second boundary; returns 3·c + 50,000,000. Nothing when it was asked to
// give up before the second was through.
[[nodiscard]] std::optional<std::uint32_t> MeasureCpuSpeed(LinkTiming& timing,
                                                           const std::stop_token& stop = {});

// How long every line change is held: three calibration countdowns, that is
// 3/350,001 s, as the calibration means it.
inline constexpr std::chrono::nanoseconds kDesignHold{8572};

// The busy-wait after a line change made at `changed`: 3·c + 1 countdown
// turns, and never less than the design hold by the monotonic clock. A
// calibration taken while other programs share the processor counts too few
// turns; the memory needs its time all the same, while a hold that the
// scheduler lengthens does it no harm.
void HoldDelay(LinkTiming& timing, std::uint32_t cpuSpeed, MonotonicTime changed);

// Status bit 5 (paper end) of the given status register.
[[nodiscard]] bool ReadEncoderStatus(PortIo& port, std::uint32_t statusAddress);

// Waits up to 5 s for the status line to go low, then up to 5 s for it to go
// high. The fault of the first phase that timed out, or none; Abandoned when
// it was asked to give up.
[[nodiscard]] LinkFault WaitForEncoder(PortIo& port, LinkTiming& timing, std::uint32_t base,
                                       const std::stop_token& stop = {});

enum class ImageArea { Ps = 0, Rt = 1 };
inline constexpr ImageArea kImageAreas[] = {ImageArea::Ps, ImageArea::Rt};

inline constexpr std::size_t kBlockPages = 16;  // of a 256-byte memory block

// Pages of one area, bit p for page p.
using PageSet = std::uint16_t;
inline constexpr PageSet kEveryPage = 0xFFFF;

// Pages the area takes: the first area 12 pages with its dynamic PS table
// (element 1536 equal to 1), else 4; the second area 13.
int PageCount(ImageArea area, std::span<const BitElement> elements);
// The pages the area takes, as a set.
PageSet PagesOf(ImageArea area, std::span<const BitElement> elements);

struct BlockWrite {
    bool complete = true;  // false: given up at the end of a page
    PageSet written = 0;   // the pages clocked in whole
};

// Clocks the pages of one image area that `pages` names into bank bit B of
// the encoder memory, 16 bytes a page. Asked to give up, it stops at the end
// of a page.
BlockWrite WriteImageBlock(PortIo& port, LinkTiming& timing, ImageArea area,
                           std::span<const BitElement> elements, std::uint32_t cpuSpeed,
                           int bankBit, std::uint32_t base, PageSet pages = kEveryPage,
                           const std::stop_token& stop = {});

}  // namespace vaxo
