#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vaxo {

// The encoder on the printer port: bit 5 of the data register drives the
// clock line and bit 6 the data line, both inverted (a 1 pulls the line
// low); bit 5 of the status register (paper end) is the encoder's answer.
inline constexpr std::uint8_t kClockBit = 0x20;
inline constexpr std::uint8_t kDataBit = 0x40;
inline constexpr std::uint8_t kStatusBit = 0x20;

// Levels of the two lines, and the data-register value that drives them.
struct LineState {
    int clock;
    int data;
    constexpr std::uint8_t Value() const {
        return static_cast<std::uint8_t>((clock ? 0 : kClockBit) | (data ? 0 : kDataBit));
    }
    static constexpr LineState Of(std::uint8_t value) {
        return {(value & kClockBit) ? 0 : 1, (value & kDataBit) ? 0 : 1};
    }
};

// Idle, start condition, device-address byte 1010 0BH0 and its acknowledge
// clock, row by row; in the data column 4 stands for the bank bit B and 2 for
// the area bit H. A terminator row closes the table.
inline constexpr std::uint8_t kStartSequenceEnd = 3;
inline constexpr std::uint8_t kBankBit = 4;
inline constexpr std::uint8_t kAreaBit = 2;
struct StartRow {
    std::uint8_t clock;
    std::uint8_t data;
};
// clang-format off
inline constexpr std::array<StartRow, 29> kStartSequence = {{
    {1, 1}, {1, 0},                                       // idle, start condition
    {0, 0}, {0, 1}, {1, 1},                               // address bit 1
    {0, 1}, {0, 0}, {1, 0},                               // 0
    {0, 0}, {0, 1}, {1, 1},                               // 1
    {0, 1}, {0, 0}, {1, 0},                               // 0
    {0, 0}, {1, 0},                                       // 0
    {0, kBankBit}, {1, kBankBit}, {0, kBankBit},          // B
    {0, kAreaBit}, {1, kAreaBit}, {0, kAreaBit},          // H
    {0, 0}, {1, 0}, {0, 0},                               // 0: write
    {0, 1}, {1, 1}, {0, 1},                               // acknowledge clock
    {kStartSequenceEnd, kStartSequenceEnd},
}};
// clang-format on

// A bit is three line states (clock low, high, low) with the data line set;
// a byte is eight bits and the acknowledge clock; the stop condition three.
inline constexpr int kWritesPerBit = 3;
inline constexpr int kWritesPerFrame = 9 * kWritesPerBit;
inline constexpr int kStopWrites = 3;
inline constexpr int kPageDataBytes = 16;
// Writes per 16-byte page: start sequence, word address, data, stop.
inline constexpr int kWritesPerPage = static_cast<int>(kStartSequence.size() - 1) +
                                      kWritesPerFrame + kPageDataBytes * kWritesPerFrame +
                                      kStopWrites;
static_assert(kWritesPerPage == 490);

}  // namespace vaxo
