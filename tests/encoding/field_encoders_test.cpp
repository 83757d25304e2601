#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "encoding/field_encoders.h"
#include "encoding/text_ab.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

unsigned Word(std::span<const BitElement> bits) {
    return GetBits(bits, 0, static_cast<int>(bits.size()));
}

TEST(TestBit, ReadsBitNFromTheLeastSignificant) {
    EXPECT_TRUE(TestBit(0x80, 7));
    EXPECT_FALSE(TestBit(0x80, 6));
    EXPECT_TRUE(TestBit(0x01, 0));
    EXPECT_FALSE(TestBit(0xFE, 0));
}

TEST(CheckPI, CapitalisesFourHexDigitsAndReplacesAnythingElse) {
    struct Case {
        const char* typed;
        const char* held;
    };
    for (const Case c :
         {Case{"d3c2", "D3C2"}, Case{"D3C", "FFFF"}, Case{"", "FFFF"}, Case{"D3:2", "FFFF"},
          Case{"G000", "FFFF"}, Case{" 123", "FFFF"}, Case{"0000", "0000"}, Case{"a1B2", "A1B2"}}) {
        EXPECT_EQ(CheckPI(c.typed), c.held) << c.typed;
    }
}

TEST(EncodePI, FirstDigitIsTheMostSignificantNibble) {
    EncodedFields fields;
    EncodePI(fields, "D3C2");
    EXPECT_THAT(fields.PiBits, ElementsAre(1, 1, 0, 1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0));
    EncodePI(fields, "FFFF");
    EXPECT_EQ(Word(fields.PiBits), 0xFFFFu);
    EncodePI(fields, "09AF");
    EXPECT_EQ(Word(fields.PiBits), 0x09AFu);
}

TEST(EncodePTY, FillsFiveBitsMostSignificantFirst) {
    EncodedFields fields;
    EncodePTY(fields, 31);
    EXPECT_THAT(std::span(fields.FlagBits).first(5), ElementsAre(1, 1, 1, 1, 1));
    EncodePTY(fields, 0);
    EXPECT_THAT(std::span(fields.FlagBits).first(5), ElementsAre(0, 0, 0, 0, 0));
    EncodePTY(fields, 10);
    EXPECT_THAT(std::span(fields.FlagBits).first(5), ElementsAre(0, 1, 0, 1, 0));
}

TEST(EncodeFlags, TakesMsTpTaAbAndDecoderIdInReverse) {
    RdsParameterSet set;
    set.MS = 0;
    set.TP = 1;
    set.TA = 1;
    set.DI = {true, false, false, false};
    EncodedFields fields;
    EncodeFlags(fields, set, 1);
    EXPECT_THAT(std::span(fields.FlagBits).subspan(5), ElementsAre(0, 1, 1, 1));
    EXPECT_THAT(fields.DiBits, ElementsAre(0, 0, 0, 1)) << "stereo goes to segment 3";
    set.DI = {false, false, false, true};
    EncodeFlags(fields, set, 1);
    EXPECT_THAT(fields.DiBits, ElementsAre(1, 0, 0, 0)) << "dynamic PTY goes to segment 0";
}

TEST(AfCode, AcceptsTheBandInTenthsWithTheLocaleSeparator) {
    EXPECT_EQ(AfCode("87.6", '.'), 1);
    EXPECT_EQ(AfCode("107.9", '.'), 204);
    EXPECT_EQ(AfCode("88", '.'), 5);
    EXPECT_EQ(AfCode("99.0", '.'), 115);
    EXPECT_EQ(AfCode(" 87.6", '.'), 1) << "a space reads as 0";
    EXPECT_EQ(AfCode("87,6", ','), 1);
    for (const char* invalid : {"87.5", "108", "876", "8", "87.60", "8.76", "87..6", "", "87.",
                                "abcde", "1079", "107.95"}) {
        EXPECT_EQ(AfCode(invalid, '.'), 0) << invalid;
    }
    EXPECT_EQ(AfCode("87.6", ','), 0) << "with a comma locale the point reads as 0: 8706";
    EXPECT_EQ(AfCode("9\xB2.1", '.'), 26) << "superscript two is no digit and reads as 0";
}

std::vector<unsigned> AfBytes(const EncodedFields& fields) {
    std::vector<unsigned> bytes;
    for (const auto& row : fields.AfBits) {
        bytes.push_back(GetBits(row, 0, 8));
        bytes.push_back(GetBits(row, 8, 8));
    }
    return bytes;
}

TEST(EncodeAF, CompactsTheListAndCodesMethodA) {
    RdsParameterSet set;
    const char* typed[] = {"", "87.6", "abc", "99.0", "", "", ""};
    for (std::size_t i = 0; i < 7; ++i) {
        set.AF[i] = typed[i];
    }
    EncodedFields fields;
    EncodeAF(fields, set.AF, '.');
    EXPECT_THAT(CompactAF(set.AF, '.'), ElementsAre("87.6", "99.0", "", "", "", "", ""));
    EXPECT_THAT(AfBytes(fields), ElementsAre(226, 1, 115, 205, 205, 205, 205, 205));
}

TEST(EncodeAF, EmptyAndFullLists) {
    RdsParameterSet set;
    EncodedFields fields;
    EncodeAF(fields, set.AF, '.');
    EXPECT_THAT(AfBytes(fields), ElementsAre(224, 205, 205, 205, 205, 205, 205, 205));

    const char* typed[] = {"87.6", "88", " 90.1", "95.5", "100", "104.3", "107.9"};
    for (std::size_t i = 0; i < 7; ++i) {
        set.AF[i] = typed[i];
    }
    EncodeAF(fields, set.AF, '.');
    EXPECT_THAT(AfBytes(fields), ElementsAre(231, 1, 5, 26, 80, 125, 168, 204));
    EXPECT_EQ(CompactAF(set.AF, '.')[2], " 90.1") << "a valid entry keeps its text as typed";
}

TEST(EncodeAF, ValidEntriesKeepTheirOrderWhenInvalidOnesFallOut) {
    RdsParameterSet set;
    const char* typed[] = {"108", "107.9", "x", "87.6", "87.5", "", "88.8"};
    for (std::size_t i = 0; i < 7; ++i) {
        set.AF[i] = typed[i];
    }
    EncodedFields fields;
    EncodeAF(fields, set.AF, '.');
    EXPECT_THAT(CompactAF(set.AF, '.'), ElementsAre("107.9", "87.6", "88.8", "", "", "", ""));
    EXPECT_THAT(AfBytes(fields), ElementsAre(227, 204, 1, 13, 205, 205, 205, 205));
}

TEST(TextAb, TogglesOnlyOnAChangedTextWithUseAb) {
    RdsParameterSet set;
    TextAb ab;
    set.RT = "first";
    set.ABSW = true;
    ab.Update(set);
    EXPECT_EQ(ab.flag, 1);
    EXPECT_EQ(ab.lastSent, "first");
    ab.Update(set);
    EXPECT_EQ(ab.flag, 1) << "unchanged text keeps the flag";

    set.ABSW = false;
    set.RT = "second";
    ab.Update(set);
    EXPECT_EQ(ab.flag, 1) << "Use A/B off keeps the flag";
    EXPECT_EQ(ab.lastSent, "second") << "but the text is recorded";

    set.ABSW = true;
    set.RT = "Second";
    ab.Update(set);
    EXPECT_EQ(ab.flag, 0) << "comparison is case-sensitive";
}

}  // namespace
}  // namespace vaxo
