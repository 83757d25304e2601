#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/core_host.h"
#include "app/event_hub.h"
#include "app/feed_reading.h"
#include "app/front_end_log.h"
#include "app/program_services.h"
#include "app/send_coordinator.h"
#include "base/file_io.h"
#include "base/product.h"
#include "platform/port_layer.h"
#include "platform/tell_tail.h"
#include "record/rds_parameter_set.h"
#include "stations/derived_state.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

inline const std::string kProgramTitle = kProductName;
inline const std::string kStartupBanner =
    std::string("RDS Encoder Solution, version ") + kProductVersion;
inline constexpr const char* kSharedBlockName = "{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}";
inline constexpr const char* kSharedLockName = "{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}";

// What Auto Save does with a station file another hand changed on disk.
enum class ChangedStationChoice { SaveBeside, Overwrite, LeaveAlone };

// What becomes of a station's unsaved changes when a later start hands
// over another station file.
enum class UnsavedChoice { Save, Discard, KeepStation };

// Who last changed a field, and in which revision of the station.
struct FieldStamp {
    std::uint64_t revision = 0;
    std::string origin;  // "the window", "live text", "text 192.0.2.7:51234"
};

// The program, whatever drives it: start-up and exit, the station files,
// changes of fields, the live-text feeds and the radiotext switching, the
// hand-over from later starts, and the sends.
//
// Every front end (the window, the headless program, the network, the web
// page) drives it with commands (Execute) and hears of every change through
// its events; a command's outcome is its caller's alone.
//
// Threads: the program lives on its loop's thread, and everything here is
// called there. Only Listen's subscriptions may end on another thread.
class ControlProgram {
  public:
    explicit ControlProgram(ProgramServices services);
    ControlProgram(const ControlProgram&) = delete;
    ControlProgram& operator=(const ControlProgram&) = delete;
    ~ControlProgram();

    [[nodiscard]] Subscription Listen(ProgramListener listener) {
        return events_.Listen(std::move(listener));
    }

    // --- commands -----------------------------------------------------------

    [[nodiscard]] CommandOutcome Execute(const Command& command);
    // Where front ends tell what they refused before it became a command.
    FrontEndLog& Log() { return frontEndLog_; }

    // --- start and end ------------------------------------------------------

    // The start-up sequence: the single-instance check, the settings, the
    // station, the port. A step that fails is told and the later ones still
    // run. Relative names among the arguments mean the folder this start was
    // made in. `loadResources` is a front end's own step (the window's help
    // text and pictures); it may throw like any other step.
    void Start(const std::vector<std::string>& arguments,
               const std::function<void()>& loadResources = {});
    // Whether the start-up sequence ran to its end.
    bool StartedCompletely() const { return startedCompletely_; }
    // The saves of the first instance at its end, once: "Auto Save" and the
    // settings file. False when a save failed (its error was told). A
    // station file changed on disk since it was loaded or saved is not
    // written over unless `changed` says so: the set goes beside it.
    [[nodiscard]] bool SaveOnExit(ChangedStationChoice changed = ChangedStationChoice::SaveBeside);
    bool StationChangedOnDisk() const;
    // The station differs from what it was last loaded from or saved as.
    bool HasUnsavedChanges() const;
    // Asked when a hand-over would replace a station with unsaved changes
    // (its file name, the handed-over one); without it they are saved first.
    void OnUnsavedHandOver(
        std::function<UnsavedChoice(const std::string& station, const std::string& handed)> ask) {
        askAboutUnsaved_ = std::move(ask);
    }
    // The station named at start could not be read: a program without a
    // window has nothing to put on air.
    bool StationUnreadable() const { return !unreadableStation_.empty(); }
    // Ends the link thread (a running send is abandoned) and lets the port go.
    void ReleasePort();

    // Before Start: a later start ends without handing its command line to
    // the running copy (its network options would be lost on the way).
    void HandNothingOver() { handOverAllowed_ = false; }
    // A start told to hand nothing over found the running copy.
    bool FoundRunningCopy() const { return tellTail_ && tellTail_->FoundFirstInstance(); }
    bool IsFirstInstance() const { return tellTail_ && tellTail_->IsFirstInstance(); }
    // A later start whose command line reached the running copy.
    bool HandedOver() const { return tellTail_ && tellTail_->HandedOver(); }
    // What a later start handed over: its arguments, names made absolute.
    std::string HandedOverCommandLine() const {
        return tellTail_ ? TTellTail::BuildCommandLine(tellTail_->Arguments) : "";
    }
    // Why this start neither became the running copy nor handed over.
    std::string SingleInstanceFailure() const;
    // The file a later start writes into, where it is a file.
    std::string HandOverBlockPath() const;

    // --- what the loop's timers drive; tests call them directly -------------

    void TickLiveText();
    void SwitchRadiotext();
    // Looks for a station a later start handed over.
    void TakeHandOver();

    // --- queries ------------------------------------------------------------

    // Nothing is under way: no send, no look at the live-text files.
    bool Idle() const { return sends_.Idle() && !feedReading_.Looking() && !soonPending_; }
    const RdsParameterSet& Set() const { return set_; }
    const DerivedState& Derived() const { return derived_; }
    const SendCoordinator& Sends() const { return sends_; }
    const std::string& Title() const { return title_; }
    // What a send would write now, built from a copy: the set stays as it is.
    MemoryDump PreviewMemory() const;
    // What each live-text source gave on its last look.
    const std::vector<FeedReport>& FeedReports() const { return feedReports_; }
    // The station's revision: it grows by one with every command, feed look
    // or load that changed a field.
    std::uint64_t Revision() const { return revision_; }
    const FieldStamp& Stamp(FieldId field) const {
        return stamps_[static_cast<std::size_t>(field)];
    }
    // Years until the encoder's memory wears out at the rate of the last
    // week, as the ledger projects it; none without a day of history.
    std::optional<double> WearYearsLeft() const;

    // The decimal separator the send reads AF texts with.
    char DecimalSeparator() const { return services_.clock().decimalSeparator; }

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
    // What a command from outside did, for the log.
    void Tell(const Command& command, const CommandOutcome& outcome);

    // Runs the steps in order; an error is told and skips the rest. The
    // error's text, when there was one.
    std::optional<std::string> RunSteps(const std::vector<std::function<void()>>& steps);
    void RunStartupSteps(const std::vector<std::string>& arguments,
                         const std::function<void()>& loadResources);
    void AutoSave(ChangedStationChoice changed);
    // The fields the station file changed.
    FieldSet LoadStationFromName(const Origin& origin);
    FileLinks StationLinks(const Origin& origin) const;
    void TakeSettings();
    void EnterProgramDir();
    void ShowTitle();
    void ApplyPriority();
    // Fields took new values: a new revision, the events, what follows.
    void Changed(const FieldSet& fields, const Origin& origin);
    void FollowOptions(const FieldSet& fields);
    void FollowDerivedState();
    void TellFeeds(const std::vector<FeedReport>& reports);
    void Looked(const FeedReads& reads);
    void OpenHandedOverFile(const std::string& commandLine);
    // Whether the station may be replaced by `handed`.
    bool UnsavedChangesSettled(const std::string& handed);
    void LoadWearLedger();
    void SaveWearLedger();
    // Once a minute: the ledger saved when it changed, and a memory that
    // wears out within five years told once a day.
    void LookAfterWear();
    std::shared_ptr<SendTicket> RequestSend(const std::string& reason, SendAsker asker);
    // A send a moment from now: requests in that moment make one send.
    std::shared_ptr<SendTicket> RequestSendSoon(const std::string& reason, SendAsker asker);
    void RequestExit();

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
    SendCoordinator sends_;
    FeedReading feedReading_;
    std::unique_ptr<LoopTimer> liveTextTimer_;
    std::unique_ptr<LoopTimer> switchingTimer_;
    std::unique_ptr<LoopTimer> soonTimer_;
    std::unique_ptr<LoopTimer> wearTimer_;
    std::optional<WallTime> wearToldAt_;
    std::string soonReason_;
    SendAsker soonAsker_ = SendAsker::Client;
    std::vector<std::shared_ptr<SendTicket>> soonTickets_;
    bool soonPending_ = false;
    std::unique_ptr<TTellTail> tellTail_;
    std::string title_;
    std::vector<FeedReport> feedReports_;
    bool bannerShown_ = false;
    bool firstTick_ = true;
    bool portStarted_ = false;
    bool exited_ = false;
    bool startedCompletely_ = false;
    bool handOverAllowed_ = true;
    bool priorityRefusalTold_ = false;
    // A station file this run could not read: Auto Save leaves it alone.
    std::string unreadableStation_;
    // What the station file held when it was last loaded or saved.
    std::optional<std::uint64_t> stationFingerprint_;
    std::string savedText_;  // the station as it was last loaded or saved
    std::function<UnsavedChoice(const std::string&, const std::string&)> askAboutUnsaved_;
    // The station file was named from outside the machine (the web page's
    // load): it is never read or written through a link.
    bool stationNamedFromOutside_ = false;
    // The settings file could not be read: it is not written over at the end.
    bool settingsUnreadable_ = false;
};

// How an origin is named where a change is told ("the window", "live text",
// "text 192.0.2.7:51234").
std::string OriginName(const Origin& origin);

}  // namespace vaxo
