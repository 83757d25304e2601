#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core_host.h"
#include "app/event_hub.h"
#include "app/feed_reading.h"
#include "app/program_services.h"
#include "app/send_coordinator.h"
#include "base/product.h"
#include "platform/port_layer.h"
#include "platform/tell_tail.h"
#include "record/rds_parameter_set.h"
#include "stations/derived_state.h"
#include "stations/field_changes.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

inline const std::string kProgramTitle = kProductName;
inline const std::string kStartupBanner =
    std::string("RDS Encoder Solution, version ") + kProductVersion;
inline constexpr const char* kSharedBlockName = "{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}";
inline constexpr const char* kSharedLockName = "{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}";

// What Auto Save does with a station file another hand changed on disk.
enum class ChangedStationChoice { SaveBeside, Overwrite, LeaveAlone };

// The program, whatever drives it: start-up and exit, the station files,
// changes of fields, the live-text feeds and the radiotext switching, the
// hand-over from later starts, and the sends. The window, the headless
// program and the network front ends all drive it the same way, on the
// loop's thread, and learn what happens by listening.
class ControlProgram {
  public:
    explicit ControlProgram(ProgramServices services);
    ControlProgram(const ControlProgram&) = delete;
    ControlProgram& operator=(const ControlProgram&) = delete;
    ~ControlProgram();

    [[nodiscard]] Subscription Listen(ProgramListener listener) {
        return events_.Listen(std::move(listener));
    }

    // The start-up sequence: the single-instance check, the settings, the
    // station, the port. An error is told and skips the rest. Relative names
    // among the arguments mean the folder this start was made in.
    // `loadResources` is a front end's own step (the window's help text and
    // pictures); it may throw like any other step.
    void Start(const std::vector<std::string>& arguments,
               const std::function<void()>& loadResources = {});
    // Whether the start-up sequence ran to its end.
    bool StartedCompletely() const { return startedCompletely_; }
    // The saves of the first instance at its end, once: "Auto Save" and the
    // settings file. False when a save failed (its error was told). A
    // station file changed on disk since it was loaded or saved is not
    // written over: the set goes beside it, unless the operator chose.
    [[nodiscard]] bool SaveOnExit();
    bool StationChangedOnDisk() const;
    void ChooseForChangedStation(ChangedStationChoice choice) { changedStationChoice_ = choice; }
    // The station named at start could not be read: a program without a
    // window has nothing to put on air.
    bool StationUnreadable() const { return !unreadableStation_.empty(); }
    // Ends the link thread (a running send is abandoned) and lets the port go.
    void ReleasePort();
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

    // Station files. Each returns to the program folder afterwards.
    void LoadStation(const std::string& path);
    void SaveStation();
    void SaveStationAs(const std::string& path);
    // A station dialog closed without a file: the title again, the program folder.
    void StationDialogCancelled();
    // The Save As proposal for the current PS.
    std::string SaveAsProposal() const;
    // After a file chooser: the working folder is the program folder again.
    void ReturnToProgramDir();

    // The one door for changes of station fields: KEY=value lines, each
    // answered. Derived state follows; listeners hear which fields changed
    // and who changed them.
    FieldChanges ApplyFields(std::string_view lines, const FieldPolicy& policy,
                             const std::string& origin = "");
    // One field, leniently, as the operator edits it.
    void ApplyField(std::string_view key, std::string_view value);
    // A command from outside (a network client): its lines strictly, all or
    // none, the feed file names and EXIT refused; told as a RemoteCommand.
    // When what goes on air changed, or SEND=1 asked, a send follows soon:
    // a burst makes one.
    FieldChanges ApplyRemoteFields(std::string_view lines, const std::string& origin,
                                   const std::string& command);
    // A change from outside made by another way than the fields (a program
    // option), told as a RemoteCommand.
    void TellChanged(const std::string& origin, const std::string& command, FieldKeys keys);
    // Station-file bytes from outside (an upload), taken as a load takes a
    // file: leniently, CLEAR resets first. The station keeps its file name.
    void TakeStationText(std::string_view text, const std::string& origin);
    // A command from outside that was refused before it reached the fields.
    void TellRefused(const std::string& origin, const std::string& command, const std::string& why);
    // The radiotext A/B flag flipped, for the next send (a UECP command).
    void ToggleTextAb();
    // The decimal separator the send reads AF texts with.
    char DecimalSeparator() const { return services_.clock().decimalSeparator; }
    // The operator left the effect character empty.
    void RestoreEffectCharacter();

    // "Send after Load" as an option, without asking for a send now.
    void SetSendAfterLoad(bool on);

    // Program options.
    void ChoosePort(int port);  // 0 LPT1, 1 LPT2
    void SetAutoSave(bool on);
    void SetHighPriority(bool on);
    void SetAlwaysOnTop(bool on);

    // Sends. The operator's is ignored while one runs and within two
    // seconds of the last; any other follows a running one.
    void SendFromOperator();
    void RequestSend(const std::string& reason);
    // A send a moment from now: requests in that moment make one send.
    void RequestSendSoon(const std::string& reason);

    // The loop's timers drive these; tests call them directly.
    void TickLiveText();
    void SwitchRadiotext();
    // Looks for a station a later start handed over.
    void TakeHandOver();
    // Reads the settings' options and the station file again, as a daemon
    // does on SIGHUP; what goes on air changed, a send follows.
    void Reload();
    void RequestExit();

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

  private:
    // Runs the steps in order; an error is told and skips the rest.
    bool RunSteps(const std::vector<std::function<void()>>& steps);
    void RunStartupSteps(const std::vector<std::string>& arguments,
                         const std::function<void()>& loadResources);
    void AutoSave();
    void LoadStationFromName();
    void TakeSettings();
    void TakeStartupArguments(const std::vector<std::string>& arguments);
    void EnterProgramDir();
    void ShowTitle();
    void ApplyPriority();
    void Changed(FieldKeys keys, const std::string& origin = "");
    void FollowDerivedState();
    void TellFeeds(const std::vector<FeedReport>& reports);
    void Looked(const FeedReads& reads);
    void OpenHandedOverFile(const std::string& commandLine);

    ProgramServices services_;
    EventHub events_;
    RdsParameterSet set_;
    DerivedState derived_;
    SendCoordinator sends_;
    FeedReading feedReading_;
    std::unique_ptr<LoopTimer> liveTextTimer_;
    std::unique_ptr<LoopTimer> switchingTimer_;
    std::unique_ptr<LoopTimer> soonTimer_;
    std::string soonReason_;
    bool soonPending_ = false;
    std::unique_ptr<TTellTail> tellTail_;
    std::string title_;
    std::vector<FeedReport> feedReports_;
    bool bannerShown_ = false;
    bool firstTick_ = true;
    bool portStarted_ = false;
    bool exited_ = false;
    bool startedCompletely_ = false;
    bool priorityRefusalTold_ = false;
    // A station file this run could not read: Auto Save leaves it alone.
    std::string unreadableStation_;
    // What the station file held when it was last loaded or saved.
    std::optional<std::uint64_t> stationFingerprint_;
    ChangedStationChoice changedStationChoice_ = ChangedStationChoice::SaveBeside;
    // The settings file could not be read: it is not written over at the end.
    bool settingsUnreadable_ = false;
};

// The Save As proposal: letters A to Z lowered, everything else kept but a
// path separator, which becomes "-" (a PS of "24/7 FM" proposes "24-7 fm").
std::string SaveAsProposal(std::string ps);

}  // namespace vaxo
