#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

TEST(RadiotextLine, EmptyBecomesEightSpacesAndLongerLinesLoseTrailingSpaces) {
    EXPECT_EQ(ProcessRadiotextLine(""), "        ");
    EXPECT_EQ(ProcessRadiotextLine(std::string(12, ' ')), "");
    EXPECT_EQ(ProcessRadiotextLine("short   "), "short   ") << "eight or fewer keep them";
    EXPECT_EQ(ProcessRadiotextLine("  now playing   "), "  now playing");
}

TEST(RadiotextLine, LongLinesAreCutWithAnEllipsisThenReduced) {
    const std::string seventy = std::string(60, 'a') + "0123456789";
    EXPECT_EQ(ProcessRadiotextLine(seventy), seventy.substr(0, 61) + "...");
    EXPECT_EQ(ProcessRadiotextLine(std::string(64, 'b')), std::string(64, 'b'));
    EXPECT_EQ(ProcessRadiotextLine("Dvo\xF8\xE1k_live @ studio"), "Dvorak live * studio");
}

std::array<std::string, 8> Segments(const std::string& line, bool align, bool effects,
                                    std::string c = "#") {
    return SplitDpsSegments(ProcessDpsLine(line, {align, effects, c}));
}

TEST(DpsLine, SmartAlignmentKeepsWordsWhole) {
    EXPECT_THAT(Segments("THE BEST MUSIC IN TOWN", true, false),
                ElementsAre("THE BEST", "MUSIC IN", "TOWN", "", "", "", "", ""));
    EXPECT_THAT(Segments("THE BEST MUSIC IN TOWN", true, true),
                ElementsAre("THE BEST", "MUSIC IN", "#TOWN###", "", "", "", "", ""));
    EXPECT_THAT(Segments("RADIO", true, true), ElementsAre("#RADIO##", "", "", "", "", "", "", ""));
    EXPECT_THAT(Segments("NOW ON AIR: JAZZ", true, false),
                ElementsAre("NOW ON  ", "AIR:    ", "JAZZ", "", "", "", "", ""));
}

TEST(DpsLine, EffectsNeedSmartAlignmentAndAnEffectCharacter) {
    EXPECT_THAT(Segments("RADIO", false, true), ElementsAre("RADIO", "", "", "", "", "", "", ""));
    EXPECT_THAT(Segments("RADIO", true, true, ""),
                ElementsAre("RADIO", "", "", "", "", "", "", ""));
    EXPECT_THAT(Segments("THE BEST MUSIC", false, false),
                ElementsAre("THE BEST", " MUSIC", "", "", "", "", "", ""));
}

TEST(DpsLine, IsReducedBeforeAlignmentAndCutLast) {
    EXPECT_THAT(Segments("\x8Akoda_auto", true, false),
                ElementsAre("Skoda   ", "auto", "", "", "", "", "", ""));
    const auto cut = ProcessDpsLine(std::string(80, 'x'), {true, false, "*"});
    EXPECT_EQ(cut, std::string(61, 'x') + "...");
}

TEST(DpsSegments, SpaceCountAndPushFollowTheSegmentRules) {
    EXPECT_EQ(SegmentSpaceCount("AB CD EFGHIJ", 1), 2);
    EXPECT_EQ(SegmentSpaceCount("AB CD", 1), 0) << "shorter than the segment";
    EXPECT_EQ(SegmentSpaceCount("ABCDEFGH I K", 2), 0);
    std::string text = "AB CDEFGHIJ";
    PushWordToNextSegment(text, 1);
    EXPECT_EQ(text, "AB  CDEFGHIJ");
}

TEST(DpsSegments, SixPushesMoveAWordStartingAtPositionThreeWhollyOn) {
    std::string late = "ABC DEFGHIJ";
    ApplySmartAlignment(late);
    EXPECT_EQ(late, "ABC     DEFGHIJ");
    std::string early = "A BCDEFGHIJKL";
    ApplySmartAlignment(early);
    EXPECT_EQ(early, "A       BCDEFGHIJKL");
}

}  // namespace
}  // namespace vaxo
