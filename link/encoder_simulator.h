#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "encoding/memory_dump.h"
#include "platform/port_io.h"

namespace vaxo {

// How the simulated encoder behaves.
enum class EncoderScenario {
    Healthy,        // answers and confirms every write it received whole
    Absent,         // no hardware: reads give 0, writes go nowhere
    StuckHigh,      // status line always 1
    StuckLow,       // status line always 0
    NoConfirm,      // stores writes but never confirms them
    ConfirmSecond,  // each area is confirmed only at its second write
    Corrupt,        // confirms, but flips one stored bit
};

std::optional<EncoderScenario> ParseEncoderScenario(const std::string& name);

// Scenarios in turn, each from its second of the run on:
// "healthy,absent@20,healthy@60" is healthy, from second 20 absent, from
// second 60 healthy again. The first holds from the start ("@0" or none).
struct ScenarioStep {
    EncoderScenario scenario = EncoderScenario::Healthy;
    std::chrono::seconds from{0};
};
using EncoderTimeline = std::vector<ScenarioStep>;
struct TimelineReading {
    EncoderTimeline timeline;
    std::string refusal;  // empty when read
};
TimelineReading ParseEncoderTimeline(const std::string& text);

class EncoderSimulator;

// The two areas of bank 1 or 2 as the simulated encoder holds them.
MemoryDump ReadBack(const EncoderSimulator& encoder, int bank);

// Its four blocks as "memory A0 <hex>" .. "memory A6 <hex>" lines, the form
// `vaxoctl preview --image` reads.
std::string MemoryLines(const EncoderSimulator& encoder);

// A bit-level model of the encoder on a parallel port: it decodes clock and
// data from data-register writes (bits 5 and 6, inverted) like a 24Cxx serial
// memory of four 256-byte blocks (device addresses 0xA0..0xA6, 16-byte pages
// committed at the stop condition), and drives status bit 5 at base + 1.
class EncoderSimulator : public PortIo {
  public:
    static constexpr std::size_t kBlockBytes = 256;
    using Block = std::array<std::uint8_t, kBlockBytes>;

    explicit EncoderSimulator(EncoderScenario scenario = EncoderScenario::Healthy,
                              std::uint32_t base = kLpt1Base);
    // Another behaviour from now on; between sends only.
    void SetScenario(EncoderScenario scenario) { scenario_ = scenario; }
    // The timeline's scenario at each access, by `elapsed` since the run began.
    void FollowTimeline(EncoderTimeline timeline,
                        std::function<std::chrono::steady_clock::duration()> elapsed);

    std::uint32_t PortRead(std::uint32_t port, PortWidth width) override;
    void PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) override;

    // Memory block 0..3 (device address 0xA0 + 2·index).
    const Block& Memory(std::size_t index) const { return memory_[index]; }
    // Pages received whole, and transactions that were not.
    int PagesWritten() const { return pagesWritten_; }
    // The writes the memory took into each page of block 0..3 (each wears it).
    int PageWrites(std::size_t block, std::size_t page) const { return pageWrites_[block][page]; }
    int MalformedTransactions() const { return malformed_; }
    // Data-register writes seen.
    long Writes() const { return writes_; }

  private:
    void FollowTheTimeline();
    bool StatusLine();
    bool ConfirmBlockWrite();
    void OnLines(bool clock, bool data);
    void OnStart();
    void OnStop();
    void OnBit(bool bit);
    void OnByte(std::uint8_t byte);

    EncoderScenario scenario_;
    EncoderTimeline timeline_;
    std::function<std::chrono::steady_clock::duration()> elapsed_;
    std::uint32_t base_;
    std::array<Block, 4> memory_{};
    std::uint8_t latch_ = 0;
    bool clock_ = true;
    bool data_ = true;

    bool inTransaction_ = false;
    int bitCount_ = 0;  // bits since the start condition, acknowledge clocks included
    std::uint8_t shift_ = 0;
    int deviceBlock_ = -1;
    std::uint8_t wordAddress_ = 0;
    std::vector<std::uint8_t> pageData_;

    int pagesSinceStatus_ = 0;
    bool faultSinceStatus_ = false;
    int lastBlock_ = 0;
    std::array<int, 4> blockWrites_{};
    long statusPolls_ = 0;
    bool corrupted_ = false;

    int pagesWritten_ = 0;
    std::array<std::array<int, kBlockBytes / 16>, 4> pageWrites_{};
    int malformed_ = 0;
    long writes_ = 0;
};

}  // namespace vaxo
