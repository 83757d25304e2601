#include "encoding/encoder_image.h"

#include <algorithm>
#include <span>

#include "encoding/checkword.h"
#include "encoding/rds_characters.h"
#include "record/field_schema.h"

namespace vaxo {
namespace {

constexpr std::size_t kPsGroupsElements = 4 * kGroupElements;  // 416
constexpr std::size_t kRepeatValue = 416;
constexpr std::size_t kBothBanksFlag = 430;
constexpr std::size_t kNoRadiotextFlag = 431;
constexpr std::size_t kDpsTable = 512;
constexpr std::size_t kDpsRow = 32;
constexpr std::size_t kDpsRowSource = 72;  // last 6 check bits of block 3, then block 4

constexpr std::size_t kBlock2 = 26;
constexpr std::size_t kBlock3 = 52;
constexpr std::size_t kBlock4 = 78;

std::string Padded(const std::string& text, std::size_t width) {
    std::string padded(width, ' ');
    std::copy_n(text.begin(), std::min(text.size(), width), padded.begin());
    return padded;
}

unsigned CharPair(const std::string& text, std::size_t first) {
    return static_cast<unsigned>(static_cast<unsigned char>(text[first])) << 8 |
           static_cast<unsigned char>(text[first + 1]);
}

void PutElements(std::span<BitElement> group, std::size_t at, std::span<const BitElement> bits) {
    std::copy(bits.begin(), bits.end(), group.begin() + static_cast<std::ptrdiff_t>(at));
}

void AddAllCheckwords(std::span<BitElement> group) {
    AddCheckword(group, 0, BlockOffset::A);
    AddCheckword(group, 1, BlockOffset::B);
    AddCheckword(group, 2, BlockOffset::C);
    AddCheckword(group, 3, BlockOffset::D);
}

// Blocks 1 and 2 up to the segment-specific bits, common to 0A and 2A.
void PutGroupHead(std::span<BitElement> group, const EncodedFields& f, unsigned groupType) {
    PutElements(group, 0, f.PiBits);
    PutBits(group, kBlock2, groupType, 4);
    group[kBlock2 + 4] = 0;  // version A
    group[kBlock2 + 5] = f.FlagBits[6];
    PutElements(group, kBlock2 + 6, std::span(f.FlagBits).first(5));
}

void Build0AGroup(std::span<BitElement> group, const EncodedFields& f, std::size_t segment,
                  const std::string& ps) {
    PutGroupHead(group, f, 0);
    group[kBlock2 + 11] = f.FlagBits[7];
    group[kBlock2 + 12] = f.FlagBits[5];
    group[kBlock2 + 13] = f.DiBits[segment];
    PutBits(group, kBlock2 + 14, static_cast<unsigned>(segment), 2);
    PutElements(group, kBlock3, f.AfBits[segment]);
    PutBits(group, kBlock4, CharPair(ps, 2 * segment), 16);
    AddAllCheckwords(group);
}

void Build2AGroup(std::span<BitElement> group, const EncodedFields& f, std::size_t segment,
                  const std::string& rt) {
    PutGroupHead(group, f, 2);
    group[kBlock2 + 11] = f.FlagBits[8];
    PutBits(group, kBlock2 + 12, static_cast<unsigned>(segment), 4);
    PutBits(group, kBlock3, CharPair(rt, 4 * segment), 16);
    PutBits(group, kBlock4, CharPair(rt, 4 * segment + 2), 16);
    AddAllCheckwords(group);
}

void FillDpsTable(const EncodedFields& f, EncoderImage& image) {
    std::array<BitElement, kGroupElements> scratch{};
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        for (std::size_t g = 0; g < 4; ++g) {
            PutElements(scratch, kBlock3, f.AfBits[g]);
            PutBits(scratch, kBlock4, CharPair(image.DpsTexts[k], 2 * g), 16);
            AddCheckword(scratch, 2, BlockOffset::C);
            AddCheckword(scratch, 3, BlockOffset::D);
            std::copy_n(scratch.begin() + kDpsRowSource, kDpsRow,
                        image.PsArea.begin() + kDpsTable + 128 * k + kDpsRow * g);
        }
    }
}

void StageDpsTexts(const RdsParameterSet& set, const ImageClock& clock, EncoderImage& image) {
    if (!set.ENDPS) {
        image.DpsTexts.fill(image.PsText);
        return;
    }
    const std::string date = DpsDateText(clock.now).substr(0, 8);
    const std::string time = DpsTimeText(clock.now).substr(0, 8);
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        std::string text = set.DPS[k];
        if (text == "%%DATE%%") {
            text = date;
        }
        if (text == "%%TIME%%") {
            text = time;
        }
        image.SentDpsTexts[k] = text;
        image.DpsTexts[k] = StationTextToRds(Padded(text, kPsLength));
    }
    for (std::size_t k = kDpsCount; k-- > 0 && set.DPS[k].empty();) {
        image.DpsTexts[k] = image.PsText;
    }
}

}  // namespace

void EncodeGroups(const RdsParameterSet& set, const EncodedFields& fields, bool rtPresent,
                  EncoderImage& image) {
    image.PsArea.fill(0);
    image.PsArea[kBothBanksFlag] = set.AUTBSW ? 1 : 0;
    image.PsArea[kNoRadiotextFlag] = rtPresent ? 0 : 1;
    if (set.ENDPS || set.AUTBSW) {
        image.PsArea[kDpsTablePresent] = 1;
        PutBits(image.PsArea, kRepeatValue, static_cast<unsigned>(set.DPSP) & 0xFFu, 8);
        FillDpsTable(fields, image);
    }
    const std::span<BitElement> psArea(image.PsArea);
    for (std::size_t g = 0; g < 4; ++g) {
        Build0AGroup(psArea.subspan(g * kGroupElements, kGroupElements), fields, g, image.PsText);
    }
    const std::span<BitElement> rtArea(image.RtArea);
    if (rtPresent) {
        image.RtArea.fill(0);
        for (std::size_t s = 0; s < 16; ++s) {
            Build2AGroup(rtArea.subspan(s * kGroupElements, kGroupElements), fields, s,
                         image.RtText);
        }
        return;
    }
    for (std::size_t copy = 0; copy < 4; ++copy) {
        std::copy_n(image.PsArea.begin(), kPsGroupsElements,
                    image.RtArea.begin() + copy * kPsGroupsElements);
    }
}

std::string OnAirText(const RdsParameterSet& set, FieldId field, const std::string& text) {
    const auto kept = set.serverTexts.find(field);
    if (kept != set.serverTexts.end() && RdsToStationText(kept->second) == text) {
        return kept->second;
    }
    return StationTextToRds(text);
}

void BuildEncoderImage(const RdsParameterSet& set, int textAbFlag, const ImageClock& clock,
                       EncodedFields& fields, EncoderImage& image) {
    const bool rtPresent = !set.ActualRT().empty();
    image.TextAbFlag = textAbFlag;
    image.PsText = Padded(OnAirText(set, FieldId::PS, set.PS), kPsLength);
    const FieldId radiotext =
        set.SELRT >= 1 && set.SELRT <= 4 ? RadiotextField(set.SELRT) : FieldId::RT;
    image.RtText = Padded(OnAirText(set, radiotext, set.ActualRT()), kRadiotextLength);
    StageDpsTexts(set, clock, image);
    EncodePI(fields, CheckPI(set.PI.str()));
    EncodePTY(fields, set.PTY);
    EncodeFlags(fields, set, textAbFlag);
    EncodeAF(fields, set.AF, clock.decimalSeparator);
    EncodeGroups(set, fields, rtPresent, image);
}

}  // namespace vaxo
