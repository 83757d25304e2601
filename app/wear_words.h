#pragma once

#include <optional>
#include <string>

#include "events/program_events.h"
#include "link/wear_ledger.h"

namespace vaxo {

// "page 2 of A0"
std::string PageName(std::size_t block, std::size_t page);

// Why sends wait, and when the next may go, with the way out for scrolling
// text.
std::string DescribeSendsHeld(const SendsHeld& held);
std::string DescribeWearWarning(const WearWarning& warning);

// "busiest page: page 0 of A0, 12345 writes; 9.3 years left at the rate of
// the last week" (or "not yet known" without a day of history).
std::string DescribeWear(const WearLedger& ledger, std::optional<double> yearsLeft);

}  // namespace vaxo
