// What a receiver gets from the encoder memory, decoded from the bytes only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "base/code_page.h"
#include "base/plain_characters.h"
#include "encoding/checkword.h"
#include "encoding/chr_repl.h"
#include "encoding/encoder_image.h"
#include "encoding/rds_characters.h"
#include "encoding/receiver_checks.h"
#include "encoding/receiver_view.h"

namespace vaxo {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Image {
    RdsParameterSet set;  // as the build left it: PI and AF tidied
    EncoderImage image;
    std::vector<std::uint8_t> area1, area2;
    ReceiverView View() const { return DecodeEncoderMemory(area1, area2); }
};

Image BuildImage(RdsParameterSet set, int textAb = 0) {
    Image built;
    EncodedFields fields;
    BuildEncoderImage(set, textAb, {*ParseLocalTime("2026-12-08 12:00:00"), '.'}, fields,
                      built.image);
    built.set = set;
    built.area1 = AreaBytes(built.image.PsArea, kPsAreaBytes);
    built.area2 = AreaBytes(built.image.RtArea, kRtAreaBytes);
    return built;
}

std::vector<std::string> Warnings(const RdsParameterSet& set) {
    return ReceiverWarnings(BuildImage(set).View());
}

bool Has(const std::vector<std::string>& warnings, const std::string& part) {
    return std::any_of(warnings.begin(), warnings.end(),
                       [&](const std::string& w) { return w.find(part) != std::string::npos; });
}

// Fields to image to receiver: the receiver gets back what the set says,
// in every generated station.
TEST(ReceiverView, RoundTripsOfManyGeneratedStations) {
    std::mt19937 random(22);
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto text = [&](int maxLength) {
        std::string s(static_cast<std::size_t>(number(0, maxLength)), ' ');
        for (char& c : s) {
            c = static_cast<char>(number(0x20, 0xFE));
        }
        return s;
    };
    for (int round = 0; round < 400; ++round) {
        RdsParameterSet set;
        char pi[5];
        std::snprintf(pi, sizeof pi, "%04X", static_cast<unsigned>(number(0, 0xFFFF)));
        set.PI = pi;
        set.PS = text(8);
        set.PTY = number(0, 31);
        set.TP = number(0, 1);
        set.TA = number(0, 1);
        set.MS = number(0, 1);
        for (auto& di : set.DI) {
            di = number(0, 1) == 1;
        }
        for (auto& af : set.AF) {
            af = number(0, 2) == 0 ? "" : std::to_string(number(876, 1079) / 10.0).substr(0, 5);
        }
        set.RT = text(64);
        set.SELRT = number(0, 1);
        set.ENDPS = number(0, 1) == 1;
        set.AUTBSW = number(0, 1) == 1;
        for (auto& dps : set.DPS) {
            dps = number(0, 3) == 0 ? "" : text(8);
        }
        set.DPSP = number(7, 65);
        const int textAb = number(0, 1);

        const Image built = BuildImage(set, textAb);
        const ReceiverView view = built.View();
        const RdsParameterSet& sent = built.set;
        ASSERT_TRUE(view.AllBlocksIntact());
        EXPECT_EQ(view.pi, std::stoi(sent.PI.str(), nullptr, 16));
        EXPECT_EQ(view.ps.bytes, built.image.PsText);
        EXPECT_EQ(view.pty, sent.PTY);
        EXPECT_EQ(view.tp, sent.TP == 1);
        EXPECT_EQ(view.ta, sent.TA == 1);
        EXPECT_EQ(view.music, sent.MS == 1);
        for (std::size_t d = 0; d < 4; ++d) {
            EXPECT_EQ(view.di[d], sent.DI[d]) << "d" << d;
        }
        std::vector<int> codes;
        for (const auto& af : sent.AF) {
            if (const int code = AfCode(af.str(), '.'); code != 0) {
                codes.push_back(code);
            }
        }
        EXPECT_EQ(view.afCodes, codes);
        EXPECT_EQ(view.afCount, static_cast<int>(codes.size()));
        EXPECT_EQ(view.bothBanks, sent.AUTBSW);
        ASSERT_EQ(view.dps.has_value(), built.image.DpsTablePresent());
        if (view.dps) {
            EXPECT_EQ(view.dps->repeat, sent.DPSP);
            for (std::size_t k = 0; k < 8; ++k) {
                EXPECT_EQ(view.dps->texts[k].bytes, built.image.DpsTexts[k]) << k;
            }
        }
        if (sent.ActualRT().empty()) {
            EXPECT_FALSE(view.radiotextFlagged);
            EXPECT_FALSE(view.rt);
            EXPECT_EQ(view.zeroAGroupsInArea2, 16) << "the 0A groups four times over";
        } else {
            ASSERT_TRUE(view.rt);
            EXPECT_EQ(view.rt->bytes, built.image.RtText);
            EXPECT_EQ(view.ab, textAb);
        }
    }
}

TEST(ReceiverView, ABlockWithOneFlippedBitIsReportedAndNotUsed) {
    RdsParameterSet set;
    set.PS = "ROCK FM";
    set.RT = "Hello";
    Image built = BuildImage(set);
    built.area1[13 + 11] ^= 0x10;     // group 1, block 4: PS characters 2 and 3
    built.area2[13 * 5 + 7] ^= 0x01;  // group 5, block 3
    const ReceiverView view = built.View();
    ASSERT_EQ(view.badBlocks.size(), 2u);
    EXPECT_EQ(view.badBlocks[0].area, 1);
    EXPECT_EQ(view.badBlocks[0].group, 1);
    EXPECT_EQ(view.badBlocks[0].block, 'D');
    EXPECT_EQ(view.badBlocks[1].area, 2);
    EXPECT_EQ(view.badBlocks[1].group, 5);
    EXPECT_EQ(view.badBlocks[1].block, 'C');
    EXPECT_EQ(view.ps.Shown(), "RO\uFFFD\uFFFD FM ")
        << "the characters of the bad block are missing";
    EXPECT_FALSE(view.rt->received[20]);
    EXPECT_TRUE(view.rt->received[22]);
    EXPECT_THAT(ReceiverWarnings(view),
                Contains("block D of group 1 of area 1 fails its checkword: receivers drop it"));
}

TEST(ReceiverView, AnAreaCutShortGivesWhatItHolds) {
    RdsParameterSet set;
    set.PS = "SHORT";
    const Image built = BuildImage(set);
    const std::vector<std::uint8_t> four(built.area1.begin(), built.area1.begin() + 64);
    const ReceiverView view = DecodeEncoderMemory(four, {});
    EXPECT_EQ(view.ps.bytes, "SHORT   ");
    EXPECT_EQ(view.totalBlocks, 16);
    EXPECT_FALSE(view.dps);
    EXPECT_FALSE(view.rt);
    const std::vector<std::uint8_t> partial(built.area1.begin(), built.area1.begin() + 30);
    EXPECT_EQ(DecodeEncoderMemory(partial, {}).totalBlocks, 8) << "only whole groups";
}

TEST(ReceiverChecks, EachCheckHasItsReason) {
    RdsParameterSet set;
    set.PI = "D3C2";
    set.TP = 0;
    set.TA = 1;
    EXPECT_TRUE(Has(Warnings(set), "TA is on without TP"));
    set.PI = "0000";
    EXPECT_TRUE(Has(Warnings(set), "PI 0000 identifies no station"));
    set.PI = "FFFF";
    EXPECT_TRUE(Has(Warnings(set), "PI FFFF is a new station"));
    set.PI = "0123";
    EXPECT_TRUE(Has(Warnings(set), "PI 0123 has country code 0"));
    set.PI = "D3C2";
    set.AF[0] = set.AF[2] = "87.6";
    set.AF[1] = "99.0";
    EXPECT_TRUE(Has(Warnings(set), "AF 87.6 MHz is listed twice"));
    set.AF = {};
    EXPECT_FALSE(Has(Warnings(set), "AF")) << "a station without alternatives";
    set.ENDPS = true;
    set.DPS[0] = "NEWS";
    set.DPSP = 13;
    EXPECT_TRUE(Has(Warnings(set),
                    "dynamic PS is on: many receivers show a changing PS poorly "
                    "(each text stays 39 s)"));
    set.ENDPS = false;
    set.RT = "          ";
    EXPECT_TRUE(Has(Warnings(set), "the radiotext is only spaces"));
    set.RT =
        "line\x0A"
        "break";
    EXPECT_TRUE(Has(Warnings(set), "control characters (byte 0x0A at position 5)"));
    set.RT = "";
    set.PS = "\x8EIV\xCC";  // ŽIVĚ in Windows-1250: on air in the RDS table, nothing to tell
    set.TP = 1;
    set.TA = 0;
    EXPECT_TRUE(Warnings(set).empty()) << testing::PrintToString(Warnings(set));
}

TEST(ReceiverChecks, AnAfListThatSaysOtherwiseThanItCarries) {
    RdsParameterSet set;
    set.PI = "D3C2";
    set.AF[0] = "87.6";
    set.AF[1] = "99.0";
    Image built = BuildImage(set);
    // Block 3 of segment 0 carries the count and the first code; make it
    // announce three, and a code above the band in segment 1.
    EncoderImage& image = built.image;
    PutBits(image.PsArea, 52, 227, 8);
    PutBits(image.PsArea, 104 + 52, 210, 8);
    for (std::size_t g = 0; g < 2; ++g) {
        AddCheckword(std::span(image.PsArea).subspan(g * kGroupElements, kGroupElements), 2,
                     BlockOffset::C);
    }
    built.area1 = AreaBytes(image.PsArea, kPsAreaBytes);
    const auto warnings = ReceiverWarnings(built.View());
    EXPECT_TRUE(Has(warnings, "AF code 210 is no frequency from 87.6 to 107.9 MHz"));
    EXPECT_TRUE(Has(warnings, "the AF count (3) differs from the 1 frequencies listed"));
}

// The table is one-to-one where it has characters, and the letters the
// character conversion leaves read on a receiver as they were meant.
TEST(RdsCharacters, TheTableBothWaysAndAgainstTheCharacterConversion) {
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t shown = RdsCharacter(static_cast<std::uint8_t>(byte));
        if (shown != 0) {
            EXPECT_EQ(RdsByte(shown), byte) << byte;
        }
    }
    EXPECT_EQ(RdsCharacter(0x24), U'\u00A4');
    EXPECT_EQ(RdsCharacter(0xAB), U'$');
    EXPECT_EQ(RdsCharacter(0x8D), U'\u00DF');
    EXPECT_EQ(RdsCharacter(0xA9), U'\u20AC');
    EXPECT_EQ(RdsCharacter(0x0D), 0u);
    EXPECT_FALSE(RdsByte(U'\u0141'));  // Ł
    for (int byte = 0x20; byte < 0x100; ++byte) {
        const std::string converted = ReplaceChars(std::string(1, static_cast<char>(byte)));
        const auto result = static_cast<std::uint8_t>(converted[0]);
        if (result != byte) {
            EXPECT_EQ(RdsCharacter(result), Windows1250ToUnicode(result))
                << "the conversion of " << byte << " reads as meant";
        }
    }
    EXPECT_EQ(RdsTextToUtf8("Caf\x82"), "Caf\u00E9");
}

// Whatever the station typed, a receiver shows the letter itself where the
// RDS table has it and its plain form where it does not: never another.
TEST(RdsCharacters, EveryStationCharacterGoesOnAirAsItselfOrItsPlainForm) {
    int substituted = 0;
    for (int byte = 0x20; byte < 0x100; ++byte) {
        if (byte == 0x7F) {
            continue;  // a control code
        }
        bool changed = false;
        const std::string rds = StationTextToRds(std::string(1, static_cast<char>(byte)), &changed);
        ASSERT_EQ(rds.size(), 1u);
        const char32_t typed = Windows1250ToUnicode(static_cast<unsigned char>(byte));
        const char32_t shown = RdsCharacter(static_cast<std::uint8_t>(rds[0]));
        if (!changed) {
            EXPECT_EQ(shown, typed) << "byte " << byte;
            continue;
        }
        ++substituted;
        const char plain = PlainCharacter(typed);
        EXPECT_EQ(shown, static_cast<char32_t>(plain ? plain : ' ')) << "byte " << byte;
        EXPECT_FALSE(typed != 0 && RdsByte(typed)) << "byte " << byte << " has a code";
    }
    EXPECT_EQ(substituted, 69);
    // "Łódź", "Žlutý kůň", "Příliš", "Straße 5 $"
    EXPECT_EQ(StationTextToRds("\xA3\xF3"
                               "d\x9F"),
              "L\x86"
              "d\xFD");
    EXPECT_EQ(StationTextToRds("\x8Elut\xFD k\xF9\xF2"), "\xCDlut\xF5 ku\xA6");
    EXPECT_EQ(StationTextToRds("P\xF8\xEDli\x9A"), "P\xDA\x84li\xDC");
    EXPECT_EQ(StationTextToRds("Stra\xDF"
                               "e 5 $"),
              "Stra\x8D"
              "e 5 \xAB");
    EXPECT_EQ(StationTextToRds("line\x0D"), "line\x0D") << "control codes are the door's to refuse";
}

TEST(RdsCharacters, LatinLettersOfUtf8ReachTheReceiverAsThemselvesOrTheirBaseLetter) {
    for (char32_t letter = 0xC0; letter < 0x180; ++letter) {
        if (letter == U'\u00D7' || letter == U'\u00F7') {
            continue;  // × ÷
        }
        const std::string utf8 = ToUtf8(std::u32string(1, letter));
        const std::string rds = StationTextToRds(TextLineToWindows1250(utf8));
        ASSERT_EQ(rds.size(), 1u) << static_cast<unsigned>(letter);
        const char32_t shown = RdsCharacter(static_cast<std::uint8_t>(rds[0]));
        const bool kept = UnicodeToWindows1250(letter) && RdsByte(letter);
        EXPECT_EQ(shown, kept ? letter : static_cast<char32_t>(PlainCharacter(letter)))
            << "U+" << std::hex << static_cast<unsigned>(letter);
    }
}

TEST(RdsCharacters, AServersTextBecomesTheStationsAndGoesBackByteForByte) {
    for (int byte = 0x20; byte < 0xFF; ++byte) {
        const std::string rds(1, static_cast<char>(byte));
        bool changed = false;
        const std::string station = RdsToStationText(rds, &changed);
        if (!changed) {
            EXPECT_EQ(StationTextToRds(station), rds) << "byte " << byte;
        }
    }
    // "DVOŘÁK" as a server sends it; "CAFÉ À LA" keeps É, gives À as A
    EXPECT_EQ(RdsToStationText("DVO\xCA\xC0K"), "DVO\xD8\xC1K");
    bool changed = false;
    EXPECT_EQ(RdsToStationText("CAF\xC2 \xC1 LA", &changed), "CAF\xC9 A LA");
    EXPECT_TRUE(changed);
}

TEST(ProgrammeTypes, RdsAndRbdsNames) {
    EXPECT_EQ(RdsProgrammeTypeName(11), "Rock Music");
    EXPECT_EQ(RbdsProgrammeTypeName(11), "Oldies");
    EXPECT_EQ(RdsProgrammeTypeName(31), "Alarm");
    EXPECT_EQ(RbdsProgrammeTypeName(31), "Emergency");
}

}  // namespace
}  // namespace vaxo
