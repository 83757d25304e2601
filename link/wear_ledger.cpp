#include "link/wear_ledger.h"

#include <algorithm>
#include <charconv>

#include "base/file_io.h"
#include "base/text_lines.h"

namespace vaxo {
namespace {

constexpr auto kWeek = std::chrono::hours(24 * 7);
constexpr auto kDay = std::chrono::hours(24);
constexpr std::size_t kDaysKept = 9;

long long Seconds(WallTime at) {
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

WallTime At(long long seconds) {
    return WallTime(std::chrono::seconds(seconds));
}

template <typename Number>
std::optional<Number> NumberOf(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t space = line.find(' ');
        if (space != 0) {
            words.push_back(line.substr(0, space));
        }
        if (space == std::string_view::npos) {
            break;
        }
        line.remove_prefix(space + 1);
    }
    return words;
}

std::string CountsText(const std::array<std::uint64_t, kBlockPages>& counts) {
    std::string text;
    for (const std::uint64_t count : counts) {
        text += ' ';
        text += std::to_string(count);
    }
    return text;
}

// `words` from `first` on: exactly `into`'s number of counts.
template <std::size_t N>
bool ReadCounts(const std::vector<std::string_view>& words, std::size_t first,
                std::array<std::uint64_t, N>& into) {
    if (words.size() != first + N) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        const auto count = NumberOf<std::uint64_t>(words[first + i]);
        if (!count) {
            return false;
        }
        if (*count > WearLedger::kPlausibleWrites) {
            throw FileError("a count of " + std::string(words[first + i]) +
                            " writes, more than any page can take");
        }
        into[i] = *count;
    }
    return true;
}

}  // namespace

void WearLedger::Count(int bank, const PageWrites& writes) {
    for (const ImageArea area : kImageAreas) {
        auto& block = counts_[MemoryBlock(bank, area)];
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            block[page] += static_cast<std::uint64_t>(
                std::max(0, writes[static_cast<std::size_t>(area)][page]));
        }
    }
}

WearLedger::Page WearLedger::Busiest() const {
    Page busiest;
    for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            if (counts_[block][page] > busiest.count) {
                busiest = {block, page, counts_[block][page]};
            }
        }
    }
    return busiest;
}

// The counts closest to a week ago, at least a day ago: a kept day, or the
// start of the history with no writes.
std::optional<WearLedger::Day> WearLedger::Reference(WallTime now) const {
    std::optional<Day> best;
    const auto consider = [&](const Day& day) {
        const auto age = now - day.at;
        if (age < kDay) {
            return;
        }
        if (!best || std::chrono::abs(age - kWeek) < std::chrono::abs(now - best->at - kWeek)) {
            best = day;
        }
    };
    consider({since_, {}});
    for (const Day& day : days_) {
        consider(day);
    }
    return best;
}

std::optional<double> WearLedger::YearsLeft(long long endurance, WallTime now) const {
    const auto reference = Reference(now);
    if (!reference) {
        return std::nullopt;
    }
    const double days = std::chrono::duration<double>(now - reference->at).count() / 86400.0;
    std::optional<double> least;
    for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
        for (std::size_t page = 0; page < kBlockPages; ++page) {
            const std::uint64_t then = reference->counts[block][page];
            const std::uint64_t count = counts_[block][page];
            if (count <= then) {
                continue;
            }
            const double perDay = static_cast<double>(count - then) / days;
            const double left =
                std::max(0.0, static_cast<double>(endurance) - static_cast<double>(count));
            const double years = left / perDay / 365.0;
            least = least ? std::min(*least, years) : years;
        }
    }
    return least;
}

void WearLedger::KeepDay(WallTime now) {
    if (!days_.empty() && now - days_.back().at < kDay) {
        return;
    }
    days_.push_back({now, counts_});
    while (days_.size() > kDaysKept) {
        days_.pop_front();
    }
}

std::string WearLedger::Text() const {
    std::string text =
        "# Page writes of the encoder's memory, one line per 256-byte block, kept by the "
        "program\r\nsince " +
        std::to_string(Seconds(since_)) + "\r\n";
    for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
        text += MemoryBlockName(block) + CountsText(counts_[block]) + "\r\n";
    }
    for (const Day& day : days_) {
        text += "day " + std::to_string(Seconds(day.at));
        for (const auto& block : day.counts) {
            text += CountsText(block);
        }
        text += "\r\n";
    }
    return text;
}

WearLedger WearLedger::Parse(std::string_view text, WallTime now) {
    WearLedger ledger(now);
    ForEachLine(text, [&](std::string_view line) {
        const auto words = Words(line);
        if (words.empty()) {
            return true;
        }
        if (words[0] == "since" && words.size() == 2) {
            if (const auto seconds = NumberOf<long long>(words[1])) {
                ledger.since_ = At(*seconds);
            }
        } else if (words[0] == "day" && words.size() == 2 + kMemoryBlocks * kBlockPages) {
            const auto seconds = NumberOf<long long>(words[1]);
            std::array<std::uint64_t, kMemoryBlocks * kBlockPages> all{};
            if (seconds && ReadCounts(words, 2, all) && ledger.days_.size() < kDaysKept) {
                Day day{At(*seconds), {}};
                for (std::size_t i = 0; i < all.size(); ++i) {
                    day.counts[i / kBlockPages][i % kBlockPages] = all[i];
                }
                ledger.days_.push_back(day);
            }
        } else {
            for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
                if (words[0] == MemoryBlockName(block)) {
                    std::array<std::uint64_t, kBlockPages> counts{};
                    if (ReadCounts(words, 1, counts)) {
                        ledger.counts_[block] = counts;
                    }
                }
            }
        }
        return true;
    });
    std::sort(ledger.days_.begin(), ledger.days_.end(),
              [](const Day& a, const Day& b) { return a.at < b.at; });
    return ledger;
}

}  // namespace vaxo
