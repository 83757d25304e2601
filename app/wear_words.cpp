#include "app/wear_words.h"

#include <cmath>
#include <cstdio>

#include "base/local_time.h"

namespace vaxo {
namespace {

std::string Years(double years) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", years);
    return text;
}

}  // namespace

std::string PageName(std::size_t block, std::size_t page) {
    return "page " + std::to_string(page) + " of " + MemoryBlockName(block);
}

std::string DescribeSendsHeld(const SendsHeld& held) {
    return "sends wait to spare the encoder's memory: " + PageName(held.block, held.page) +
           " has used its budget of " + std::to_string(std::lround(held.perDay)) +
           " writes a day; the next send may go at " + LocalStamp(held.next) +
           " (for a text that scrolls, DPS= has the encoder step through up to eight texts "
           "with one write)";
}

std::string DescribeWearWarning(const WearWarning& warning) {
    return "the encoder's memory may wear out in " + Years(warning.yearsLeft) +
           " years at the rate of the last week (" + PageName(warning.block, warning.page) +
           " is written most; see vaxoctl wear)";
}

std::string DescribeWear(const WearLedger& ledger, std::optional<double> yearsLeft) {
    const auto busiest = ledger.Busiest();
    if (busiest.count == 0) {
        return "no page written yet";
    }
    return "busiest page: " + PageName(busiest.block, busiest.page) + ", " +
           std::to_string(busiest.count) + " writes; " +
           (yearsLeft ? Years(*yearsLeft) + " years left at the rate of the last week"
                      : std::string("years left not yet known (less than a day of history)"));
}

}  // namespace vaxo
