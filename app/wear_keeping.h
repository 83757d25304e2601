#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/core_host.h"
#include "events/event_hub.h"
#include "sending/send_scheduler.h"

namespace vaxo {

// The wear ledger across runs: read at start, saved at most once a minute
// while it counts and at the end; a memory that wears out within five years
// at the rate of the last week is told once a day.
class WearKeeping {
  public:
    // `folder`: where the ledger lives, read when it is used; `endurance`:
    // what the pages are rated for.
    WearKeeping(CoreHost& host, EventHub& events, SendScheduler& sends,
                std::function<std::string()> folder, std::function<long long()> endurance);

    // What this run finds of earlier runs' writes; a line of it that cannot
    // be read is passed over. A ledger that cannot be read at all is renamed
    // aside and told, and counting begins afresh; when it cannot even be
    // renamed, this run never saves over it.
    void Load();
    void Start();
    void Stop();
    // Throws FileError.
    void Save();
    std::optional<double> YearsLeft() const;
    // What Load told of a ledger it could not take; empty when it could.
    const std::string& Trouble() const { return trouble_; }
    // Why the last save on the way failed; empty while saves work.
    const std::string& SaveTrouble() const { return saveTrouble_; }

  private:
    void LookAfter();

    EventHub& events_;
    SendScheduler& sends_;
    std::function<std::string()> folder_;
    std::function<long long()> endurance_;
    std::unique_ptr<LoopTimer> timer_;
    std::optional<WallTime> toldAt_;
    bool mayWrite_ = true;
    std::string trouble_;
    std::string saveTrouble_;
};

// Below this many years of life left the memory is told to be wearing out.
inline constexpr double kWearWarningYears = 5;

}  // namespace vaxo
