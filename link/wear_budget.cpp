#include "link/wear_budget.h"

#include <algorithm>
#include <cmath>

namespace vaxo {

std::size_t MemoryBlock(int bank, ImageArea area) {
    return (bank == 2 ? 2u : 0u) + static_cast<std::size_t>(area);
}

const char* MemoryBlockName(std::size_t block) {
    static constexpr const char* kNames[kMemoryBlocks] = {"A0", "A2", "A4", "A6"};
    return kNames[block % kMemoryBlocks];
}

double WearSettings::PerDay() const {
    return On() ? static_cast<double>(endurance) / (static_cast<double>(targetYears) * 365.0) : 0;
}

WearBudget::WearBudget(const WearSettings& settings, MonotonicTime start) : settings_(settings) {
    for (auto& block : buckets_) {
        block.fill({Capacity(), start});
    }
}

// What each page spent is still spent: settings changed back and forth do
// not fill the buckets again.
void WearBudget::Configure(const WearSettings& settings, MonotonicTime now) {
    const double before = Capacity();
    for (auto& block : buckets_) {
        for (Bucket& bucket : block) {
            bucket = {before - Level(bucket, now), now};  // spent, for the moment
        }
    }
    settings_ = settings;
    for (auto& block : buckets_) {
        for (Bucket& bucket : block) {
            bucket.writes = Capacity() - bucket.writes;
        }
    }
}

// A budget of less than a write or two a day still lets a write through now
// and then, for the operator's share as for the clients'.
double WearBudget::Capacity() const {
    return std::max(settings_.PerDay(), 2.0);
}

double WearBudget::Kept(WearShare share) const {
    return share == WearShare::Clients ? Capacity() * kOperatorsShare : 0.0;
}

double WearBudget::Level(const Bucket& bucket, MonotonicTime now) const {
    const double seconds = std::chrono::duration<double>(now - bucket.at).count();
    return std::min(Capacity(), bucket.writes + std::max(0.0, seconds) * PerSecond());
}

double WearBudget::Left(std::size_t block, std::size_t page, MonotonicTime now) const {
    return Level(buckets_[block % kMemoryBlocks][page % kBlockPages], now);
}

MonotonicTime WearBudget::WhenAllowed(int bank, const std::array<PageSet, 2>& pages,
                                      MonotonicTime now, WearShare share) const {
    if (!settings_.On()) {
        return now;
    }
    const double needed = 1.0 + Kept(share);
    MonotonicTime when = now;
    for (const ImageArea area : kImageAreas) {
        const auto& block = buckets_[MemoryBlock(bank, area)];
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            if (((pages[static_cast<std::size_t>(area)] >> page) & 1) == 0) {
                continue;
            }
            const double missing = needed - Level(block[page], now);
            if (missing > 0) {
                const auto wait = std::chrono::duration<double>(missing / PerSecond());
                when = std::max(when, now + std::chrono::ceil<std::chrono::milliseconds>(wait));
            }
        }
    }
    return when;
}

void WearBudget::Spend(int bank, const PageWrites& writes, MonotonicTime now) {
    if (!settings_.On()) {
        return;
    }
    for (const ImageArea area : kImageAreas) {
        auto& block = buckets_[MemoryBlock(bank, area)];
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            const int count = writes[static_cast<std::size_t>(area)][page];
            if (count > 0) {
                block[page] = {Level(block[page], now) - count, now};
            }
        }
    }
}

WearBudget::Page WearBudget::Scarcest(int bank, const std::array<PageSet, 2>& pages,
                                      MonotonicTime now) const {
    Page scarcest;
    double lowest = 0;
    bool found = false;
    for (const ImageArea area : kImageAreas) {
        const std::size_t block = MemoryBlock(bank, area);
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            if (((pages[static_cast<std::size_t>(area)] >> page) & 1) == 0) {
                continue;
            }
            const double level = Level(buckets_[block][page], now);
            if (!found || level < lowest) {
                found = true;
                lowest = level;
                scarcest = {block, page};
            }
        }
    }
    return scarcest;
}

}  // namespace vaxo
