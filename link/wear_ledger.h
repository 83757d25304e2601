#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "link/wear_budget.h"

namespace vaxo {

using PageCounts = std::array<std::array<std::uint64_t, kBlockPages>, kMemoryBlocks>;
using WallTime = std::chrono::system_clock::time_point;

// Every page write of the encoder's memory, kept across runs, and what it
// says of the memory's life: each page's rate over the last week against its
// rated endurance.
class WearLedger {
  public:
    explicit WearLedger(WallTime since = std::chrono::system_clock::now()) : since_(since) {}

    void Count(int bank, const PageWrites& writes);
    const PageCounts& Counts() const { return counts_; }

    struct Page {
        std::size_t block = 0;
        std::size_t page = 0;
        std::uint64_t count = 0;
    };
    // The page written most often.
    Page Busiest() const;
    // Years until the first page reaches `endurance` at the rate each page
    // was written over the last week (or as long as there is history, at
    // least a day); none with less than a day of history, or no writes in it.
    std::optional<double> YearsLeft(long long endurance, WallTime now) const;

    // Keeps the counts of each day, for the rates: call when saving.
    void KeepDay(WallTime now);

    // The file's text, and back; a line it cannot read is passed over. A
    // count beyond kPlausibleWrites comes from no page: the text is refused
    // with FileError, never taken at face value.
    std::string Text() const;
    static WearLedger Parse(std::string_view text, WallTime now);

    // A page written every millisecond would take 30 years to get there.
    static constexpr std::uint64_t kPlausibleWrites = 1'000'000'000'000;

  private:
    struct Day {
        WallTime at;
        PageCounts counts;
    };
    std::optional<Day> Reference(WallTime now) const;

    PageCounts counts_{};
    WallTime since_;
    std::deque<Day> days_;  // oldest first, at most a week and a day
};

// The ledger's file beside the settings file.
inline constexpr const char* kWearLedgerFileName = "vaxow.wear";

}  // namespace vaxo
