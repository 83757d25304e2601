#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "formats/language_file.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

TEST(IniSection, OnlyTheNamedSectionMatchedWithoutCase) {
    const char* text =
        "[Other]\r\nForm1.UP.Caption=Wrong\r\n"
        "[translations]\r\nForm1.UP.Caption=Senden\r\n"
        "[More]\r\nForm1.EX.Caption=Wrong\r\n";
    EXPECT_THAT(ReadIniSection(text, "TRANSLATIONS"), ElementsAre("Form1.UP.Caption=Senden"));
    EXPECT_THAT(ReadIniSection(text, "Missing"), ElementsAre());
}

TEST(IniSection, SplitsAtTheFirstEqualsTrimsAndUnquotes) {
    const char* text =
        "[TRANSLATIONS]\n"
        "  Form1.A.Caption  =  a = b  \n"
        "Form1.B.Caption=\"  kept blanks  \"\n"
        "Form1.C.Caption='single'\n"
        "Form1.D.Caption=\"mismatched'\n"
        "; a comment\n"
        "no equals sign\n"
        "=no key\n";
    EXPECT_THAT(ReadIniSection(text, "TRANSLATIONS"),
                ElementsAre("Form1.A.Caption=a = b", "Form1.B.Caption=  kept blanks  ",
                            "Form1.C.Caption=single", "Form1.D.Caption=\"mismatched'"));
}

TEST(IniSection, FirstOccurrenceOfAKeyGivesTheValue) {
    const char* text =
        "[TRANSLATIONS]\n"
        "Form1.UP.Caption=First\n"
        "form1.up.caption=Second\n";
    EXPECT_THAT(ReadIniSection(text, "TRANSLATIONS"),
                ElementsAre("Form1.UP.Caption=First", "form1.up.caption=First"));
}

TEST(IniSection, ValuesAreCutAndKeyNamesLimited) {
    const std::string longValue(3000, 'v');
    auto entries =
        ReadIniSection("[TRANSLATIONS]\nForm1.UP.Caption=" + longValue + "\n", "TRANSLATIONS");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), std::string("Form1.UP.Caption=").size() + 2047);

    std::string many = "[TRANSLATIONS]\n";
    const std::string key(99, 'k');  // 100 bytes with its terminator
    for (int i = 0; i < 200; ++i) {
        many += key.substr(0, 96) + std::to_string(1000 + i).substr(1) + "=x\n";
    }
    EXPECT_EQ(ReadIniSection(many, "TRANSLATIONS").size(), 163u) << "(16384 - 1) / 100 names";
}

TEST(TranslationEntry, SplitsKeyIntoFormControlAndProperty) {
    const TranslationEntry entry = SplitTranslationEntry("Form1.Label5.Hint=Verkehrsfunk");
    EXPECT_EQ(entry.form, "Form1");
    EXPECT_EQ(entry.control, "Label5");
    EXPECT_EQ(entry.property, "Hint");
    EXPECT_EQ(entry.value, "Verkehrsfunk");
    EXPECT_EQ(SplitTranslationEntry("Form1.UP.Caption.Extra=x").property, "Caption.Extra");
    const TranslationEntry shortKey = SplitTranslationEntry("Form1.UP=Go");
    EXPECT_EQ(shortKey.control, "");
    EXPECT_EQ(shortKey.property, "");
    EXPECT_EQ(SplitTranslationEntry("Form1=Go").form, "");
}

TEST(TranslationEntry, DoubleTildesBecomeLineBreaksLeftToRight) {
    EXPECT_EQ(SplitTranslationEntry("F.C.P=one~~two").value, "one\r\ntwo");
    EXPECT_EQ(SplitTranslationEntry("F.C.P=a~~~b").value, "a\r\n~b");
    EXPECT_EQ(SplitTranslationEntry("F.C.P=~~~~").value, "\r\n\r\n");
    EXPECT_EQ(SplitTranslationEntry("F.C.P=x=y").value, "x=y");
}

}  // namespace
}  // namespace vaxo
