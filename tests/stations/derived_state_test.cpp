#include <gtest/gtest.h>

#include "stations/derived_state.h"

namespace vaxo {
namespace {

TEST(DerivedState, RepeatLabelShowsTheRepeatTimeInWholeSeconds) {
    RdsParameterSet set;
    DerivedState state;
    const std::pair<int, const char*> cases[] = {
        {7, "22 s"}, {9, "28 s"}, {13, "39 s"}, {14, "42 s"}, {65, "184 s"}};
    for (const auto& [step, label] : cases) {
        set.DPSP = step;
        state.TrackBar1Change(set);
        EXPECT_EQ(state.repeatLabel, label);
    }
}

TEST(DerivedState, SwitchingPeriodSetsLabelAndInterval) {
    RdsParameterSet set;
    DerivedState state;
    set.RTSAT = 30;
    state.TrackBar2Change(set);
    EXPECT_EQ(state.switchLabel, "30 min");
    EXPECT_EQ(state.timer2IntervalMs, 1800000);
}

TEST(DerivedState, FeedsLockTheFieldsTheyWrite) {
    RdsParameterSet set;
    DerivedState state;
    set.RTFF = true;
    state.RTFFClick(set);
    EXPECT_TRUE(state.rtLocked);
    set.PSFF = true;
    state.PSFFClick(set);
    EXPECT_TRUE(state.dpsLocked);
    EXPECT_FALSE(state.psFileLocked) << "the file name stays free until dynamic PS is on";
    set.ENDPS = true;
    state.ENDPSClick(set);
    EXPECT_TRUE(state.psFileLocked);
    set.PSFF = false;
    state.PSFFClick(set);
    EXPECT_FALSE(state.dpsLocked);
    EXPECT_FALSE(state.psFileLocked);
}

TEST(EffectCharacter, LeavingItEmptyPutsTheStarBack) {
    RdsParameterSet set;
    set.EFCHAR = "";
    EFCHARExit(set);
    EXPECT_EQ(set.EFCHAR, "*");
    set.EFCHAR = "#";
    EFCHARExit(set);
    EXPECT_EQ(set.EFCHAR, "#");
}

}  // namespace
}  // namespace vaxo
