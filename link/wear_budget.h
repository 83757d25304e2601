#pragma once

#include <array>
#include <optional>

#include "base/link_timing.h"
#include "link/image_transfer.h"

namespace vaxo {

// The encoder's memory in blocks of 256 bytes: device addresses 0xA0 (bank 1,
// first area), 0xA2 (bank 1, second), 0xA4 and 0xA6 (bank 2).
inline constexpr std::size_t kMemoryBlocks = 4;
std::size_t MemoryBlock(int bank, ImageArea area);
// "A0" .. "A6".
const char* MemoryBlockName(std::size_t block);

// How long the memory is to last, and what its pages are rated for.
struct WearSettings {
    long long endurance = 1'000'000;  // write cycles a page is rated for
    int targetYears = 5;              // 0: no budget

    bool On() const { return targetYears > 0 && endurance > 0; }
    // Writes a day each page may take: 548 for the defaults.
    double PerDay() const;

    bool operator==(const WearSettings&) const = default;
};

// Whose sends spend a page's writes. Network clients and the live-text feeds
// may spend the clients' share; what they leave is the operator's, so that
// no client can make the operator wait.
enum class WearShare { Clients, Operator };
inline constexpr double kOperatorsShare = 0.25;

// Each page's budget of writes: a bucket that fills at the sustained rate
// the memory can bear for its target years and holds one day's worth, so
// that bursts pass. Every bucket is full when the budget begins, whatever
// the clock reads then: a machine that booted a minute ago starts with the
// same day's worth as one that has run for a year. Sends may overdraw it
// (the operator's Send always goes); the ones that wait for it ask whether
// it allows their pages, and when.
class WearBudget {
  public:
    WearBudget(const WearSettings& settings, MonotonicTime start);
    // Other settings: what was spent stays spent, the rest fills at the new rate.
    void Configure(const WearSettings& settings, MonotonicTime now);
    const WearSettings& Settings() const { return settings_; }

    // When every page the send would write has a write left in `share`:
    // `now` when they have, and when no budget is kept.
    MonotonicTime WhenAllowed(int bank, const std::array<PageSet, 2>& pages, MonotonicTime now,
                              WearShare share = WearShare::Operator) const;
    void Spend(int bank, const PageWrites& writes, MonotonicTime now);
    // The page of `pages` that waits longest, for the operator's words.
    struct Page {
        std::size_t block = 0;
        std::size_t page = 0;
    };
    Page Scarcest(int bank, const std::array<PageSet, 2>& pages, MonotonicTime now) const;
    // Writes left to `page` of `block` now, all shares together.
    double Left(std::size_t block, std::size_t page, MonotonicTime now) const;
    // What a bucket holds when full: a day's worth, and at least enough for
    // a client's write above the operator's share.
    double Capacity() const;

  private:
    struct Bucket {
        double writes = 0;  // left, may be below 0 after an overdraft
        MonotonicTime at;
    };
    double Level(const Bucket& bucket, MonotonicTime now) const;
    // What `share` must leave in a bucket.
    double Kept(WearShare share) const;
    double PerSecond() const { return settings_.PerDay() / 86400.0; }

    WearSettings settings_;
    std::array<std::array<Bucket, kBlockPages>, kMemoryBlocks> buckets_;
};

}  // namespace vaxo
