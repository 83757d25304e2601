#include "app/control_program.h"

#include <algorithm>
#include <filesystem>

#include "app/settings_file.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "stations/station_file.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kLiveTextInterval = 3000ms;
constexpr long kGuardSeconds =
    1;  // an operator's send this many whole seconds after one is ignored

std::vector<std::string> AbsoluteNames(const std::vector<std::string>& arguments) {
    std::vector<std::string> names;
    for (const std::string& argument : arguments) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(argument, error);
        names.push_back(argument.empty() || error ? argument : absolute.string());
    }
    return names;
}

std::string FeedName(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext file" : "dynamic PS file";
}

}  // namespace

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

ControlProgram::ControlProgram(ProgramServices services)
    : services_(std::move(services)),
      derived_(DeriveState(set_)),
      sends_({services_.host, services_.portLayer, services_.linkPort, services_.timing,
              services_.clock, events_, set_, services_.readBack}),
      feedReading_(services_.host, [this](const FeedReads& reads) { Looked(reads); }),
      liveTextTimer_(services_.host.MakeTimer("live text", [this] { TickLiveText(); })),
      switchingTimer_(
          services_.host.MakeTimer("radiotext switching", [this] { SwitchRadiotext(); })) {}

ControlProgram::~ControlProgram() {
    sends_.Stop();
}

bool ControlProgram::RunSteps(const std::vector<std::function<void()>>& steps) {
    try {
        for (const auto& step : steps) {
            step();
        }
    } catch (const std::exception& error) {
        events_.Emit(ErrorReported{error.what()});
        return false;
    }
    return true;
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

void ControlProgram::Changed(FieldKeys keys, const std::string& origin) {
    if (keys.empty()) {
        return;
    }
    events_.Emit(FieldsChanged{std::move(keys), origin});
    FollowDerivedState();
}

// The switching timer counts a full interval from when it is switched on or
// its interval changes; switching it on again or the same interval does not
// restart it.
void ControlProgram::FollowDerivedState() {
    const DerivedState now = DeriveState(set_);
    if (now == derived_) {
        return;
    }
    const DerivedState before = derived_;
    derived_ = now;
    if (!now.switching) {
        if (before.switching) {
            switchingTimer_->Stop();
        }
    } else if (!before.switching || before.switchingInterval != now.switchingInterval) {
        switchingTimer_->Start(now.switchingInterval);
    }
    events_.Emit(DerivedStateChanged{derived_});
}

void ControlProgram::LoadStationFromName() {
    FieldChanges changes;
    try {
        changes = LoadStationFile(set_);
    } catch (const FileError&) {
        unreadableStation_ = set_.StationFileName;
        throw;
    }
    if (unreadableStation_ == set_.StationFileName) {
        unreadableStation_.clear();
    }
    Changed(std::move(changes.changed));
}

void ControlProgram::TakeStartupArguments(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1) {
        set_.StationFileName = arguments.front();
    }
}

// Options read from the settings file act at once, as if chosen.
void ControlProgram::TakeSettings() {
    const auto before = FieldValues(set_);
    LoadSettingsFile(set_);
    set_.RememberedFile = set_.StationFileName;
    FieldKeys changed = ChangedFields(before, set_);
    changed.insert(changed.end(), {"PORT", "AUTOSAVE", "HIPRI", "ALONTOP"});
    Changed(std::move(changed));
    ApplyPriority();
    sends_.FollowPortChoice();
}

void ControlProgram::Start(const std::vector<std::string>& commandLine,
                           const std::function<void()>& loadResources) {
    const std::vector<std::string> arguments = AbsoluteNames(commandLine);
    set_.StationFileName = "untitled.rds";
    tellTail_ = std::make_unique<TTellTail>();
    tellTail_->MapFileName = kSharedBlockName;
    tellTail_->MutexName = kSharedLockName;
    tellTail_->Arguments = arguments;
    tellTail_->OnMapFileFailure = [this](TTellTail&) { RequestExit(); };
    tellTail_->OnMutexFailure = [this](TTellTail&) { RequestExit(); };
    tellTail_->OnTerminate = [this] { RequestExit(); };
    const bool first = tellTail_->Activate();
    for (const std::string& warning : tellTail_->Warnings()) {
        events_.Emit(ErrorReported{warning});
    }
    if (!first) {
        return;  // a later start, or one that could not tell: it never touches the port
    }
    tellTail_->MutexTimeOut = 250;
    // Only the first instance opens the port: a later start must never claim
    // or release the port that the running copy drives.
    services_.portLayer.PortLayerStartup();
    portStarted_ = true;
    bannerShown_ = true;
    startedCompletely_ = RunSteps({
        [&] {
            set_.SendPending = false;
            set_.BothBanksDefault = false;
            set_.LastSendTime = services_.timing.Now();
            set_.ProgramDir =
                services_.programDir.empty() ? DetermineProgramDir() : services_.programDir;
            EnterProgramDir();
        },
        [&] { TakeSettings(); },
        [&] { sends_.FollowPortChoice(); },
        [&] { TakeStartupArguments(arguments); },
        // Until start-up is through, the next start opens the station the
        // settings file remembers, also when this one cannot be read.
        [&] { LoadStationFromName(); },
        [&] {
            if (loadResources) {
                loadResources();
            }
        },
        [&] { ApplyPriority(); },
        [&] { sends_.PreparePort(); },
        [&] { ShowTitle(); },
        [&] { set_.RememberedFile = set_.StationFileName; },
    });
    sends_.StartCalibrating();
    liveTextTimer_->Start(kLiveTextInterval);
}

bool ControlProgram::SaveOnExit() {
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
                events_.Emit(ErrorReported{"Auto Save left " + set_.StationFileName +
                                           " alone: it could not be read"});
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

std::string ControlProgram::HandOverBlockPath() const {
    return tellTail_ && IsFirstInstance() ? tellTail_->BlockPath() : "";
}

void ControlProgram::ReleasePort() {
    sends_.Stop();
    liveTextTimer_->Stop();
    switchingTimer_->Stop();
    if (portStarted_) {
        services_.portLayer.PortLayerShutdown();
        portStarted_ = false;
    }
}

void ControlProgram::RequestExit() {
    events_.Emit(ExitRequested{});
}

void ControlProgram::LoadStation(const std::string& path) {
    set_.StationFileName = path;
    RunSteps({[&] { LoadStationFromName(); }});
    StationDialogCancelled();
}

void ControlProgram::StationDialogCancelled() {
    RunSteps({
        [&] { ShowTitle(); },
        [&] { EnterProgramDir(); },
    });
}

void ControlProgram::SaveStation() {
    RunSteps({
        [&] {
            set_.RememberedFile = set_.StationFileName;
            SaveStationFile(set_);
            unreadableStation_.clear();  // the operator chose to replace it
        },
    });
}

void ControlProgram::SaveStationAs(const std::string& path) {
    RunSteps({
        [&] {
            // A save that fails leaves the station where it was.
            const std::string previousName = set_.StationFileName;
            const std::string previousRemembered = set_.RememberedFile;
            set_.StationFileName = path;
            set_.RememberedFile = path;
            try {
                SaveStationFile(set_);
            } catch (const FileError&) {
                set_.StationFileName = previousName;
                set_.RememberedFile = previousRemembered;
                throw;
            }
        },
    });
    StationDialogCancelled();
}

MemoryDump ControlProgram::PreviewMemory() const {
    RdsParameterSet copy = set_;
    copy.UpdateTextAb();
    EncodedFields fields;
    EncoderImage image;
    BuildEncoderImage(copy, services_.clock(), fields, image);
    return WrittenMemory(image);
}

std::string ControlProgram::SaveAsProposal() const {
    return vaxo::SaveAsProposal(set_.PS);
}

void ControlProgram::ShowTitle() {
    if (bannerShown_) {
        title_ = kProgramTitle + " - " + kStartupBanner;
    } else {
        const std::string& name = set_.StationFileName;
        const std::size_t separator = name.find_last_of("/\\");
        const std::string part = separator == std::string::npos ? name : name.substr(separator + 1);
        title_ = kProgramTitle + " - " + LowerFileName(part);
    }
    events_.Emit(TitleChanged{title_});
}

FieldChanges ControlProgram::ApplyFields(std::string_view lines, const FieldPolicy& policy,
                                         const std::string& origin) {
    FieldChanges changes = ApplyFieldLines(set_, lines, policy);
    Changed(changes.changed, origin);
    return changes;
}

void ControlProgram::ApplyField(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    static_cast<void>(ApplyFields(line, FieldPolicy{}));
}

void ControlProgram::RestoreEffectCharacter() {
    const auto before = FieldValues(set_);
    vaxo::RestoreEffectCharacter(set_);
    Changed(ChangedFields(before, set_));
}

void ControlProgram::SetSendAfterLoad(bool on) {
    if (set_.SEND != on) {
        set_.SEND = on;
        Changed({"SEND"});
    }
}

void ControlProgram::ChoosePort(int port) {
    set_.PORT = port == 1 ? 1 : 0;
    Changed({"PORT"});
    sends_.FollowPortChoice();
}

void ControlProgram::SetAutoSave(bool on) {
    set_.AUTOSAVE = on;
    Changed({"AUTOSAVE"});
}

void ControlProgram::SetHighPriority(bool on) {
    set_.HIPRI = on;
    Changed({"HIPRI"});
    ApplyPriority();
}

void ControlProgram::SetAlwaysOnTop(bool on) {
    set_.ALONTOP = on;
    Changed({"ALONTOP"});
}

void ControlProgram::ApplyPriority() {
    if (!SetHighProcessPriority(set_.HIPRI) && set_.HIPRI && !priorityRefusalTold_) {
        priorityRefusalTold_ = true;
        events_.Emit(PriorityRefused{
            "The system does not let the program raise its priority (that needs root, "
            "CAP_SYS_NICE or a nice limit in /etc/security/limits.conf)"});
    }
}

void ControlProgram::SendFromOperator() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(services_.timing.Now() -
                                                                          set_.LastSendTime);
    if (sends_.Running() || elapsed.count() <= kGuardSeconds) {
        return;
    }
    sends_.Request("operator");
}

void ControlProgram::RequestSend(const std::string& reason) {
    sends_.Request(reason);
}

void ControlProgram::TellFeeds(const std::vector<FeedReport>& reports) {
    for (const FeedReport& report : reports) {
        const auto known = std::find_if(
            feedReports_.begin(), feedReports_.end(),
            [&](const FeedReport& earlier) { return earlier.source == report.source; });
        if (known == feedReports_.end()) {
            feedReports_.push_back(report);
        } else if (*known == report) {
            continue;
        } else {
            *known = report;
        }
        events_.Emit(FeedChanged{report});
    }
}

void ControlProgram::TickLiveText() {
    if (firstTick_) {
        firstTick_ = false;
        bannerShown_ = false;
        ShowTitle();
    }
    if (!FollowsRadiotextFile(set_) && !FollowsDynamicPsFile(set_) && !set_.SendPending) {
        return;
    }
    feedReading_.Look(set_);
}

// A look at the live-text files came back: their texts into the fields, and
// a send when they ask for one or a station file did.
void ControlProgram::Looked(const FeedReads& looked) {
    FeedReads reads = looked;
    if (!FollowsRadiotextFile(set_)) {
        reads.radiotext.reset();  // switched off while it was read
    }
    if (!FollowsDynamicPsFile(set_)) {
        reads.dynamicPs.reset();
    }
    const auto before = FieldValues(set_);
    const FeedTick tick = ApplyFeedReads(set_, reads);
    TellFeeds(tick.reports);
    Changed(ChangedFields(before, set_), "live text");
    if (tick.sendFor) {
        sends_.Request(FeedName(*tick.sendFor));
    }
    if (set_.SendPending) {
        sends_.Request("send after load");
    }
}

void ControlProgram::SwitchRadiotext() {
    const int before = set_.SELRT;
    AdvanceRadiotext(set_);
    if (set_.SELRT != before) {
        Changed({"SELRT"});
    }
    sends_.Request("radiotext switching");
}

void ControlProgram::TakeHandOver() {
    if (!tellTail_ || !tellTail_->Enabled || !tellTail_->CheckForData()) {
        return;
    }
    if (tellTail_->RestoreMainInstance) {
        events_.Emit(HandOverTaken{});
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
        [&] { LoadStationFromName(); },
        [&] { ShowTitle(); },
    });
}

}  // namespace vaxo
