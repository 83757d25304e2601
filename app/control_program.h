#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/product.h"
#include "link/send_operation.h"
#include "platform/port_layer.h"
#include "platform/tell_tail.h"
#include "record/rds_parameter_set.h"
#include "stations/derived_state.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

// What the program's window (or a headless front end) does for the core.
class ProgramFrontEnd : public SendFrontEnd {
  public:
    // Applies the language file; the first step of start-up.
    virtual void LoadDefaultLanguage() = 0;
    // Loads the help text and the two pictures; throws for one that exists
    // but cannot be read.
    virtual void ShowHelp() = 0;
    virtual void ShowErrorMessage(const std::string& text) = 0;
    virtual void SetCaption(const std::string& text) = 0;
    virtual void ApplyAlwaysOnTop(bool on) = 0;
    // "High priority" is ticked but the system does not let the process
    // raise its priority; told once per run.
    virtual void HighPriorityRefused(const std::string& /*why*/) {}
    virtual void ClearDecoderIdFocus() = 0;
    // Locks and period labels changed.
    virtual void FollowDerivedState(const DerivedState& state) = 0;
    // The switching timer: start counting a full interval (again), or stop.
    virtual void StartSwitchingTimer(int intervalMs) = 0;
    virtual void StopSwitchingTimer() = 0;
    // The open and save dialogs: a path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseStationToLoad() = 0;
    virtual std::optional<std::string> ChooseStationToSave(const std::string& proposal) = 0;
    // A later start handed over: a minimised window comes back to the front.
    virtual void RestoreFromHandOver() = 0;
};

inline const std::string kProgramTitle = kProductName;
inline const std::string kStartupBanner =
    std::string("RDS Encoder Solution, version ") + kProductVersion;
inline constexpr const char* kSharedBlockName = "{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}";
inline constexpr const char* kSharedLockName = "{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}";

// The program without its window: start-up and exit, the file commands, the
// caption, the hand-over from later starts, the live-text timers and the
// send. The window binds its controls to the set and calls these handlers.
class ControlProgram {
  public:
    struct Environment {
        ProgramFrontEnd& frontEnd;
        PortLayer& portLayer;
        PortIo& linkPort;  // the port layer, or a trace around it
        LinkTiming& timing;
        std::function<ImageClock()> clock;
        // Where settings and relative names live; found at start-up when empty.
        std::string programDir;
    };

    explicit ControlProgram(Environment environment);

    // Window creation: the start-up sequence. Errors are shown and end it.
    // Relative names among the arguments mean the folder this start was made
    // in: they are made absolute before anything else.
    void StartVAXO(const std::vector<std::string>& arguments);
    // Window destruction: the automatic saves of the first instance, once.
    // False when a save failed (its error was shown).
    [[nodiscard]] bool ExitApp();
    // After the event loop: releases the port.
    void EndProcess();
    bool IsFirstInstance() const { return tellTail_ && tellTail_->IsFirstInstance(); }
    // A later start whose command line reached the running copy.
    bool HandedOver() const { return tellTail_ && tellTail_->HandedOver(); }
    // What a later start handed over: its arguments, names made absolute.
    std::string HandedOverCommandLine() const {
        return tellTail_ ? TTellTail::BuildCommandLine(tellTail_->Arguments) : "";
    }
    // Why this start neither became the running copy nor handed over.
    std::string SingleInstanceFailure() const;

    void LOADClick();
    void SAVEClick();
    void SAASClick();
    void EXClick();
    void ShowFileName();
    void CheckHandOver();
    void OpenHandedOverFile(const std::string& commandLine);

    void Timer1Timer();
    void Timer2Timer();

    void UPClick() { link_.UPClick(); }
    void PORTClick() { link_.PORTClick(); }
    void ShowLastSent(int bank);
    void RTFFClick();
    void PSFFClick();
    void ENDPSClick();
    void RTSAClick();
    void TrackBar1Change();
    void TrackBar2Change();
    void EFCHARExit();
    // After a file chooser: the working folder is the program folder again.
    void ReturnToProgramDir();
    void ALONTOPClick();
    void HIPRIClick();

    RdsParameterSet& Set() { return set_; }
    const DerivedState& Derived() const { return derived_; }
    EncoderLink& Link() { return link_; }

  private:
    // Runs the steps in order; an error shows its text and skips the rest.
    void RunSteps(const std::vector<std::function<void()>>& steps);
    void LoadStation();
    void TakeSettings();
    void FollowDerived(void (DerivedState::*handler)(const RdsParameterSet&));
    void ShowDerived(const DerivedState& before);
    void EnterProgramDir();
    void TakeStartupArguments(const std::vector<std::string>& arguments);

    Environment env_;
    RdsParameterSet set_;
    DerivedState derived_;
    EncoderLink link_;
    LiveTextFeeds feeds_;
    std::unique_ptr<TTellTail> tellTail_;
    bool bannerShown_ = false;
    bool firstTick_ = true;
    bool portStarted_ = false;
    bool exited_ = false;
    bool priorityRefusalTold_ = false;
    // A station file this run could not read: Auto Save leaves it alone.
    std::string unreadableStation_;
};

// The Save As proposal: letters A to Z lowered, everything else kept but a
// path separator, which becomes "-" (a PS of "24/7 FM" proposes "24-7 fm").
std::string SaveAsProposal(std::string ps);

}  // namespace vaxo
