#include "encoding/receiver_view.h"

#include "encoding/checkword.h"
#include "encoding/rds_characters.h"
#include "record/rds_parameter_set.h"

namespace vaxo {
namespace {

constexpr std::size_t kGroupBytes = 13;
constexpr std::size_t kRepeatByte = 52;
constexpr std::size_t kFlagByte = 53;
constexpr std::size_t kTableStart = 64;
constexpr std::size_t kTableBytes = 128;
constexpr unsigned kOffsets[4] = {
    static_cast<unsigned>(BlockOffset::A), static_cast<unsigned>(BlockOffset::B),
    static_cast<unsigned>(BlockOffset::C), static_cast<unsigned>(BlockOffset::D)};

// Bits of an area, element 8m + k being bit 7 - k of byte m.
std::uint32_t Bits(std::span<const std::uint8_t> area, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i, ++at) {
        value = value << 1 | ((area[at / 8] >> (7 - at % 8)) & 1u);
    }
    return value;
}

ReceivedGroup ReadGroup(std::span<const std::uint8_t> area, int areaNumber, int index) {
    ReceivedGroup group{areaNumber, index};
    const std::size_t start = static_cast<std::size_t>(index) * kGroupBytes * 8;
    for (std::size_t b = 0; b < 4; ++b) {
        const std::uint32_t block = Bits(area, start + 26 * b, 26);
        group.words[b] = static_cast<std::uint16_t>(block >> 10);
        group.intact[b] = BlockSyndrome(block) == kOffsets[b];
    }
    return group;
}

// Takes a value the first time a group gives one; later groups agree or not.
template <typename T>
void Take(std::optional<T>& slot, T value) {
    if (!slot) {
        slot = value;
    }
}

void PutPair(ReceivedText& text, std::size_t at, std::uint16_t word) {
    for (std::size_t i = 0; i < 2 && at + i < text.bytes.size(); ++i) {
        text.bytes[at + i] = static_cast<char>(i == 0 ? word >> 8 : word & 0xFF);
        text.received[at + i] = true;
    }
}

class Decoder {
  public:
    Decoder(std::span<const std::uint8_t> area1, std::span<const std::uint8_t> area2)
        : area1_(area1), area2_(area2) {}

    ReceiverView Decode() {
        for (int g = 0; g < 4 && Fits(area1_, g); ++g) {
            const ReceivedGroup group = Keep(ReadGroup(area1_, 1, g));
            if (group.IsZeroA()) {
                TakeZeroA(group);
            }
        }
        if (area1_.size() > kFlagByte) {
            view_.bothBanks = (area1_[kFlagByte] & 0x02) != 0;
            view_.radiotextFlagged = (area1_[kFlagByte] & 0x01) == 0;
        }
        if (area1_.size() > kRepeatByte && area1_[kRepeatByte] != 0) {
            TakeTable();
        }
        for (int g = 0; g < 16 && Fits(area2_, g); ++g) {
            const ReceivedGroup group = Keep(ReadGroup(area2_, 2, g));
            if (group.IsTwoA()) {
                TakeTwoA(group);
            } else if (group.IsZeroA()) {
                ++view_.zeroAGroupsInArea2;
            }
        }
        return std::move(view_);
    }

  private:
    static bool Fits(std::span<const std::uint8_t> area, int group) {
        return area.size() >= (static_cast<std::size_t>(group) + 1) * kGroupBytes;
    }

    const ReceivedGroup& Keep(ReceivedGroup group) {
        for (std::size_t b = 0; b < 4; ++b) {
            ++view_.totalBlocks;
            if (!group.intact[b]) {
                view_.badBlocks.push_back({group.area, group.index, static_cast<char>('A' + b)});
            }
        }
        if (group.intact[0]) {
            Take(view_.pi, group.words[0]);
        }
        view_.groups.push_back(group);
        return view_.groups.back();
    }

    void TakeZeroA(const ReceivedGroup& group) {
        const std::uint16_t b = group.words[1];
        const unsigned segment = b & 0x3;
        Take(view_.tp, ((b >> 10) & 1) != 0);
        Take(view_.pty, static_cast<int>((b >> 5) & 0x1F));
        Take(view_.ta, ((b >> 4) & 1) != 0);
        Take(view_.music, ((b >> 3) & 1) != 0);
        Take(view_.di[3 - segment], ((b >> 2) & 1) != 0);
        if (group.intact[2]) {
            TakeAfPair(segment, group.words[2]);
        }
        if (group.intact[3]) {
            PutPair(view_.ps, 2 * segment, group.words[3]);
        }
    }

    // Method A: segment 0 carries the count 224 + N and the first code, the
    // others two codes each; 205 fills.
    void TakeAfPair(unsigned segment, std::uint16_t word) {
        const int first = word >> 8;
        const int second = word & 0xFF;
        afPairs_[segment] = {first, second};
        if (segment == 0 && first >= 224 && first <= 249) {
            view_.afCount = first - 224;
        }
        view_.afCodes.clear();
        for (std::size_t s = 0; s < 4; ++s) {
            if (!afPairs_[s]) {
                continue;
            }
            const auto [a, b] = *afPairs_[s];
            if (s != 0 && a != 205) {
                view_.afCodes.push_back(a);
            }
            if (b != 205) {
                view_.afCodes.push_back(b);
            }
        }
    }

    // Row (k, g) holds the last 6 check bits of block 3 and block 4 of the
    // 0A group for segment g with text k.
    void TakeTable() {
        DynamicPsView dps;
        dps.repeat = area1_[kRepeatByte];
        dps.stepSeconds = (dps.repeat + 1) * 28 / 10;
        for (auto& text : dps.texts) {
            text = ReceivedText(8);
        }
        const std::size_t rows =
            std::min(kTableBytes, area1_.size() - std::min(area1_.size(), kTableStart)) / 4;
        for (std::size_t row = 0; row < rows; ++row) {
            const std::size_t k = row / 4;
            const std::size_t g = row % 4;
            const std::uint32_t block = Bits(area1_, (kTableStart + 4 * row) * 8 + 6, 26);
            ++view_.totalBlocks;
            if (BlockSyndrome(block) != kOffsets[3]) {
                view_.badBlocks.push_back({1, static_cast<int>(4 + row), 'D'});
                continue;
            }
            PutPair(dps.texts[k], 2 * g, static_cast<std::uint16_t>(block >> 10));
        }
        view_.dps = std::move(dps);
    }

    void TakeTwoA(const ReceivedGroup& group) {
        const std::uint16_t b = group.words[1];
        Take(view_.tp, ((b >> 10) & 1) != 0);
        Take(view_.pty, static_cast<int>((b >> 5) & 0x1F));
        Take(view_.ab, static_cast<int>((b >> 4) & 1));
        const std::size_t segment = b & 0xF;
        if (!view_.rt) {
            view_.rt = ReceivedText(kRadiotextLength);
        }
        if (group.intact[2]) {
            PutPair(*view_.rt, 4 * segment, group.words[2]);
        }
        if (group.intact[3]) {
            PutPair(*view_.rt, 4 * segment + 2, group.words[3]);
        }
    }

    std::span<const std::uint8_t> area1_;
    std::span<const std::uint8_t> area2_;
    ReceiverView view_;
    std::array<std::optional<std::pair<int, int>>, 4> afPairs_{};
};

}  // namespace

std::string ReceivedText::Shown() const {
    std::string shown;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        shown += received[i] ? RdsTextToUtf8(bytes.substr(i, 1)) : "\xEF\xBF\xBD";
    }
    return shown;
}

bool ReceivedText::Complete() const {
    for (bool got : received) {
        if (!got) {
            return false;
        }
    }
    return true;
}

ReceiverView DecodeEncoderMemory(std::span<const std::uint8_t> area1,
                                 std::span<const std::uint8_t> area2) {
    return Decoder(area1, area2).Decode();
}

const std::string& RdsProgrammeTypeName(int pty) {
    static const std::array<std::string, 32> names = {"No programme type",
                                                      "News",
                                                      "Current Affairs",
                                                      "Information",
                                                      "Sport",
                                                      "Education",
                                                      "Drama",
                                                      "Culture",
                                                      "Science",
                                                      "Varied",
                                                      "Pop Music",
                                                      "Rock Music",
                                                      "Easy Listening",
                                                      "Light Classical",
                                                      "Serious Classical",
                                                      "Other Music",
                                                      "Weather",
                                                      "Finance",
                                                      "Children's programmes",
                                                      "Social Affairs",
                                                      "Religion",
                                                      "Phone-in",
                                                      "Travel",
                                                      "Leisure",
                                                      "Jazz Music",
                                                      "Country Music",
                                                      "National Music",
                                                      "Oldies Music",
                                                      "Folk Music",
                                                      "Documentary",
                                                      "Alarm Test",
                                                      "Alarm"};
    return names[static_cast<std::size_t>(pty & 0x1F)];
}

const std::string& RbdsProgrammeTypeName(int pty) {
    static const std::array<std::string, 32> names = {"No program type",
                                                      "News",
                                                      "Information",
                                                      "Sports",
                                                      "Talk",
                                                      "Rock",
                                                      "Classic Rock",
                                                      "Adult Hits",
                                                      "Soft Rock",
                                                      "Top 40",
                                                      "Country",
                                                      "Oldies",
                                                      "Soft",
                                                      "Nostalgia",
                                                      "Jazz",
                                                      "Classical",
                                                      "Rhythm and Blues",
                                                      "Soft Rhythm and Blues",
                                                      "Foreign Language",
                                                      "Religious Music",
                                                      "Religious Talk",
                                                      "Personality",
                                                      "Public",
                                                      "College",
                                                      "Spanish Talk",
                                                      "Spanish Music",
                                                      "Hip Hop",
                                                      "Unassigned",
                                                      "Unassigned",
                                                      "Weather",
                                                      "Emergency Test",
                                                      "Emergency"};
    return names[static_cast<std::size_t>(pty & 0x1F)];
}

}  // namespace vaxo
