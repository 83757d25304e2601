#include <gtest/gtest.h>

#include "base/local_time.h"

namespace vaxo {
namespace {

LocalTime At(const char* text) {
    const auto parsed = ParseLocalTime(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(LocalTime{});
}

TEST(DpsMarkers, ShowTheTimeTenSecondsAheadOnATwelveHourClock) {
    EXPECT_EQ(DpsTimeText(At("2026-12-08 23:15:00")), "11-15 PM");
    EXPECT_EQ(DpsTimeText(At("2026-12-08 23:59:55")), "12-00 AM");
    EXPECT_EQ(DpsTimeText(At("2026-12-08 11:59:50")), "12-00 PM");
    EXPECT_EQ(DpsTimeText(At("2026-12-08 00:30:00")), "12-30 AM");
    EXPECT_EQ(DpsTimeText(At("2026-12-08 09:05:49")), "09-05 AM");
    EXPECT_EQ(DpsTimeText(At("2026-12-08 09:05:50")), "09-06 AM");
}

TEST(DpsMarkers, DateRollsOverWithTheLead) {
    EXPECT_EQ(DpsDateText(At("2026-12-08 23:15:00")), "08.12.26");
    EXPECT_EQ(DpsDateText(At("2026-12-31 23:59:55")), "01.01.27");
    EXPECT_EQ(DpsDateText(At("2028-02-28 23:59:55")), "29.02.28");
}

TEST(ParseLocalTime, RejectsWhatIsNotATime) {
    for (const char* text : {"", "2026-12-08", "2026-02-30 10:00:00", "2026-12-08 24:00:00",
                             "2026-12-08 10:00:00x", "2026-12-08T10:00:00"}) {
        EXPECT_FALSE(ParseLocalTime(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace vaxo
