#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/alarm_keeping.h"
#include "app/commands.h"
#include "app/feed_reading.h"
#include "app/front_end_log.h"
#include "app/program_services.h"
#include "app/program_view.h"
#include "app/wear_keeping.h"
#include "base/core_host.h"
#include "base/loop_thread.h"
#include "base/product.h"
#include "document/station_document.h"
#include "events/event_hub.h"
#include "instance/instance_guard.h"
#include "record/rds_parameter_set.h"
#include "sending/send_scheduler.h"
#include "stations/derived_state.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

inline const std::string kProgramTitle = kProductName;
inline const std::string kStartupBanner =
    std::string("RDS Encoder Solution, version ") + kProductVersion;

// What becomes of a station's unsaved changes when a later start hands
// over another station file.
enum class UnsavedChoice { Save, Discard, KeepStation };

// The program, whatever drives it: a small core that composes its services
// (the station's file, the one instance, the sends, the live-text feeds,
// the memory's wear) and takes commands.
//
// Every front end (the window, the headless program, the network, the web
// page) drives it with commands (Execute), reads it through its view and
// hears of every change through its events; a command's outcome is its
// caller's alone.
//
// Threads: the program lives on its loop's thread, and everything here is
// called there. Only Listen's subscriptions may end on another thread.
class ControlProgram {
  public:
    explicit ControlProgram(ProgramServices services);
    ControlProgram(const ControlProgram&) = delete;
    ControlProgram& operator=(const ControlProgram&) = delete;
    ~ControlProgram();

    [[nodiscard]] Subscription Listen(ProgramListener listener);
    [[nodiscard]] CommandOutcome Execute(const Command& command);
    // Where front ends tell what they refused before it became a command.
    FrontEndLog& Log() { return frontEndLog_; }
    const ProgramView& View() const { return view_; }

    // Before Start: a later start ends without handing its command line to
    // the running copy (its network options would be lost on the way).
    void HandNothingOver() { handOverAllowed_ = false; }
    // Asked when a hand-over would replace a station with unsaved changes
    // (its file name, the handed-over one); without it they are saved first.
    void OnUnsavedHandOver(
        std::function<UnsavedChoice(const std::string& station, const std::string& handed)> ask) {
        askAboutUnsaved_ = std::move(ask);
    }
    // The start-up sequence: the single-instance check, the settings, the
    // station, the port. A step that fails is told and the later ones still
    // run. Relative names among the arguments mean the folder this start was
    // made in. `loadResources` is a front end's own step (the window's help
    // text and pictures); it may throw like any other step.
    void Start(const std::vector<std::string>& arguments,
               const std::function<void()>& loadResources = {});
    // Looks for a station a later start handed over (when the loop is idle).
    void TakeHandOver();
    // The saves of the first instance at its end, once: "Auto Save" and the
    // settings file. False when a save failed (its error was told). A
    // station file changed on disk since it was loaded or saved is not
    // written over unless `changed` says so: the set goes beside it.
    [[nodiscard]] bool SaveOnExit(ChangedStationChoice changed = ChangedStationChoice::SaveBeside);
    // Ends the link thread (a running send is abandoned) and lets the port go.
    void ReleasePort();

  private:
    CommandOutcome Run(const Origin& origin, const SetFields& command);
    CommandOutcome Run(const Origin& origin, const LoadStation& command);
    CommandOutcome Run(const Origin& origin, const SaveStation& command);
    CommandOutcome Run(const Origin& origin, const SaveStationAs& command);
    CommandOutcome Run(const Origin& origin, const UploadStation& command);
    CommandOutcome Run(const Origin& origin, const SendStation& command);
    CommandOutcome Run(const Origin& origin, const ToggleTextAb& command);
    CommandOutcome Run(const Origin& origin, const ReloadStation& command);
    CommandOutcome Run(const Origin& origin, const EndProgram& command);
    CommandOutcome Run(const Origin& origin, const AcknowledgeAlarm& command);
    CommandOutcome Run(const Origin& origin, const ReportCondition& command);
    // What a command from outside did, for the log.
    void Tell(const Command& command, const CommandOutcome& outcome);

    // Runs the steps in order; an error is told and skips the rest. The
    // error's text, when there was one.
    std::optional<std::string> RunSteps(const std::vector<std::function<void()>>& steps);
    void RunStartupSteps(const std::vector<std::string>& arguments,
                         const std::function<void()>& loadResources);
    void TakeSettings();
    void SaveSettings();
    void EnterFolder();
    void ShowTitle();
    void ApplyPriority();
    // Loads the station's file by name and says so; a confined one is never
    // read through a link.
    StationChange OpenStation(const std::string& name, const Origin& origin, bool confined);
    // Fields took new values: a new revision, the events, what follows.
    void Changed(const FieldSet& fields, const Origin& origin);
    void FollowOptions(const FieldSet& fields);
    void FollowDerivedState();
    void AutoSave(ChangedStationChoice changed);
    void OpenHandedOverFile(const std::string& name);
    // Whether the station may be replaced by `handed`.
    bool UnsavedChangesSettled(const std::string& handed);
    // Whether what goes on air differs from what `before` would have sent.
    bool AirChanged(const MemoryDump& before) const;

    // The live-text feeds and the radiotext switching.
    void TickLiveText();
    void Looked(const FeedReads& reads);
    void TellFeeds(const std::vector<FeedReport>& reports);
    void SwitchRadiotext();

    // The alarms' conditions, and the TA limit.
    enum class AlarmLook { AndAct, OnlyLook };
    void LookForAlarms(AlarmLook look = AlarmLook::AndAct);
    void HeardForAlarms(const ProgramEvent& event);
    AlarmCondition SavesCondition() const;
    // A save of `what` went (no error) or failed.
    void SaveTold(const std::string& what, const std::optional<std::string>& error);
    void FollowTa(const FieldSet& fields);
    void LookAfterTa();
    // The fallback for live-text files that stopped changing.
    void KeepOwnTexts(const FieldSet& fields, const Origin& origin);
    std::vector<FieldAssignment> FallbackValues(FeedSource source) const;
    void LookAfterFeedLimits();
    bool KeepFallbacks(const std::vector<FeedReport>& reports);
    AlarmCondition FallbackCondition(FeedSource source) const;
    AlarmCondition UnchangedCondition(FeedSource source) const;

    // Tells the listeners what front ends refused or changed on their own.
    class EventsLog : public FrontEndLog {
      public:
        explicit EventsLog(EventHub& events) : events_(events) {}
        void Refused(const Origin& origin, const std::string& shown,
                     const Refusal& refusal) override;
        void Changed(const Origin& origin, const std::string& shown,
                     const std::string& now) override;

      private:
        EventHub& events_;
    };

    ProgramServices services_;
    EventHub events_;
    EventsLog frontEndLog_{events_};
    RdsParameterSet set_;
    std::uint64_t revision_ = 0;
    std::array<FieldStamp, kFieldCount> stamps_{};
    DerivedState derived_;
    std::string folder_;
    std::string title_;
    StationDocument document_;
    InstanceGuard instance_;
    SendScheduler sends_;
    EncoderProbe probe_;
    WearKeeping wear_;
    AlarmKeeping alarms_;
    Subscription alarmsHearing_;
    std::optional<MonotonicTime> taOnSince_;
    std::string taTurnedOff_;  // why the TA limit turned TA off, until TA is set again
    std::string saveFailure_;  // the last save's error, until one works
    FeedReading feedReading_;
    FeedMemory feedMemory_;
    std::vector<FeedReport> feedReports_;
    std::map<FeedSource, std::chrono::system_clock::time_point> feedTextChanged_;
    std::map<FeedSource, MonotonicTime> feedChangedAt_;  // the same, in elapsed time
    // The feeds whose fallback is on air, with the stale text it stands for.
    std::map<FeedSource, std::string> fallbackFor_;
    std::string ownRadiotext_;
    std::array<std::string, kDpsCount> ownDps_{};
    std::unique_ptr<LoopTimer> liveTextTimer_;
    std::unique_ptr<LoopTimer> switchingTimer_;
    std::function<UnsavedChoice(const std::string&, const std::string&)> askAboutUnsaved_;
    bool bannerShown_ = false;
    bool firstTick_ = true;
    bool portStarted_ = false;
    bool exited_ = false;
    bool startedCompletely_ = false;
    bool handOverAllowed_ = true;
    bool priorityRefusalTold_ = false;
    // The settings file could not be read: it is not written over at the end.
    bool settingsUnreadable_ = false;
    ProgramView view_;
    LoopThread loop_;
};

// How an origin is named where a change is told ("the window", "live text",
// "text 192.0.2.7:51234").
std::string OriginName(const Origin& origin);

}  // namespace vaxo
