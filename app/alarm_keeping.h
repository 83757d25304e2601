#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "alarms/alarm_set.h"
#include "base/core_host.h"
#include "base/link_timing.h"
#include "events/event_hub.h"

namespace vaxo {

// The alarms across runs: the history read at start from the settings
// folder and saved after each entry; each raise, clear and acknowledgement
// told as AlarmChanged. Every kLookEvery, and when asked, `look` reports
// the conditions.
class AlarmKeeping {
  public:
    static constexpr auto kLookEvery = std::chrono::seconds(5);

    AlarmKeeping(CoreHost& host, EventHub& events, LinkTiming& timing,
                 std::function<std::string()> folder, std::function<void()> look);

    // A history that cannot be read is renamed aside and told; when it
    // cannot even be renamed, this run never saves over it.
    void Load();
    void Start();
    void Stop();

    // Every alarm of `kind` is as `conditions` say; those of the kind not
    // among them are gone.
    void Observe(AlarmKind kind,
                 const std::vector<std::pair<AlarmKey, AlarmCondition>>& conditions);
    void Observe(const AlarmKey& key, const AlarmCondition& condition);
    // Why not, when it was not acknowledged now.
    std::optional<std::string> Acknowledge(const AlarmKey& key, const std::string& by);

    const AlarmSet& Alarms() const { return set_; }
    // Why the last save of the history failed; empty while saves work.
    const std::string& SaveTrouble() const { return saveTrouble_; }
    // What Load told of a history it could not take; empty when it could.
    const std::string& Trouble() const { return trouble_; }

  private:
    AlarmNow Now() const;
    void Tell(const std::vector<AlarmEntry>& entries);
    void Save();
    void Due();

    EventHub& events_;
    LinkTiming& timing_;
    std::function<std::string()> folder_;
    std::function<void()> look_;
    std::unique_ptr<LoopTimer> timer_;
    std::unique_ptr<LoopTimer> dueTimer_;
    AlarmSet set_;
    bool mayWrite_ = true;
    std::string saveTrouble_;
    std::string trouble_;
};

}  // namespace vaxo
