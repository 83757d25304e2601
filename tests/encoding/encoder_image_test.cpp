#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "encoding/checkword.h"
#include "encoding/encoder_image.h"
#include "encoding/receiver_view.h"

namespace vaxo {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::uint8_t> Hex(const char* text) {
    std::vector<std::uint8_t> bytes;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ')
            continue;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
        ++p;
    }
    return bytes;
}

struct Built {
    RdsParameterSet set;
    EncoderImage image;
    std::vector<std::uint8_t> area1;
    std::vector<std::uint8_t> area2;
};

Built Build(RdsParameterSet set, const char* at = "2026-12-08 12:00:00", int textAb = 0) {
    EncodedFields fields;
    Built built;
    BuildEncoderImage(set, textAb, {*ParseLocalTime(at), '.'}, fields, built.image);
    built.set = set;
    built.area1 = AreaBytes(built.image.PsArea, kPsAreaBytes);
    built.area2 = AreaBytes(built.image.RtArea, kRtAreaBytes);
    return built;
}

std::vector<std::uint8_t> Bytes(const std::vector<std::uint8_t>& all, std::size_t from,
                                std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(from),
            all.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

// Dynamic PS text k as a receiver gets it from the table.
std::string DpsEntry(const Built& built, std::size_t k) {
    const ReceiverView view = DecodeEncoderMemory(built.area1, built.area2);
    return view.dps ? view.dps->texts[k].bytes : "(no table)";
}

TEST(EncoderImage, DefaultSetGivesTheKnownFmRadioGroups) {
    const Built built = Build({});
    EXPECT_THAT(Bytes(built.area1, 0, 52),
                ElementsAreArray(Hex("FF FF 0C 41 02 1E BE 0C D7 A5 19 34 4B"
                                     "FF FF 0C 41 02 45 2C DC DA CC 81 4A E1"
                                     "FF FF 0C 41 02 A9 9C DC DA CD 05 10 E5"
                                     "FF FF 0C 41 02 F2 0C DC DA CD 25 3E 74")));
}

TEST(EncoderImage, PiChangesOnlyBlockOne) {
    RdsParameterSet set;
    set.PI = "d3c2";
    const Built built = Build(set);
    EXPECT_THAT(Bytes(built.area1, 0, 13),
                ElementsAreArray(Hex("D3 C2 CA 01 02 1E BE 0C D7 A5 19 34 4B")));
    EXPECT_EQ(built.set.PI, "D3C2");
}

TEST(EncoderImage, ZeroInformationWordCarriesItsOffsetWord) {
    RdsParameterSet set;
    set.PI = "0000";
    const Built built = Build(set);
    EXPECT_EQ(GetBits(built.image.PsArea, 16, 10), 0x0FCu);
    EXPECT_EQ(Checkword(0, BlockOffset::D), 0x1B4u);
}

TEST(EncoderImage, NoRadiotextRepeatsThePsGroupsInAreaTwo) {
    for (int selection : {0, 1}) {
        RdsParameterSet set;
        set.SELRT = selection;
        set.RT2 = "not selected";
        const Built built = Build(set);
        EXPECT_EQ(built.area1[53] & 0x01, 1);
        for (std::size_t copy = 0; copy < 4; ++copy) {
            EXPECT_EQ(Bytes(built.area2, 52 * copy, 52), Bytes(built.area1, 0, 52));
        }
    }
}

TEST(EncoderImage, RadiotextFillsSixteenGroupsPaddedWithSpaces) {
    RdsParameterSet set;
    set.RT = "HELLO";
    const Built built = Build(set, "2026-12-08 12:00:00", 1);
    EXPECT_EQ(built.area1[53] & 0x01, 0);
    EXPECT_EQ(built.image.RtText, "HELLO" + std::string(59, ' '));
    const std::span<const BitElement> rt(built.image.RtArea);
    auto words = [&](std::size_t group) {
        const auto g = rt.subspan(group * kGroupElements, kGroupElements);
        return std::array{GetBits(g, 26, 16), GetBits(g, 52, 16), GetBits(g, 78, 16)};
    };
    EXPECT_EQ(words(0), (std::array<unsigned, 3>{0x2410, 0x4845, 0x4C4C}));  // 2A, TP, A/B, seg 0
    EXPECT_EQ(words(1), (std::array<unsigned, 3>{0x2411, 0x4F20, 0x2020}));
    for (std::size_t group = 2; group < 16; ++group) {
        EXPECT_EQ(words(group)[1], 0x2020u);
        EXPECT_EQ(words(group)[2], 0x2020u);
        EXPECT_EQ(words(group)[0] & 0xF, group);
    }
    RdsParameterSet spaces;
    spaces.RT = " ";
    EXPECT_EQ(Build(spaces).area1[53] & 0x01, 0) << "a radiotext of spaces is present";
}

TEST(EncoderImage, WithoutDynamicPsOrBothBanksTheTableIsEmpty) {
    RdsParameterSet set;
    set.DPSP = 65;
    const Built built = Build(set);
    EXPECT_FALSE(built.image.DpsTablePresent());
    EXPECT_EQ(built.area1[52], 0);
    EXPECT_EQ(Bytes(built.area1, 64, 128), std::vector<std::uint8_t>(128, 0));
}

TEST(EncoderImage, BothBanksAloneFillsTheTableFromTheStaticPs) {
    RdsParameterSet set;
    set.AUTBSW = true;
    set.DPSP = 65;
    const Built built = Build(set);
    EXPECT_TRUE(built.image.DpsTablePresent());
    EXPECT_EQ(built.area1[52], 0x41);
    EXPECT_EQ(built.area1[53], 0x03);
    for (std::size_t k = 0; k < 8; ++k) {
        for (std::size_t g = 0; g < 4; ++g) {
            EXPECT_EQ(Bytes(built.area1, 64 + 16 * k + 4 * g, 4), Bytes(built.area1, 13 * g + 9, 4))
                << k << "," << g;
        }
    }
    set.DPSP = 7;
    EXPECT_EQ(Build(set).area1[52], 0x07);
}

TEST(EncoderImage, DynamicPsFillsDownFromTheLastText) {
    RdsParameterSet set;
    set.ENDPS = true;
    set.DPS[0] = "NEWS";
    Built built = Build(set);
    EXPECT_EQ(DpsEntry(built, 0), "NEWS    ");
    for (std::size_t k = 1; k < 8; ++k) {
        EXPECT_EQ(DpsEntry(built, k), "FM RADIO") << k;
    }
    EXPECT_EQ(built.area1[53] & 0x02, 0);

    set.DPS[0] = "";
    set.DPS[1] = "ROCK";
    built = Build(set);
    EXPECT_EQ(DpsEntry(built, 0), "        ") << "empty before the last text stays spaces";
    EXPECT_EQ(DpsEntry(built, 1), "ROCK    ");
    EXPECT_EQ(DpsEntry(built, 7), "FM RADIO");

    set.DPS[1] = "";
    built = Build(set);
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(DpsEntry(built, k), "FM RADIO") << k;
    }
}

TEST(EncoderImage, DateAndTimeMarkersAreReplacedOnlyWhenWhole) {
    RdsParameterSet set;
    set.ENDPS = true;
    set.DPS[0] = "%%TIME%%";
    set.DPS[1] = "%%DATE%%";
    set.DPS[2] = "%%date%%";
    set.DPS[3] = "%%TIME%";
    Built built = Build(set, "2026-12-08 23:15:00");
    EXPECT_EQ(DpsEntry(built, 0), "11-15 PM");
    EXPECT_EQ(DpsEntry(built, 1), "08.12.26");
    EXPECT_EQ(DpsEntry(built, 2), "%%date%%");
    EXPECT_EQ(DpsEntry(built, 3), "%%TIME% ");
    EXPECT_EQ(built.image.SentDpsTexts[0], "11-15 PM");
    EXPECT_EQ(built.image.SentDpsTexts[4], "");

    built = Build(set, "2026-12-08 23:59:55");
    EXPECT_EQ(DpsEntry(built, 0), "12-00 AM");
    EXPECT_EQ(DpsEntry(built, 1), "09.12.26");
}

TEST(EncoderImage, SameInputGivesTheSameImageWhateverWasBuiltBefore) {
    RdsParameterSet busy;
    busy.RT = "text";
    busy.ENDPS = true;
    busy.DPS[5] = "XX";
    EncodedFields fields;
    EncoderImage reused;
    BuildEncoderImage(busy, 0, {*ParseLocalTime("2026-12-08 12:00:00"), '.'}, fields, reused);
    RdsParameterSet plain;
    BuildEncoderImage(plain, 0, {*ParseLocalTime("2026-12-08 12:00:00"), '.'}, fields, reused);
    const Built fresh = Build({});
    EXPECT_EQ(reused.PsArea, fresh.image.PsArea);
    EXPECT_EQ(reused.RtArea, fresh.image.RtArea);
}

TEST(EncoderImage, EveryBlockOfManyGeneratedSetsPassesTheParityCheck) {
    std::mt19937 random(3);
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto text = [&](int maxLength) {
        std::string s(static_cast<std::size_t>(number(0, maxLength)), ' ');
        for (char& c : s)
            c = static_cast<char>(number(1, 255));
        return s;
    };
    const char* hex = "0123456789ABCDEFabcdefxyz";
    for (int round = 0; round < 300; ++round) {
        RdsParameterSet set;
        std::string pi;
        for (int i = 0; i < number(3, 5); ++i)
            pi += hex[number(0, 24)];
        set.PI = pi;
        set.PS = text(8);
        set.PTY = number(0, 31);
        set.TP = number(0, 1);
        set.TA = number(0, 1);
        set.MS = number(0, 1);
        for (auto& di : set.DI)
            di = number(0, 1) == 1;
        for (auto& af : set.AF)
            af = std::to_string(number(870, 1085) / 10.0).substr(0, 5);
        set.RT = text(64);
        set.SELRT = number(0, 1);
        set.ENDPS = number(0, 1) == 1;
        set.AUTBSW = number(0, 1) == 1;
        for (auto& dps : set.DPS)
            dps = number(0, 3) == 0 ? "" : text(8);
        set.DPSP = number(7, 65);
        const Built built = Build(set, "2026-12-08 12:00:00", number(0, 1));
        const ReceiverView view = DecodeEncoderMemory(built.area1, built.area2);
        ASSERT_TRUE(view.AllBlocksIntact()) << "round " << round;
        ASSERT_EQ(view.totalBlocks, built.image.DpsTablePresent() ? 16 + 32 + 64 : 16 + 64);
    }
}

}  // namespace
}  // namespace vaxo
