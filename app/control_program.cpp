#include "app/control_program.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app/options_file.h"
#include "app/settings_file.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "stations/field_changes.h"
#include "stations/station_file.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kLiveTextInterval = 3000ms;
// Changes from outside within this much of each other go out in one send.
constexpr auto kBurst = 100ms;
// The wear ledger is saved at most this often (and at the end).
constexpr auto kWearLookEvery = 1min;
constexpr double kWearWarningYears = 5;
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

// Later starts hand over absolute names (quoted when they hold a space);
// what is no such text, a block another program garbled say, loads nothing.
bool PlausibleHandOver(const std::string& line) {
    if (line.empty() || std::any_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        })) {
        return false;
    }
    const std::string_view name = std::string_view(line).substr(line.front() == '"' ? 1 : 0);
#ifdef _WIN32
    return name.size() > 2 && ((std::isalpha(static_cast<unsigned char>(name[0])) &&
                                name[1] == ':' && (name[2] == '\\' || name[2] == '/')) ||
                               name.substr(0, 2) == "\\\\");
#else
    return !name.empty() && name.front() == '/' && Utf8ToWindows1250(line).has_value();
#endif
}

// "station.rds" beside which Auto Save writes "station.autosave-20261208-143210.rds".
std::string BesideName(const std::string& name, LocalTime now) {
    const std::filesystem::path path(name);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(seconds)};
    const std::chrono::hh_mm_ss time{seconds - std::chrono::floor<std::chrono::days>(seconds)};
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, ".autosave-%04d%02u%02u-%02ld%02ld%02ld",
                  static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()), static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return (path.parent_path() / (path.stem().string() + stamp + path.extension().string()))
        .string();
}

std::optional<Refusal> AsFileTrouble(const std::optional<std::string>& error) {
    return error ? std::optional(Refusal{RefusalCode::FileTrouble, *error}) : std::nullopt;
}

SendAsker AskerOf(const Origin& origin) {
    return origin.IsOperator() ? SendAsker::Operator : SendAsker::Client;
}

std::string FeedName(FeedSource source) {
    return source == FeedSource::Radiotext ? "radiotext file" : "dynamic PS file";
}

}  // namespace

std::string OriginName(const Origin& origin) {
    if (!origin.who.empty()) {
        return origin.who;
    }
    switch (origin.kind) {
        case Origin::Kind::Window:
            return "the window";
        case Origin::Kind::Feed:
            return "live text";
        case Origin::Kind::CommandLine:
            return "the command line";
        default:
            return "the program";
    }
}

ControlProgram::ControlProgram(ProgramServices services)
    : services_(std::move(services)),
      derived_(DeriveState(set_)),
      sends_({services_, events_, set_, revision_}),
      feedReading_(services_.host, [this](const FeedReads& reads) { Looked(reads); }),
      liveTextTimer_(services_.host.MakeTimer("live text", [this] { TickLiveText(); })),
      switchingTimer_(
          services_.host.MakeTimer("radiotext switching", [this] { SwitchRadiotext(); })),
      soonTimer_(services_.host.MakeTimer("send soon",
                                          [this] {
                                              soonTimer_->Stop();
                                              soonPending_ = false;
                                              sends_.Request(
                                                  soonReason_, std::exchange(soonTickets_, {}),
                                                  std::exchange(soonAsker_, SendAsker::Client));
                                          })),
      wearTimer_(services_.host.MakeTimer("wear ledger", [this] { LookAfterWear(); })) {}

ControlProgram::~ControlProgram() {
    sends_.Stop();
}

std::optional<std::string> ControlProgram::RunSteps(
    const std::vector<std::function<void()>>& steps) {
    try {
        for (const auto& step : steps) {
            step();
        }
    } catch (const std::exception& error) {
        events_.Emit(ErrorReported{error.what()});
        return error.what();
    }
    return std::nullopt;
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

void ControlProgram::Changed(const FieldSet& fields, const Origin& origin) {
    if (fields.Empty()) {
        return;
    }
    ++revision_;
    fields.ForEach([&](FieldId id) { stamps_[IndexOf(id)] = {revision_, OriginName(origin)}; });
    events_.Emit(FieldsChanged{fields, origin.who});
    FollowDerivedState();
}

void ControlProgram::FollowOptions(const FieldSet& fields) {
    if (fields.Has(FieldId::PORT)) {
        sends_.FollowPortChoice();
    }
    if (fields.Has(FieldId::HIPRI)) {
        ApplyPriority();
    }
    if (fields.Has(FieldId::ENDURANCE) || fields.Has(FieldId::WEARYEARS)) {
        sends_.FollowWearSettings();
    }
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

// What comes from outside the machine never reaches through a link planted
// in the working folder; what the operator chose here follows links.
FileLinks ControlProgram::StationLinks(const Origin& origin) const {
    return origin.FromOutside() || stationNamedFromOutside_ ? FileLinks::Confined
                                                            : FileLinks::Follow;
}

FieldSet ControlProgram::LoadStationFromName(const Origin& origin) {
    StationLoad load;
    try {
        load = LoadStationFile(set_, DecimalSeparator(), StationLinks(origin));
    } catch (const FileError&) {
        unreadableStation_ = set_.StationFileName;
        throw;
    }
    if (unreadableStation_ == set_.StationFileName) {
        unreadableStation_.clear();
    }
    stationFingerprint_ = load.fingerprint;
    Changed(load.changed, origin);
    savedText_ = StationFileText(set_);
    return load.changed;
}

bool ControlProgram::StationChangedOnDisk() const {
    try {
        const auto text = ReadFileIfExists(set_.StationFileName, kSmallFileLimit, StationLinks({}));
        return text && stationFingerprint_ != ContentFingerprint(*text);
    } catch (const FileError&) {
        return false;  // what cannot be read is left alone anyway
    }
}

// Options read from the settings file act at once, as if chosen.
void ControlProgram::TakeSettings() {
    const auto before = FieldValues(set_);
    LoadSettingsFile(set_);
    LoadOptionsFile(set_);
    set_.RememberedFile = set_.StationFileName;
    FieldSet changed = ChangedFields(before, set_);
    // Told whatever they hold, so that each front end applies them once.
    changed.Add(FieldsOf(FieldScope::ProgramOption));
    Changed(changed, {});
    ApplyPriority();
    sends_.FollowPortChoice();
    sends_.FollowWearSettings();
}

void ControlProgram::Start(const std::vector<std::string>& commandLine,
                           const std::function<void()>& loadResources) {
    const std::vector<std::string> arguments = AbsoluteNames(commandLine);
    set_.StationFileName = "untitled.rds";
    tellTail_ = std::make_unique<TTellTail>();
    tellTail_->MapFileName = kSharedBlockName;
    tellTail_->MutexName = kSharedLockName;
    tellTail_->Arguments = arguments;
    tellTail_->HandOverAllowed = handOverAllowed_;
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
    RunStartupSteps(arguments, loadResources);
    sends_.StartCalibrating();
    liveTextTimer_->Start(kLiveTextInterval);
    wearTimer_->Start(kWearLookEvery);
}

// A step that fails is told and the later ones still run: a settings file
// that cannot be read must not keep the station from going on air.
void ControlProgram::RunStartupSteps(const std::vector<std::string>& arguments,
                                     const std::function<void()>& loadResources) {
    bool all = true;
    const auto step = [&](const std::function<void()>& run) {
        const bool done = !RunSteps({run});
        all = all && done;
        return done;
    };
    step([&] {
        set_.SendPending = false;
        set_.BothBanksDefault = false;
        set_.LastSendTime = services_.timing.Now();
        set_.ProgramDir =
            services_.programDir.empty() ? DetermineProgramDir() : services_.programDir;
        EnterProgramDir();
    });
    settingsUnreadable_ = !step([&] { TakeSettings(); });
    if (const auto why = WhyNotWritable(set_.ProgramDir + kSettingsFileName)) {
        events_.Emit(ErrorReported{"The settings cannot be saved (" + *why +
                                   "): what this run sends will not be remembered"});
    }
    step([&] { sends_.FollowPortChoice(); });
    step([&] { LoadWearLedger(); });
    if (arguments.size() == 1) {
        set_.StationFileName = arguments.front();
    }
    // A station that cannot be read does not become the remembered one: the
    // next start opens the one the settings file remembers.
    const bool stationRead = step([&] { LoadStationFromName({Origin::Kind::CommandLine}); });
    if (loadResources) {
        step(loadResources);
    }
    step([&] { ApplyPriority(); });
    step([&] { sends_.PreparePort(); });
    step([&] { ShowTitle(); });
    if (stationRead) {
        set_.RememberedFile = set_.StationFileName;
    }
    startedCompletely_ = all;
}

bool ControlProgram::SaveOnExit(ChangedStationChoice changed) {
    if (!IsFirstInstance() || exited_) {
        return true;
    }
    exited_ = true;
    bool saved = false;
    static_cast<void>(RunSteps({
        [&] {
            if (set_.AUTOSAVE) {
                AutoSave(changed);
            }
        },
        [&] {
            if (settingsUnreadable_) {
                events_.Emit(ErrorReported{"The settings file " + set_.ProgramDir +
                                           kSettingsFileName +
                                           " is left alone: it could not be read at start"});
            } else {
                SaveSettingsFile(set_);
                SaveOptionsFile(set_);
            }
            SaveWearLedger();
            saved = true;
        },
    }));
    return saved;
}

// A station file another hand replaced since it was loaded or saved is never
// written over unasked: the set goes into a file beside it.
void ControlProgram::AutoSave(ChangedStationChoice changed) {
    const std::string& name = set_.StationFileName;
    if (name == unreadableStation_) {
        events_.Emit(ErrorReported{"Auto Save left " + name + " alone: it could not be read"});
        return;
    }
    if (!StationChangedOnDisk() || changed == ChangedStationChoice::Overwrite) {
        stationFingerprint_ = SaveStationFile(set_, StationLinks({}));
        savedText_ = StationFileText(set_);
        return;
    }
    if (changed == ChangedStationChoice::LeaveAlone) {
        return;
    }
    const std::string beside = BesideName(name, LocalNow());
    static_cast<void>(SaveStationFileAs(set_, beside, StationLinks({})));
    events_.Emit(ErrorReported{"Auto Save wrote " + beside + " beside " + name + ": " + name +
                               " was changed on disk since it was loaded, and is left as it is"});
}

std::string ControlProgram::SingleInstanceFailure() const {
    if (!tellTail_ || IsFirstInstance() || HandedOver() || FoundRunningCopy()) {
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
    wearTimer_->Stop();
    if (portStarted_) {
        services_.portLayer.PortLayerShutdown();
        portStarted_ = false;
    }
}

void ControlProgram::RequestExit() {
    events_.Emit(ExitRequested{});
}

MemoryDump ControlProgram::PreviewMemory() const {
    RdsParameterSet copy = set_;
    copy.UpdateTextAb();
    EncodedFields fields;
    EncoderImage image;
    BuildEncoderImage(copy, services_.clock(), fields, image);
    return WrittenMemory(image);
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

CommandOutcome ControlProgram::Execute(const Command& command) {
    CommandOutcome outcome =
        std::visit([&](const auto& action) { return Run(command.origin, action); }, command.action);
    outcome.revision = revision_;
    if (command.origin.FromOutside()) {
        Tell(command, outcome);
    }
    return outcome;
}

// Changes from outside are told one by one, refusals with their reason.
void ControlProgram::Tell(const Command& command, const CommandOutcome& outcome) {
    if (!outcome.Accepted()) {
        events_.Emit(RemoteCommand{command.origin.who, command.shown, outcome.refusal->why, {}});
        return;
    }
    RemoteCommand told{command.origin.who, command.shown, "", outcome.changed};
    if (std::holds_alternative<SaveStation>(command.action)) {
        told.changed = {};
        told.note = "station file";
    } else if (std::holds_alternative<LoadStation>(command.action)) {
        told.changed = {};
        told.note = "station";
    }
    if (!told.changed.Empty() || !told.note.empty()) {
        events_.Emit(std::move(told));
    }
}

// A change from outside that alters what goes on air asks for a send by
// itself: the changes of a burst go out in one.
CommandOutcome ControlProgram::Run(const Origin& origin, const SetFields& command) {
    CommandOutcome outcome;
    const bool outside = origin.FromOutside();
    const MemoryDump before = outside ? PreviewMemory() : MemoryDump{};
    AppliedValues applied = ApplyFieldValues(set_, command.values, DecimalSeparator());
    outcome.fields = std::move(applied.outcomes);
    if (applied.refused) {
        for (const FieldOutcome& field : outcome.fields) {
            if (!field.Accepted()) {
                outcome.refusal = Refusal{field.code, field.refusal};
                break;
            }
        }
        return outcome;
    }
    outcome.changed = applied.changed;
    FollowOptions(applied.changed);
    Changed(applied.changed, origin);
    if (outside) {
        const MemoryDump after = PreviewMemory();
        if (after.area1 != before.area1 || after.area2 != before.area2) {
            outcome.send = RequestSendSoon(origin.who, AskerOf(origin));
        }
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const LoadStation& command) {
    set_.StationFileName = command.path;
    stationNamedFromOutside_ = origin.FromOutside();
    CommandOutcome outcome;
    outcome.refusal =
        AsFileTrouble(RunSteps({[&] { outcome.changed = LoadStationFromName(origin); }}));
    static_cast<void>(RunSteps({[&] { ShowTitle(); }, [&] { EnterProgramDir(); }}));
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const SaveStation&) {
    CommandOutcome outcome;
    outcome.refusal = AsFileTrouble(RunSteps({[&] {
        set_.RememberedFile = set_.StationFileName;
        stationFingerprint_ = SaveStationFile(set_, StationLinks(origin));
        savedText_ = StationFileText(set_);
        unreadableStation_.clear();  // the operator chose to replace it
    }}));
    return outcome;
}

// A name from outside the machine (the page's Save as) is never written or
// read through a link, now or later.
CommandOutcome ControlProgram::Run(const Origin& origin, const SaveStationAs& command) {
    CommandOutcome outcome;
    outcome.refusal = AsFileTrouble(RunSteps({[&] {
        // A save that fails leaves the station where it was.
        const std::string previousName = set_.StationFileName;
        const std::string previousRemembered = set_.RememberedFile;
        set_.StationFileName = command.path;
        set_.RememberedFile = command.path;
        try {
            stationFingerprint_ = SaveStationFile(
                set_, origin.FromOutside() ? FileLinks::Confined : FileLinks::Follow);
            savedText_ = StationFileText(set_);
        } catch (const FileError&) {
            set_.StationFileName = previousName;
            set_.RememberedFile = previousRemembered;
            throw;
        }
        stationNamedFromOutside_ = origin.FromOutside();
    }}));
    static_cast<void>(RunSteps({[&] { ShowTitle(); }, [&] { EnterProgramDir(); }}));
    return outcome;
}

// Taken as a load takes a file: leniently, CLEAR resets first.
CommandOutcome ControlProgram::Run(const Origin& origin, const UploadStation& command) {
    CommandOutcome outcome;
    outcome.changed = ApplyStationText(set_, command.text, DecimalSeparator());
    set_.StationFileName = command.path;
    stationNamedFromOutside_ = origin.FromOutside();
    stationFingerprint_.reset();  // nothing on disk is this station's yet
    unreadableStation_.clear();
    Changed(outcome.changed, origin);
    static_cast<void>(RunSteps({[&] { ShowTitle(); }}));
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const SendStation& command) {
    CommandOutcome outcome;
    if (command.bank) {
        outcome = Run(origin, SetFields{{{FieldId::STB, *command.bank}}});
        outcome.send.reset();
    }
    const std::string reason = origin.FromOutside() ? origin.who : OriginName(origin);
    switch (command.when) {
        case SendWhen::Now:
            // A signed-in operator's Send on the page is the operator's own:
            // it goes at once, as the window's does.
            outcome.send = RequestSend(reason, origin.kind == Origin::Kind::WebSession
                                                   ? SendAsker::OperatorsSend
                                                   : AskerOf(origin));
            break;
        case SendWhen::Soon:
            outcome.send = RequestSendSoon(reason, AskerOf(origin));
            break;
        case SendWhen::Operator: {
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                services_.timing.Now() - set_.LastSendTime);
            if (sends_.Running() || elapsed.count() <= kGuardSeconds) {
                SendResult ignored;
                ignored.why = sends_.Running() ? "a send is running"
                                               : "the last send ended less than 2 s ago";
                outcome.send = std::make_shared<SendTicket>();
                outcome.send->Complete(ignored);
                return outcome;
            }
            outcome.send = RequestSend("operator", SendAsker::OperatorsSend);
            break;
        }
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const ToggleTextAb&) {
    set_.TextAbFlag ^= 1;
    CommandOutcome outcome;
    outcome.send = RequestSendSoon(origin.who.empty() ? "A/B toggle" : origin.who, AskerOf(origin));
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin& origin, const ReloadStation&) {
    const MemoryDump before = PreviewMemory();
    CommandOutcome outcome;
    outcome.refusal = AsFileTrouble(RunSteps({[&] {
        // The options only: what this run remembers (its sends) stays.
        RdsParameterSet read;
        read.ProgramDir = set_.ProgramDir;
        LoadSettingsFile(read);
        static_cast<ProgramOptions&>(set_) = read;
        set_.BothBanksDefault = read.BothBanksDefault;
        settingsUnreadable_ = false;
        const FieldSet& options = FieldsOf(FieldScope::ProgramOption);
        FollowOptions(options);
        Changed(options, origin);
    }}));
    if (const auto error = RunSteps({[&] { LoadStationFromName(origin); }})) {
        outcome.refusal = AsFileTrouble(error);
    }
    const MemoryDump after = PreviewMemory();
    if (after.area1 != before.area1 || after.area2 != before.area2) {
        outcome.send = RequestSend("reload", SendAsker::Operator);  // the station's own file
    }
    return outcome;
}

CommandOutcome ControlProgram::Run(const Origin&, const EndProgram&) {
    RequestExit();
    return {};
}

void ControlProgram::EventsLog::Refused(const Origin& origin, const std::string& shown,
                                        const Refusal& refusal) {
    events_.Emit(RemoteCommand{origin.who, shown, refusal.why, {}});
}

void ControlProgram::EventsLog::Changed(const Origin& origin, const std::string& shown,
                                        const std::string& now) {
    events_.Emit(RemoteCommand{origin.who, shown, "", {}, now});
}

std::shared_ptr<SendTicket> ControlProgram::RequestSend(const std::string& reason,
                                                        SendAsker asker) {
    auto ticket = std::make_shared<SendTicket>();
    std::vector<std::shared_ptr<SendTicket>> tickets{ticket};
    // This send takes the changes a send soon was waiting for.
    if (soonPending_) {
        soonTimer_->Stop();
        soonPending_ = false;
        asker = std::max(asker, std::exchange(soonAsker_, SendAsker::Client));
        for (auto& waiting : std::exchange(soonTickets_, {})) {
            tickets.push_back(std::move(waiting));
        }
    }
    sends_.Request(reason, std::move(tickets), asker);
    return ticket;
}

// The moment counts from the first request: changes that never pause still
// go on air, one send after another.
std::shared_ptr<SendTicket> ControlProgram::RequestSendSoon(const std::string& reason,
                                                            SendAsker asker) {
    auto ticket = std::make_shared<SendTicket>();
    soonTickets_.push_back(ticket);
    soonReason_ = reason;
    soonAsker_ = std::max(soonAsker_, asker);
    if (!soonPending_) {
        soonPending_ = true;
        soonTimer_->Start(kBurst);
    }
    return ticket;
}

std::optional<double> ControlProgram::WearYearsLeft() const {
    return sends_.Ledger().YearsLeft(set_.ENDURANCE, std::chrono::system_clock::now());
}

// What this run finds of earlier runs' writes; a line of it that cannot be
// read is passed over.
void ControlProgram::LoadWearLedger() {
    const auto now = std::chrono::system_clock::now();
    const auto text = ReadFileIfExists(set_.ProgramDir + kWearLedgerFileName);
    sends_.TakeLedger(text ? WearLedger::Parse(*text, now) : WearLedger(now));
}

void ControlProgram::SaveWearLedger() {
    SaveFile(set_.ProgramDir + kWearLedgerFileName,
             sends_.LedgerToSave(std::chrono::system_clock::now()));
}

void ControlProgram::LookAfterWear() {
    if (sends_.LedgerChanged()) {
        static_cast<void>(RunSteps({[&] { SaveWearLedger(); }}));
    }
    const auto now = std::chrono::system_clock::now();
    const auto years = WearYearsLeft();
    if (years && *years < kWearWarningYears && (!wearToldAt_ || now - *wearToldAt_ >= 24h)) {
        wearToldAt_ = now;
        const auto busiest = sends_.Ledger().Busiest();
        events_.Emit(WearWarning{*years, busiest.block, busiest.page});
    }
}

void ControlProgram::ApplyPriority() {
    if (!SetHighProcessPriority(set_.HIPRI) && set_.HIPRI && !priorityRefusalTold_) {
        priorityRefusalTold_ = true;
        events_.Emit(PriorityRefused{
            "The system does not let the program raise its priority (that needs root, "
            "CAP_SYS_NICE or a nice limit in /etc/security/limits.conf)"});
    }
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
    Changed(ChangedFields(before, set_), {Origin::Kind::Feed});
    if (tick.sendFor) {
        sends_.Request(FeedName(*tick.sendFor));
    }
    if (set_.SendPending) {
        sends_.Request("send after load", {}, SendAsker::Operator);  // only a load asks for it
    }
}

void ControlProgram::SwitchRadiotext() {
    const int before = set_.SELRT;
    AdvanceRadiotext(set_);
    if (set_.SELRT != before) {
        Changed({FieldId::SELRT}, {});
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
    const std::string& handed = tellTail_->ReceivedCommandLine();
    if (handed == "(empty)") {
        return;
    }
    if (!PlausibleHandOver(handed)) {
        events_.Emit(
            ErrorReported{"A later start handed over something that names no station "
                          "file; it is ignored"});
        return;
    }
    OpenHandedOverFile(handed);
}

bool ControlProgram::HasUnsavedChanges() const {
    return StationFileText(set_) != savedText_;
}

// A station's unsaved changes are never dropped unasked: the window asks,
// a program without one saves them (as Auto Save would) and says so.
bool ControlProgram::UnsavedChangesSettled(const std::string& handed) {
    if (!HasUnsavedChanges()) {
        return true;
    }
    const std::string station = set_.StationFileName;
    const UnsavedChoice choice =
        askAboutUnsaved_ ? askAboutUnsaved_(station, handed) : UnsavedChoice::Save;
    if (choice == UnsavedChoice::KeepStation) {
        events_.Emit(ErrorReported{handed + ", handed over by a later start, was not opened: " +
                                   station + " has unsaved changes"});
        return false;
    }
    if (choice == UnsavedChoice::Save &&
        RunSteps({[&] { AutoSave(ChangedStationChoice::SaveBeside); }})) {
        return false;  // the save's error was told; the changes stay
    }
    if (choice == UnsavedChoice::Save && !askAboutUnsaved_) {
        events_.Emit(ErrorReported{"the unsaved changes of " + station + " were saved before " +
                                   handed + ", handed over by a later start, was opened"});
    }
    return true;
}

void ControlProgram::OpenHandedOverFile(const std::string& commandLine) {
    std::string name = commandLine;
    if (!name.empty() && name.front() == '"' && name.back() == '"') {
        name = name.size() >= 2 ? name.substr(1, name.size() - 2) : "";
    }
    if (!UnsavedChangesSettled(name)) {
        return;
    }
    set_.StationFileName = name;
    stationNamedFromOutside_ = false;
    static_cast<void>(RunSteps({
        [&] { LoadStationFromName({}); },
        [&] { ShowTitle(); },
    }));
}

}  // namespace vaxo
