#include "link/memory_write_protocol.h"

namespace vaxo {
namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kReleased = LineState{1, 1}.Value();
constexpr std::size_t kPageElements = 8 * kPageDataBytes;
constexpr long kWaitSeconds = 4;  // a phase ends when more whole seconds passed

// Writes line states, each followed by the hold.
class LineWriter {
  public:
    LineWriter(PortIo& port, LinkTiming& timing, std::uint32_t cpuSpeed, std::uint32_t base)
        : port_(port), timing_(timing), cpuSpeed_(cpuSpeed), base_(base) {}

    void Write(std::uint8_t value) {
        port_.PortWriteByte(base_, value);
        HoldDelay(timing_, cpuSpeed_, timing_.Now());
    }
    void Bit(bool one) {
        const int data = one ? 1 : 0;
        Write(LineState{0, data}.Value());
        Write(LineState{1, data}.Value());
        Write(LineState{0, data}.Value());
    }
    void AcknowledgeClock() { Bit(true); }
    void Byte(unsigned value) {
        for (int bit = 7; bit >= 0; --bit) {
            Bit(((value >> bit) & 1u) != 0);
        }
    }
    void StartSequence(int bankBit, int areaBit) {
        for (const StartRow& row : kStartSequence) {
            if (row.clock == kStartSequenceEnd) {
                break;
            }
            const int data = row.data == kBankBit   ? bankBit
                             : row.data == kAreaBit ? areaBit
                                                    : row.data;
            Write(LineState{row.clock, data}.Value());
        }
    }
    // Data rises while the clock is high.
    void Stop() {
        Write(LineState{0, 0}.Value());
        Write(LineState{1, 0}.Value());
        Write(kReleased);
    }

  private:
    PortIo& port_;
    LinkTiming& timing_;
    std::uint32_t cpuSpeed_;
    std::uint32_t base_;
};

long ElapsedSeconds(LinkTiming& timing, MonotonicTime since) {
    return std::chrono::duration_cast<std::chrono::seconds>(timing.Now() - since).count();
}

enum class WaitEnd { Changed, TimedOut, Abandoned };

// Polls until the status line leaves `level`, for at most the allowed whole
// seconds.
WaitEnd WaitWhileStatus(PortIo& port, LinkTiming& timing, std::uint32_t base, bool level,
                        const std::stop_token& stop) {
    const MonotonicTime start = timing.Now();
    long elapsed = 0;
    do {
        if (stop.stop_requested()) {
            return WaitEnd::Abandoned;
        }
        elapsed = ElapsedSeconds(timing, start);
    } while (ReadEncoderStatus(port, base + 1) == level && elapsed <= kWaitSeconds);
    return elapsed > kWaitSeconds ? WaitEnd::TimedOut : WaitEnd::Changed;
}

}  // namespace

std::optional<std::uint32_t> MeasureCpuSpeed(LinkTiming& timing, const std::stop_token& stop) {
    const int first = timing.SecondOfMinute();
    int second = first;
    while (second == first) {
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        second = timing.SecondOfMinute();
    }
    std::uint32_t count = 0;
    while (timing.SecondOfMinute() == second) {
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        timing.Countdown(kCalibrationCountdown);
        ++count;
    }
    return 3 * count + kCpuSpeedBase;
}

void HoldDelay(LinkTiming& timing, std::uint32_t cpuSpeed, MonotonicTime changed) {
    if (cpuSpeed >= kCpuSpeedBase) {
        timing.Countdown(cpuSpeed - kCpuSpeedBase + 1);
    }
    while (timing.Now() - changed < kDesignHold) {
    }
}

bool ReadEncoderStatus(PortIo& port, std::uint32_t statusAddress) {
    return (port.PortReadByte(statusAddress) & kStatusBit) != 0;
}

LinkFault WaitForEncoder(PortIo& port, LinkTiming& timing, std::uint32_t base,
                         const std::stop_token& stop) {
    const WaitEnd low = WaitWhileStatus(port, timing, base, true, stop);
    const WaitEnd high = low == WaitEnd::Abandoned
                             ? WaitEnd::Abandoned
                             : WaitWhileStatus(port, timing, base, false, stop);
    if (high == WaitEnd::Abandoned) {
        return LinkFault::Abandoned;
    }
    if (low == WaitEnd::TimedOut) {
        return LinkFault::EncoderStuckHigh;
    }
    return high == WaitEnd::TimedOut ? LinkFault::EncoderStuckLow : LinkFault::None;
}

int PageCount(ImageArea area, std::span<const BitElement> elements) {
    if (area == ImageArea::Rt) {
        return 13;
    }
    return elements.size() > 1536 && elements[1536] == 1 ? 12 : 4;
}

PageSet PagesOf(ImageArea area, std::span<const BitElement> elements) {
    return static_cast<PageSet>((1u << PageCount(area, elements)) - 1);
}

BlockWrite WriteImageBlock(PortIo& port, LinkTiming& timing, ImageArea area,
                           std::span<const BitElement> elements, std::uint32_t cpuSpeed,
                           int bankBit, std::uint32_t base, PageSet pages,
                           const std::stop_token& stop) {
    BlockWrite result;
    port.PortWriteByte(base, kReleased);
    timing.Sleep(milliseconds(1));
    LineWriter lines(port, timing, cpuSpeed, base);
    const int count = PageCount(area, elements);
    for (int page = 0; page < count; ++page) {
        if ((pages & (1u << page)) == 0) {
            continue;
        }
        if (stop.stop_requested()) {
            result.complete = false;
            return result;
        }
        lines.StartSequence(bankBit, static_cast<int>(area));
        lines.Byte(static_cast<unsigned>(static_cast<std::size_t>(page) * kPageDataBytes));
        lines.AcknowledgeClock();
        const auto pageStart = static_cast<std::size_t>(page) * kPageElements;
        for (std::size_t i = 0; i < kPageDataBytes; ++i) {
            for (std::size_t j = 0; j < 8; ++j) {
                lines.Bit(elements[pageStart + 8 * i + j] == 1);
            }
            lines.AcknowledgeClock();
        }
        lines.Stop();
        result.written = static_cast<PageSet>(result.written | (1u << page));
        timing.Sleep(milliseconds(10));
    }
    return result;
}

}  // namespace vaxo
