#include "link/encoder_simulator.h"

#include <charconv>
#include <cstdio>
#include <map>

#include "link/encoder_lines.h"

namespace vaxo {
namespace {

constexpr int kFrameBits = 9;                    // eight data bits and the acknowledge clock
constexpr int kPageFrames = 2 + kPageDataBytes;  // device address, word address, data
constexpr std::size_t kCorruptedByte = 5;

const std::map<std::string, EncoderScenario>& ScenarioNames() {
    static const std::map<std::string, EncoderScenario> names{
        {"healthy", EncoderScenario::Healthy},
        {"absent", EncoderScenario::Absent},
        {"stuck-high", EncoderScenario::StuckHigh},
        {"stuck-low", EncoderScenario::StuckLow},
        {"no-confirm", EncoderScenario::NoConfirm},
        {"confirm-second", EncoderScenario::ConfirmSecond},
        {"corrupt", EncoderScenario::Corrupt},
    };
    return names;
}

}  // namespace

MemoryDump ReadBack(const EncoderSimulator& encoder, int bank) {
    const std::size_t first = bank == 2 ? 2 : 0;
    const auto& area1 = encoder.Memory(first);
    const auto& area2 = encoder.Memory(first + 1);
    return {{area1.begin(), area1.begin() + 192}, {area2.begin(), area2.begin() + 208}};
}

std::string MemoryLines(const EncoderSimulator& encoder) {
    std::string lines;
    for (std::size_t block = 0; block < 4; ++block) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(0xA0 + 2 * block));
        lines += "memory " + std::string(text) + ' ';
        for (std::uint8_t byte : encoder.Memory(block)) {
            std::snprintf(text, sizeof text, "%02X", byte);
            lines += text;
        }
        lines += '\n';
    }
    return lines;
}

std::optional<EncoderScenario> ParseEncoderScenario(const std::string& name) {
    const auto found = ScenarioNames().find(name);
    if (found == ScenarioNames().end()) {
        return std::nullopt;
    }
    return found->second;
}

TimelineReading ParseEncoderTimeline(const std::string& text) {
    TimelineReading reading;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        const std::string step = text.substr(at, comma == std::string::npos ? comma : comma - at);
        const std::size_t sign = step.find('@');
        const auto scenario = ParseEncoderScenario(step.substr(0, sign));
        if (!scenario) {
            return {{}, "unknown scenario " + step.substr(0, sign)};
        }
        long long seconds = 0;
        if (sign != std::string::npos) {
            const std::string number = step.substr(sign + 1);
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), seconds);
            if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
                seconds < 0 || seconds > 10'000'000) {
                return {{}, "a scenario's time is its second of the run: " + step};
            }
        }
        if (!reading.timeline.empty() && seconds <= reading.timeline.back().from.count()) {
            return {{}, "each scenario comes later than the one before: " + step};
        }
        if (reading.timeline.empty() && seconds != 0) {
            return {{}, "the first scenario holds from the start: " + step};
        }
        reading.timeline.push_back({*scenario, std::chrono::seconds(seconds)});
        if (comma == std::string::npos) {
            return reading;
        }
        at = comma + 1;
    }
}

EncoderSimulator::EncoderSimulator(EncoderScenario scenario, std::uint32_t base)
    : scenario_(scenario), base_(base) {
    for (auto& block : memory_) {
        block.fill(0xFF);  // an erased serial memory
    }
}

void EncoderSimulator::FollowTimeline(
    EncoderTimeline timeline, std::function<std::chrono::steady_clock::duration()> elapsed) {
    timeline_ = std::move(timeline);
    elapsed_ = std::move(elapsed);
    FollowTheTimeline();
}

void EncoderSimulator::FollowTheTimeline() {
    if (timeline_.empty()) {
        return;
    }
    const auto now = elapsed_();
    for (const ScenarioStep& step : timeline_) {
        if (step.from <= now) {
            scenario_ = step.scenario;
        }
    }
}

std::uint32_t EncoderSimulator::PortRead(std::uint32_t port, PortWidth width) {
    FollowTheTimeline();
    if (scenario_ == EncoderScenario::Absent || width != PortWidth::Byte) {
        return 0;
    }
    if (port == base_) {
        return latch_;
    }
    if (port == base_ + 1) {
        return StatusLine() ? kStatusBit : 0;
    }
    return 0;
}

void EncoderSimulator::PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) {
    if (scenario_ == EncoderScenario::Absent || width != PortWidth::Byte || port != base_) {
        return;
    }
    ++writes_;
    latch_ = static_cast<std::uint8_t>(value);
    const LineState lines = LineState::Of(latch_);
    OnLines(lines.clock == 1, lines.data == 1);
}

bool EncoderSimulator::StatusLine() {
    switch (scenario_) {
        case EncoderScenario::StuckHigh:
            return true;
        case EncoderScenario::StuckLow:
            return false;
        default:
            break;
    }
    if (pagesSinceStatus_ > 0 || faultSinceStatus_) {
        return ConfirmBlockWrite();
    }
    // Ready: the line goes low, then high, over and over.
    return (statusPolls_++ / 2) % 2 == 1;
}

// The first status read after a block write: 1 confirms it. Only a block
// whose every page arrived whole can be confirmed.
bool EncoderSimulator::ConfirmBlockWrite() {
    const bool whole = pagesSinceStatus_ > 0 && !faultSinceStatus_;
    const int attempts = ++blockWrites_[static_cast<std::size_t>(lastBlock_)];
    pagesSinceStatus_ = 0;
    faultSinceStatus_ = false;
    switch (scenario_) {
        case EncoderScenario::NoConfirm:
            return false;
        case EncoderScenario::ConfirmSecond:
            return whole && attempts >= 2;
        default:
            return whole;
    }
}

void EncoderSimulator::OnLines(bool clock, bool data) {
    if (clock_ && clock && data != data_) {
        data ? OnStop() : OnStart();
    } else if (!clock_ && clock) {
        OnBit(data);
    }
    clock_ = clock;
    data_ = data;
}

void EncoderSimulator::OnStart() {
    if (inTransaction_) {
        ++malformed_;  // a write broken off by a new start is dropped
        faultSinceStatus_ = true;
    }
    inTransaction_ = true;
    bitCount_ = 0;
    shift_ = 0;
    deviceBlock_ = -1;
    pageData_.clear();
}

void EncoderSimulator::OnBit(bool bit) {
    if (!inTransaction_) {
        return;
    }
    const int position = bitCount_++ % kFrameBits;
    if (position < 8) {
        shift_ = static_cast<std::uint8_t>(shift_ << 1 | (bit ? 1 : 0));
    }
    if (position == 7) {
        OnByte(shift_);
    }
}

void EncoderSimulator::OnByte(std::uint8_t byte) {
    const int index = bitCount_ / kFrameBits;
    if (index == 0) {
        const bool memoryWrite = (byte & 0xF9) == 0xA0;
        deviceBlock_ = memoryWrite ? (byte >> 1) & 0x03 : -1;
    } else if (index == 1) {
        wordAddress_ = byte;
    } else {
        pageData_.push_back(byte);
    }
}

void EncoderSimulator::OnStop() {
    if (!inTransaction_) {
        return;
    }
    inTransaction_ = false;
    // The clock pulse that carries the stop condition opens a frame of its own.
    const bool whole =
        deviceBlock_ >= 0 && bitCount_ / kFrameBits == kPageFrames && bitCount_ % kFrameBits <= 1;
    if (deviceBlock_ < 0) {
        ++malformed_;
        faultSinceStatus_ = true;
        return;
    }
    auto& block = memory_[static_cast<std::size_t>(deviceBlock_)];
    const std::uint8_t pageStart = wordAddress_ & 0xF0;
    for (std::size_t i = 0; i < pageData_.size(); ++i) {
        block[pageStart | ((wordAddress_ + i) & 0x0F)] = pageData_[i];
    }
    if (scenario_ == EncoderScenario::Corrupt && !corrupted_ && !pageData_.empty()) {
        block[pageStart | ((wordAddress_ + kCorruptedByte) & 0x0F)] ^= 0x01;
        corrupted_ = true;
    }
    lastBlock_ = deviceBlock_;
    ++pageWrites_[static_cast<std::size_t>(deviceBlock_)][pageStart >> 4];
    if (whole) {
        ++pagesWritten_;
        ++pagesSinceStatus_;
    } else {
        ++malformed_;
        faultSinceStatus_ = true;
    }
}

}  // namespace vaxo
