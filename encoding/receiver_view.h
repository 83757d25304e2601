#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "record/rds_parameter_set.h"

namespace vaxo {

// A text as the groups delivered it: its RDS bytes, and which of them came in
// a block whose checkword held (a receiver has nothing for the others).
struct ReceivedText {
    std::string bytes;
    std::vector<bool> received;

    explicit ReceivedText(std::size_t length = 0) : bytes(length, ' '), received(length, false) {}
    // As a receiver shows it, in UTF-8: U+FFFD for a character not received
    // or one the RDS table has no character for.
    std::string Shown() const;
    bool Complete() const;
};

// One group of the memory: its four information words and whether each
// block's checkword matched its offset word.
struct ReceivedGroup {
    int area = 1;   // 1 or 2
    int index = 0;  // the group's place in its area
    std::array<std::uint16_t, 4> words{};
    std::array<bool, 4> intact{};
    bool IsZeroA() const { return intact[1] && (words[1] >> 11) == 0b00000; }
    bool IsTwoA() const { return intact[1] && (words[1] >> 11) == 0b00100; }
};

// A block whose checkword failed: its contents are not used.
struct BadBlock {
    int area = 1;
    int group = 0;  // in area 1, groups 4 onward are the dynamic PS table's rows
    char block = 'A';
};

struct DynamicPsView {
    int repeat = 0;       // the repeat value (step) as written
    int stepSeconds = 0;  // how long each text stays
    std::array<ReceivedText, kDpsCount> texts;
};

// What a receiver makes of the encoder memory, decoded from the bytes as
// they were written: area 1 (up to 192 bytes: the four 0A groups, the
// repeat value, the mode flags, the dynamic PS table) and area 2 (up to 208
// bytes: sixteen 2A groups, or copies of the 0A groups). A shorter area, as
// a send of four pages leaves it, gives what it holds.
struct ReceiverView {
    std::vector<ReceivedGroup> groups;
    int totalBlocks = 0;
    std::vector<BadBlock> badBlocks;

    std::optional<std::uint16_t> pi;
    ReceivedText ps{8};
    std::optional<DynamicPsView> dps;
    bool radiotextFlagged = true;    // byte 53 bit 0 clear: area 2 carries a radiotext
    std::optional<ReceivedText> rt;  // from the 2A groups
    std::optional<int> ab;
    int zeroAGroupsInArea2 = 0;
    std::optional<int> pty;
    std::optional<bool> tp, ta, music;
    std::array<std::optional<bool>, 4> di{};  // d0 stereo .. d3 dynamic PTY
    std::optional<int> afCount;               // the count the list announces
    std::vector<int> afCodes;                 // the codes that follow, in order
    bool bothBanks = false;

    bool AllBlocksIntact() const { return badBlocks.empty(); }
};

ReceiverView DecodeEncoderMemory(std::span<const std::uint8_t> area1,
                                 std::span<const std::uint8_t> area2);

// An AF code 1..204 as the frequency in tenths of MHz (876 .. 1079).
inline int AfTenthsOfMhz(int code) {
    return 875 + code;
}

// The standard's names of a programme type, and the North American (RBDS) ones.
const std::string& RdsProgrammeTypeName(int pty);
const std::string& RbdsProgrammeTypeName(int pty);

}  // namespace vaxo
