// The memory's wear: each page's budget of writes and the ledger that counts
// them, with its projection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/wear_ledger.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

PageWrites OnePage(ImageArea area, std::size_t page, int times = 1) {
    PageWrites writes{};
    writes[static_cast<std::size_t>(area)][page] = times;
    return writes;
}

TEST(WearBudget, BurstsPassUpToADaysWorthThenTheRateHolds) {
    const MonotonicTime start{};
    WearBudget budget({3650, 1}, start);  // ten writes a day
    const std::array<PageSet, 2> page0{1, 0};
    EXPECT_EQ(budget.WhenAllowed(1, page0, start), start);
    budget.Spend(1, OnePage(ImageArea::Ps, 0, 10), start);
    const MonotonicTime next = budget.WhenAllowed(1, page0, start);
    EXPECT_NEAR(std::chrono::duration<double>(next - start).count(), 8640, 1) << "a tenth of a day";
    EXPECT_EQ(budget.WhenAllowed(2, page0, start), start) << "bank 2's pages are others";
    EXPECT_EQ(budget.WhenAllowed(1, {2, 0}, start), start) << "so is page 1";
    EXPECT_EQ(budget.WhenAllowed(1, page0, next), next);
    const auto scarcest = budget.Scarcest(1, {3, 1}, start);
    EXPECT_EQ(scarcest.block, 0u);
    EXPECT_EQ(scarcest.page, 0u);

    budget.Configure({1'000'000, 0}, start);
    budget.Spend(1, OnePage(ImageArea::Ps, 0, 1000), start);
    EXPECT_EQ(budget.WhenAllowed(1, page0, start), start) << "no budget without target years";
    EXPECT_NEAR(WearSettings{}.PerDay(), 547.9, 0.1);
}

// Writes a client may spend on page 0 of A0 before it waits, at `start`.
int ClientWritesBeforeAHold(WearBudget& budget, MonotonicTime start) {
    const std::array<PageSet, 2> page0{1, 0};
    int writes = 0;
    while (budget.WhenAllowed(1, page0, start, WearShare::Clients) == start && writes < 100'000) {
        budget.Spend(1, OnePage(ImageArea::Ps, 0), start);
        ++writes;
    }
    return writes;
}

// A machine that booted a minute ago and one that has run for three days
// start with the same full day's worth; whatever the clock reads, clients
// get three quarters of it and the operator the rest.
TEST(WearBudget, EveryStartHasAFullDayWhateverTheUptimeAndTheOperatorKeepsAQuarter) {
    const std::array<PageSet, 2> page0{1, 0};
    for (const MonotonicTime start :
         {MonotonicTime{} + 60s, MonotonicTime{} + 72h, MonotonicTime{}}) {
        SCOPED_TRACE(
            std::chrono::duration_cast<std::chrono::seconds>(start.time_since_epoch()).count());
        WearBudget budget(WearSettings{}, start);  // 548 a day
        EXPECT_NEAR(budget.Left(0, 0, start), 547.9, 0.1);
        EXPECT_EQ(ClientWritesBeforeAHold(budget, start), 410);
        const MonotonicTime clientsNext = budget.WhenAllowed(1, page0, start, WearShare::Clients);
        ASSERT_GT(clientsNext, start);
        budget.Spend(1, OnePage(ImageArea::Ps, 0), clientsNext);
        EXPECT_LE(std::chrono::duration<double>(clientsNext - start).count(), 86400.0 / 547.9);
        const MonotonicTime after = budget.WhenAllowed(1, page0, clientsNext, WearShare::Clients);
        EXPECT_NEAR(std::chrono::duration<double>(after - clientsNext).count(), 86400.0 / 547.9, 1)
            << "then one write per 158 s";
        const MonotonicTime now = clientsNext;
        EXPECT_EQ(budget.WhenAllowed(1, page0, now, WearShare::Operator), now);
        EXPECT_EQ(budget.WhenAllowed(2, page0, now, WearShare::Clients), now)
            << "each page has its own share";
        budget.Spend(1, OnePage(ImageArea::Ps, 0, 135), now);
        EXPECT_EQ(budget.WhenAllowed(1, page0, now, WearShare::Operator), now);
        budget.Spend(1, OnePage(ImageArea::Ps, 0), now);
        EXPECT_GT(budget.WhenAllowed(1, page0, now, WearShare::Operator), now)
            << "the operator's share is spent too";
    }
}

// Settings changed and changed back leave what was spent spent: a client
// that may set them cannot refill the buckets. A budget of less than a
// write a day still lets a client's write through.
TEST(WearBudget, OtherSettingsKeepWhatWasSpentAndATinyBudgetStillMoves) {
    const MonotonicTime start = MonotonicTime{} + 5min;
    const std::array<PageSet, 2> page0{1, 0};
    WearBudget budget(WearSettings{}, start);
    EXPECT_EQ(ClientWritesBeforeAHold(budget, start), 410);
    budget.Configure({2'000'000, 5}, start);
    EXPECT_NEAR(budget.Left(0, 0, start), 1095.9 - 410, 0.1) << "the rest at the new rate";
    budget.Configure(WearSettings{}, start);
    EXPECT_NEAR(budget.Left(0, 0, start), 547.9 - 410, 0.1);
    EXPECT_GT(budget.WhenAllowed(1, page0, start, WearShare::Clients), start);

    WearBudget tiny({1000, 100}, start);  // 0.027 writes a day
    EXPECT_EQ(ClientWritesBeforeAHold(tiny, start), 1);
    const MonotonicTime next = tiny.WhenAllowed(1, page0, start, WearShare::Clients);
    ASSERT_GT(next, start);
    EXPECT_EQ(tiny.WhenAllowed(1, page0, next, WearShare::Clients), next)
        << "the wait it names is enough";
}

TEST(WearLedger, CountsEachBlocksPagesAndKeepsThemAsText) {
    const WallTime start = std::chrono::system_clock::from_time_t(1'765'000'000);
    WearLedger ledger(start);
    ledger.Count(1, OnePage(ImageArea::Ps, 3, 2));
    ledger.Count(2, OnePage(ImageArea::Rt, 12));
    ledger.KeepDay(start + 1h);
    ledger.KeepDay(start + 2h);  // one a day
    ledger.Count(2, OnePage(ImageArea::Rt, 12, 4));
    EXPECT_EQ(ledger.Counts()[0][3], 2u);
    EXPECT_EQ(ledger.Counts()[3][12], 5u) << "A6";
    const auto busiest = ledger.Busiest();
    EXPECT_EQ(busiest.block, 3u);
    EXPECT_EQ(busiest.page, 12u);
    EXPECT_EQ(busiest.count, 5u);

    const std::string text = ledger.Text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 1 + 4 + 1);
    const WearLedger read = WearLedger::Parse(text, start + 3h);
    EXPECT_EQ(read.Counts(), ledger.Counts());
    EXPECT_EQ(read.Text(), text);
}

TEST(WearLedger, ProjectsTheRateOfTheLastWeek) {
    const WallTime start = std::chrono::system_clock::from_time_t(1'765'000'000);
    WearLedger ledger(start);
    ledger.Count(1, OnePage(ImageArea::Ps, 0, 100));
    EXPECT_FALSE(ledger.YearsLeft(1'000'000, start + 23h)) << "less than a day of history";
    // 100 writes in 2 days since the start: 50 a day.
    const auto twoDays = ledger.YearsLeft(1'000'000, start + 48h);
    ASSERT_TRUE(twoDays);
    EXPECT_NEAR(*twoDays, (1'000'000.0 - 100) / 50 / 365, 0.01);
    // A quiet week kept as a day, then a busy one: the busy week counts.
    for (int day = 1; day <= 14; ++day) {
        if (day > 7) {
            ledger.Count(1, OnePage(ImageArea::Rt, 5, 1000));
        }
        ledger.KeepDay(start + std::chrono::hours(24 * day));
    }
    const auto busy = ledger.YearsLeft(10'000, start + std::chrono::hours(24 * 14));
    ASSERT_TRUE(busy);
    EXPECT_NEAR(*busy, (10'000.0 - 7000) / 1000 / 365, 0.001) << "A2's page 5 goes first";
    EXPECT_FALSE(WearLedger(start).YearsLeft(1000, start + 72h)) << "no writes, no end";
}

TEST(WearLedger, LinesItCannotReadArePassedOver) {
    const WallTime now = std::chrono::system_clock::from_time_t(1'765'000'000);
    const WearLedger read = WearLedger::Parse(
        "since x\nA0 1 2 3\nA2 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\nA4 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "
        "0\nday 1\nnonsense\n\xFF\xFE",
        now);
    EXPECT_EQ(read.Counts()[0][0], 0u);
    EXPECT_EQ(read.Counts()[1][15], 1u);
    EXPECT_EQ(read.Counts()[2][1], 0u);
    EXPECT_FALSE(read.YearsLeft(1000, now + 12h));
}

}  // namespace
}  // namespace vaxo
