#include "app/control_program.h"

#include <filesystem>

#include "app/settings_file.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "stations/station_file.h"

namespace vaxo {

std::string SaveAsProposal(std::string ps) {
    for (char& c : ps) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '/' || c == '\\' || c == '\0') {
            c = '-';
        }
    }
    return ps;
}

ControlProgram::ControlProgram(Environment environment)
    : env_(std::move(environment)),
      link_(set_, env_.linkPort, env_.timing, env_.frontEnd, env_.clock),
      feeds_(
          set_, [this] { return link_.UploadRDS(); }, [this] { return env_.timing.Now(); }) {}

void ControlProgram::RunSteps(const std::vector<std::function<void()>>& steps) {
    try {
        for (const auto& step : steps) {
            step();
        }
    } catch (const std::exception& error) {
        env_.frontEnd.ShowErrorMessage(error.what());
    }
}

// The one place that sets the working folder, which relative station names
// from the settings file and the dialogs' first folder follow.
void ControlProgram::EnterProgramDir() {
    std::error_code error;
    std::filesystem::current_path(set_.ProgramDir, error);
    if (error) {
        throw FileError(FileError::Kind::CannotOpen, "Cannot open folder " + set_.ProgramDir);
    }
}

void ControlProgram::ReturnToProgramDir() {
    RunSteps({[&] { EnterProgramDir(); }});
}

void ControlProgram::FollowDerived(void (DerivedState::*handler)(const RdsParameterSet&)) {
    const DerivedState before = derived_;
    (derived_.*handler)(set_);
    ShowDerived(before);
}

// The switching timer counts a full interval from when it is switched on or
// its interval changes; switching it on again or the same interval does not
// restart it.
void ControlProgram::ShowDerived(const DerivedState& before) {
    if (!derived_.timer2Running) {
        if (before.timer2Running) {
            env_.frontEnd.StopSwitchingTimer();
        }
    } else if (!before.timer2Running || before.timer2IntervalMs != derived_.timer2IntervalMs) {
        env_.frontEnd.StartSwitchingTimer(derived_.timer2IntervalMs);
    }
    env_.frontEnd.FollowDerivedState(derived_);
}

void ControlProgram::LoadStation() {
    try {
        LoadStationFile(set_);
    } catch (const FileError&) {
        unreadableStation_ = set_.StationFileName;
        throw;
    }
    if (unreadableStation_ == set_.StationFileName) {
        unreadableStation_.clear();
    }
    const DerivedState before = derived_;
    derived_.FollowAll(set_);
    ShowDerived(before);
}

void ControlProgram::TakeStartupArguments(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1) {
        set_.StationFileName = arguments.front();
    }
}

// Options read from the settings file act at once, as if ticked.
void ControlProgram::TakeSettings() {
    LoadSettingsFile(set_);
    set_.RememberedFile = set_.StationFileName;
    ALONTOPClick();
    HIPRIClick();
    PORTClick();
}

namespace {

std::vector<std::string> AbsoluteNames(const std::vector<std::string>& arguments) {
    std::vector<std::string> names;
    for (const std::string& argument : arguments) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(argument, error);
        names.push_back(argument.empty() || error ? argument : absolute.string());
    }
    return names;
}

}  // namespace

void ControlProgram::StartVAXO(const std::vector<std::string>& commandLine) {
    const std::vector<std::string> arguments = AbsoluteNames(commandLine);
    env_.frontEnd.LoadDefaultLanguage();
    set_.StationFileName = "untitled.rds";
    tellTail_ = std::make_unique<TTellTail>();
    tellTail_->MapFileName = kSharedBlockName;
    tellTail_->MutexName = kSharedLockName;
    tellTail_->Arguments = arguments;
    tellTail_->OnMapFileFailure = [this](TTellTail&) { EXClick(); };
    tellTail_->OnMutexFailure = [this](TTellTail&) { EXClick(); };
    tellTail_->OnTerminate = [this] { EXClick(); };
    const bool first = tellTail_->Activate();
    for (const std::string& warning : tellTail_->Warnings()) {
        env_.frontEnd.ShowErrorMessage(warning);
    }
    if (!first) {
        return;  // a later start, or one that could not tell: it never touches the port
    }
    tellTail_->MutexTimeOut = 250;
    // Only the first instance opens the port: a later start must never claim
    // or release the port that the running copy drives.
    env_.portLayer.PortLayerStartup();
    portStarted_ = true;
    bannerShown_ = true;
    RunSteps({
        [&] {
            set_.SendPending = false;
            set_.BothBanksDefault = false;
            set_.LastSendTime = env_.timing.Now();
            set_.ProgramDir = env_.programDir.empty() ? DetermineProgramDir() : env_.programDir;
            EnterProgramDir();
        },
        [&] { TakeSettings(); },
        [&] { PORTClick(); },
        [&] { TakeStartupArguments(arguments); },
        // Until start-up is through, the next start opens the station the
        // settings file remembers, also when this one cannot be read.
        [&] { LoadStation(); },
        [&] {
            ALONTOPClick();  // the derived state followed the load already
            link_.ShowLastSent();
        },
        [&] { env_.frontEnd.ShowHelp(); },
        [&] { HIPRIClick(); },
        [&] { env_.portLayer.SetDirectAccess(true); },
        [&] { env_.linkPort.PortWriteByte(link_.PortBase(), 0); },
        [&] { ShowFileName(); },
        [&] { set_.RememberedFile = set_.StationFileName; },
        [&] { env_.frontEnd.ClearDecoderIdFocus(); },
    });
}

bool ControlProgram::ExitApp() {
    if (!IsFirstInstance() || exited_) {
        return true;
    }
    exited_ = true;
    bool saved = false;
    RunSteps({
        [&] {
            if (!set_.AUTOSAVE) {
                return;
            }
            if (set_.StationFileName == unreadableStation_) {
                env_.frontEnd.ShowErrorMessage("Auto Save left " + set_.StationFileName +
                                               " alone: it could not be read");
                return;
            }
            SaveStationFile(set_);
        },
        [&] {
            SaveSettingsFile(set_);
            saved = true;
        },
    });
    return saved;
}

std::string ControlProgram::SingleInstanceFailure() const {
    if (!tellTail_ || IsFirstInstance() || HandedOver()) {
        return "";
    }
    return tellTail_->FailureText();
}

void ControlProgram::EndProcess() {
    if (portStarted_) {
        env_.portLayer.PortLayerShutdown();
        portStarted_ = false;
    }
}

void ControlProgram::EXClick() {
    env_.frontEnd.RequestExit();
}

void ControlProgram::LOADClick() {
    RunSteps({
        [&] {
            if (const auto chosen = env_.frontEnd.ChooseStationToLoad()) {
                set_.StationFileName = *chosen;
                LoadStation();
            }
        },
        [&] { ShowFileName(); },
        [&] { EnterProgramDir(); },
    });
}

void ControlProgram::SAVEClick() {
    RunSteps({
        [&] {
            set_.RememberedFile = set_.StationFileName;
            SaveStationFile(set_);
            unreadableStation_.clear();  // the operator chose to replace it
        },
    });
}

void ControlProgram::SAASClick() {
    RunSteps({
        [&] {
            const auto chosen = env_.frontEnd.ChooseStationToSave(SaveAsProposal(set_.PS));
            if (!chosen) {
                return;
            }
            // A save that fails leaves the station where it was.
            const std::string previousName = set_.StationFileName;
            const std::string previousRemembered = set_.RememberedFile;
            set_.StationFileName = *chosen;
            set_.RememberedFile = *chosen;
            try {
                SaveStationFile(set_);
            } catch (const FileError&) {
                set_.StationFileName = previousName;
                set_.RememberedFile = previousRemembered;
                throw;
            }
        },
        [&] { ShowFileName(); },
        [&] { EnterProgramDir(); },
    });
}

void ControlProgram::ShowFileName() {
    std::string caption;
    if (bannerShown_) {
        caption = std::string(kProgramTitle) + " - " + kStartupBanner;
    } else {
        const std::string& name = set_.StationFileName;
        const std::size_t separator = name.find_last_of("/\\");
        const std::string part = separator == std::string::npos ? name : name.substr(separator + 1);
        caption = std::string(kProgramTitle) + " - " + LowerFileName(part);
    }
    env_.frontEnd.SetCaption(caption);
}

void ControlProgram::CheckHandOver() {
    if (!tellTail_ || !tellTail_->Enabled || !tellTail_->CheckForData()) {
        return;
    }
    if (tellTail_->RestoreMainInstance) {
        env_.frontEnd.RestoreFromHandOver();
    }
    if (tellTail_->ReceivedCommandLine() != "(empty)") {
        OpenHandedOverFile(tellTail_->ReceivedCommandLine());
    }
}

void ControlProgram::OpenHandedOverFile(const std::string& commandLine) {
    std::string name = commandLine;
    if (!name.empty() && name.front() == '"' && name.back() == '"') {
        name = name.size() >= 2 ? name.substr(1, name.size() - 2) : "";
    }
    set_.StationFileName = name;
    RunSteps({
        [&] { LoadStation(); },
        [&] { ShowFileName(); },
    });
}

void ControlProgram::Timer1Timer() {
    if (firstTick_) {
        firstTick_ = false;
        bannerShown_ = false;
        ShowFileName();
    }
    feeds_.Timer1Timer();
}

void ControlProgram::Timer2Timer() {
    feeds_.Timer2Timer();
}

void ControlProgram::ShowLastSent(int bank) {
    link_.SetShownBank(bank);
    link_.ShowLastSent();
}

void ControlProgram::RTFFClick() {
    FollowDerived(&DerivedState::RTFFClick);
}
void ControlProgram::PSFFClick() {
    FollowDerived(&DerivedState::PSFFClick);
}
void ControlProgram::ENDPSClick() {
    FollowDerived(&DerivedState::ENDPSClick);
}
void ControlProgram::RTSAClick() {
    FollowDerived(&DerivedState::RTSAClick);
}
void ControlProgram::TrackBar1Change() {
    FollowDerived(&DerivedState::TrackBar1Change);
}
void ControlProgram::TrackBar2Change() {
    FollowDerived(&DerivedState::TrackBar2Change);
}

void ControlProgram::EFCHARExit() {
    vaxo::EFCHARExit(set_);
    set_.NotifyChanged();
}

void ControlProgram::ALONTOPClick() {
    env_.frontEnd.ApplyAlwaysOnTop(set_.ALONTOP);
}

void ControlProgram::HIPRIClick() {
    if (!SetHighProcessPriority(set_.HIPRI) && set_.HIPRI && !priorityRefusalTold_) {
        priorityRefusalTold_ = true;
        env_.frontEnd.HighPriorityRefused(
            "The system does not let the program raise its priority (that needs root, "
            "CAP_SYS_NICE or a nice limit in /etc/security/limits.conf)");
    }
}

}  // namespace vaxo
