#pragma once

#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"

namespace vaxo::test {

// Turns the loop until `idle` holds. A send held back for the interval
// between sends or for the memory's budget of writes goes when its hold
// ends: the link's virtual clock moves on by the hold and its timer fires.
template <typename Idle, typename Holding>
bool SettleThroughHolds(ManualHost& host, FakeLinkTiming& timing, Idle idle, Holding holding) {
    for (;;) {
        if (!host.RunUntil([&] { return idle() || holding(); })) {
            return false;
        }
        if (idle()) {
            return true;
        }
        const auto hold = host.Running("send hold");
        if (!hold) {
            return false;
        }
        timing.Advance(*hold);
        host.Fire("send hold");
    }
}

}  // namespace vaxo::test
