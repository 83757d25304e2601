#include "app/control_program.h"

#include <filesystem>

#include "app/program_dir.h"
#include "app/settings_file.h"
#include "encoding/code_page.h"
#include "stations/station_file.h"

namespace vaxo {

std::string LowerAsciiLetters(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
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

void ControlProgram::EnterProgramDir() {
    std::error_code ignored;
    std::filesystem::current_path(set_.ProgramDir, ignored);
}

void ControlProgram::FollowDerived(void (DerivedState::*handler)(const RdsParameterSet&)) {
    (derived_.*handler)(set_);
    env_.frontEnd.FollowDerivedState(derived_);
}

void ControlProgram::LoadStation() {
    LoadStationFile(set_);
    derived_.FollowAll(set_);
    env_.frontEnd.FollowDerivedState(derived_);
}

void ControlProgram::TakeStartupArguments(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1) {
        set_.StationFileName = arguments.front();
    }
}

void ControlProgram::StartVAXO(const std::vector<std::string>& arguments) {
    env_.frontEnd.LoadDefaultLanguage();
    set_.StationFileName = "untitled.rds";
    tellTail_ = std::make_unique<TTellTail>();
    tellTail_->MapFileName = kSharedBlockName;
    tellTail_->MutexName = kSharedLockName;
    tellTail_->Arguments = arguments;
    tellTail_->OnMapFileFailure = [this](TTellTail&) { EXClick(); };
    tellTail_->OnMutexFailure = [this](TTellTail&) { EXClick(); };
    tellTail_->OnTerminate = [this] { EXClick(); };
    if (!tellTail_->Activate()) {
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
        },
        [&] { LoadSettingsFile(set_); },
        [&] { PORTClick(); },
        [&] { TakeStartupArguments(arguments); },
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

void ControlProgram::ExitApp() {
    if (!IsFirstInstance()) {
        return;
    }
    RunSteps({
        [&] {
            if (set_.AUTOSAVE) {
                SaveStationFile(set_);
            }
        },
        [&] { SaveSettingsFile(set_); },
    });
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
        },
    });
}

void ControlProgram::SAASClick() {
    RunSteps({
        [&] {
            const auto chosen = env_.frontEnd.ChooseStationToSave(LowerAsciiLetters(set_.PS));
            if (chosen) {
                set_.StationFileName = *chosen;
                set_.RememberedFile = *chosen;
                SaveStationFile(set_);
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
    env_.frontEnd.ApplyHighPriority(set_.HIPRI);
}

}  // namespace vaxo
