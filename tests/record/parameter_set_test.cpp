#include <gtest/gtest.h>

#include "record/programme_types.h"
#include "record/rds_parameter_set.h"

namespace vaxo {
namespace {

TEST(RdsParameterSet, NewSetHoldsTheDesignedDefaults) {
    const RdsParameterSet set;
    EXPECT_EQ(set.PS, "FM RADIO");
    EXPECT_EQ(set.PI, "FFFF");
    EXPECT_EQ(kProgrammeTypeNames[static_cast<std::size_t>(set.PTY)], "(None)");
    EXPECT_EQ(set.TP, 1);
    EXPECT_EQ(set.TA, 0);
    EXPECT_EQ(set.MS, 1);
    EXPECT_EQ(set.SELRT, 1);
    EXPECT_EQ(set.DPSP, 13);
    EXPECT_EQ(set.RTSAT, 5);
    EXPECT_EQ(set.RTFILE, "rt.txt");
    EXPECT_EQ(set.PSFILE, "dps.txt");
    EXPECT_EQ(set.EFCHAR, "*");
    EXPECT_TRUE(set.UPCH && set.UPCHPS && set.DPSA);
    EXPECT_EQ(set.STB, 1);
    EXPECT_FALSE(set.AUTBSW);
}

TEST(RdsParameterSet, ResetGivesStationDefaultsAndLeavesProgramValuesAlone) {
    RdsParameterSet set;
    set.BothBanksDefault = true;
    set.PS = "ROCK";
    set.RT3 = "text";
    set.DPS[4] = "news";
    set.EFCHAR = "";
    set.SELRT = 0;
    set.STB = 2;
    set.PORT = 1;
    set.AUTOSAVE = set.HIPRI = set.ALONTOP = true;

    set.ResetStation();

    EXPECT_EQ(set.PS, "        ");
    EXPECT_TRUE(set.AUTBSW) << "follows BothBanksDefault";
    EXPECT_EQ(set.RT3, "");
    EXPECT_EQ(set.DPS[4], "");
    EXPECT_EQ(set.EFCHAR, "*");
    EXPECT_EQ(set.SELRT, 1);
    EXPECT_EQ(set.STB, 1);
    EXPECT_EQ(set.PORT, 1);
    EXPECT_TRUE(set.AUTOSAVE && set.HIPRI && set.ALONTOP);
}

TEST(RdsParameterSet, ActualRtFollowsTheSelection) {
    RdsParameterSet set;
    set.RT = "one";
    set.RT2 = "two";
    set.RT3 = "three";
    set.RT4 = "four";
    const char* expected[] = {"", "one", "two", "three", "four", ""};
    for (int selection = 0; selection <= 5; ++selection) {
        set.SELRT = selection;
        EXPECT_EQ(set.ActualRT(), expected[selection]) << selection;
    }
}

TEST(RdsParameterSet, TextsAreCutToTheirLimitsAndKeepTheirSpaces) {
    RdsParameterSet set;
    set.PS = " ROCK FM SUPER";
    set.RT = std::string(70, 'x');
    set.AF[0] = "107.90";
    set.DPS[7] = "  ABCDEFGH";
    set.EFCHAR = "#+";
    set.PI = "a1b2c";
    EXPECT_EQ(set.PS, " ROCK FM");
    EXPECT_EQ(set.RT.size(), 64u);
    EXPECT_EQ(set.AF[0], "107.9");
    EXPECT_EQ(set.DPS[7], "  ABCDEF");
    EXPECT_EQ(set.EFCHAR, "#");
    EXPECT_EQ(set.PI, "A1B2") << "held in capitals";
}

TEST(RdsParameterSet, DecoderIdTextPutsDynamicPtyFirst) {
    EXPECT_EQ(DecoderIdText({true, false, false, false}), "0001");
    EXPECT_EQ(DecoderIdText({false, false, false, true}), "1000");
    EXPECT_EQ(DecoderIdText({false, true, true, false}), "0110");
}

TEST(ProgrammeTypes, ListRunsFromNoneToAlarm) {
    EXPECT_EQ(kProgrammeTypeNames.front(), "(None)");
    EXPECT_EQ(kProgrammeTypeNames[10], "Pop M");
    EXPECT_EQ(kProgrammeTypeNames[30], "TEST");
    EXPECT_EQ(kProgrammeTypeNames.back(), "Alarm!");
}

}  // namespace
}  // namespace vaxo
