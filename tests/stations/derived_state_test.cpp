#include <gtest/gtest.h>

#include "stations/derived_state.h"

namespace vaxo {
namespace {

TEST(DerivedState, RepeatStepIsAPeriodInWholeSeconds) {
    const std::pair<int, int> cases[] = {{7, 22}, {9, 28}, {13, 39}, {14, 42}, {65, 184}};
    RdsParameterSet set;
    for (const auto& [step, seconds] : cases) {
        set.DPSP = step;
        EXPECT_EQ(DeriveState(set).repeatSeconds, seconds) << step;
    }
}

TEST(DerivedState, SwitchingFollowsItsOptionAndPeriod) {
    RdsParameterSet set;
    EXPECT_FALSE(DeriveState(set).switching);
    set.RTSA = true;
    set.RTSAT = 30;
    EXPECT_TRUE(DeriveState(set).switching);
    EXPECT_EQ(DeriveState(set).switchingMinutes, 30);
    EXPECT_EQ(DeriveState(set).switchingInterval, std::chrono::minutes(30));
}

TEST(DerivedState, FeedsTakeTheFieldsTheyWrite) {
    RdsParameterSet set;
    set.RTFF = true;
    EXPECT_TRUE(DeriveState(set).radiotextFed);
    set.PSFF = true;
    EXPECT_TRUE(DeriveState(set).dpsFed);
    EXPECT_FALSE(DeriveState(set).dpsFileInUse)
        << "the file name stays free until dynamic PS is on";
    set.ENDPS = true;
    EXPECT_TRUE(DeriveState(set).dpsFileInUse);
    set.PSFF = false;
    EXPECT_FALSE(DeriveState(set).dpsFed);
    EXPECT_FALSE(DeriveState(set).dpsFileInUse);
}

}  // namespace
}  // namespace vaxo
