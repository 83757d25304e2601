#include "link/image_transfer.h"

#include <span>

namespace vaxo {
namespace {

constexpr int kLastPsAttempt = 2;  // the attempt after it is never confirmed
constexpr int kLastAttempt = 4;

class Transfer {
  public:
    Transfer(PortIo& port, LinkTiming& timing, const SendJob& job, const std::stop_token& stop)
        : port_(port), timing_(timing), job_(job), stop_(stop) {}

    // One counter of attempts runs over both areas.
    LinkFault WriteAreas() {
        int attempts = 0;
        const LinkFault ps = WriteArea(ImageArea::Ps, attempts, 0, kLastPsAttempt);
        if (ps != LinkFault::None) {
            return ps;
        }
        return WriteArea(ImageArea::Rt, attempts, 1, kLastAttempt);
    }

    int BlockWrites() const { return blockWrites_; }
    const PageWrites& Pages() const { return pageWrites_; }

  private:
    // Writes one area until the status line confirms it. A new encoder wait
    // comes before every attempt once `attempts` exceeds waitAfter; the
    // attempt that takes the count past lastAttempt is made but never confirmed.
    LinkFault WriteArea(ImageArea area, int& attempts, int waitAfter, int lastAttempt) {
        const auto elements = AreaElements(job_.image, area);
        const PageSet pages = job_.pages[static_cast<std::size_t>(area)] & PagesOf(area, elements);
        if (pages == 0) {
            ++attempts;  // nothing of it changed: as if written and confirmed at once
            return LinkFault::None;
        }
        LinkFault waited = LinkFault::None;
        for (;;) {
            if (attempts > waitAfter) {
                waited = WaitForEncoder(port_, timing_, job_.portBase, stop_);
            }
            if (waited == LinkFault::None) {
                const int bankBit = job_.bank == 1 ? 0 : 1;
                const BlockWrite block =
                    WriteImageBlock(port_, timing_, area, elements, job_.cpuSpeed, bankBit,
                                    job_.portBase, pages, stop_);
                for (std::size_t page = 0; page < kBlockPages; ++page) {
                    pageWrites_[static_cast<std::size_t>(area)][page] +=
                        (block.written >> page) & 1;
                }
                if (!block.complete) {
                    return LinkFault::Abandoned;
                }
                ++blockWrites_;
            }
            ++attempts;
            if (waited == LinkFault::Abandoned) {
                return waited;
            }
            if (attempts > lastAttempt) {
                return waited != LinkFault::None ? waited : LinkFault::WriteNotConfirmed;
            }
            if (waited != LinkFault::None) {
                return waited;
            }
            if (ReadEncoderStatus(port_, job_.portBase + 1u)) {
                return LinkFault::None;
            }
        }
    }

    PortIo& port_;
    LinkTiming& timing_;
    const SendJob& job_;
    const std::stop_token& stop_;
    int blockWrites_ = 0;
    PageWrites pageWrites_{};
};

}  // namespace

std::span<const BitElement> AreaElements(const EncoderImage& image, ImageArea area) {
    if (area == ImageArea::Ps) {
        return image.PsArea;
    }
    return image.RtArea;
}

MemoryDump WrittenMemory(const EncoderImage& image) {
    const auto written = [&](ImageArea area) {
        const auto elements = AreaElements(image, area);
        return AreaBytes(elements, static_cast<std::size_t>(PageCount(area, elements)) * 16);
    };
    return {written(ImageArea::Ps), written(ImageArea::Rt)};
}

TransferResult TransferImage(PortIo& port, LinkTiming& timing, const SendJob& job,
                             const TransferProgress& progress, const std::stop_token& stop) {
    TransferResult result;
    result.port = port.OpenPort(job.portBase);
    if (result.port.problem) {
        result.problem = result.port.problem;
        return result;
    }
    progress(50);
    LinkFault fault = WaitForEncoder(port, timing, job.portBase, stop);
    const MonotonicTime start = timing.Now();
    Transfer transfer(port, timing, job, stop);
    if (fault == LinkFault::None) {
        progress(100);
        fault = transfer.WriteAreas();
    }
    result.blockWrites = transfer.BlockWrites();
    result.pageWrites = transfer.Pages();
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(timing.Now() - start);
    if (fault != LinkFault::None) {
        result.problem = {fault, LptName(job.portBase)};
    }
    return result;
}

}  // namespace vaxo
