#include "app/control_program.h"

#include <algorithm>
#include <filesystem>

#include "app/options_file.h"
#include "app/settings_file.h"
#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"

namespace vaxo {
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
      sends_({services_.host, services_.timing, services_.clock, events_, services_.portLayer,
              services_.linkPort, services_.readBack},
             set_, revision_),
      probe_(services_.host, services_.timing, events_, sends_),
      wear_(
          services_.host, events_, sends_, [this] { return folder_; },
          [this] { return static_cast<long long>(set_.ENDURANCE); }),
      alarms_(
          services_.host, events_, services_.timing, [this] { return folder_; },
          [this] { LookForAlarms(); }),
      alarmsHearing_(events_.Listen([this](const ProgramEvent& event) { HeardForAlarms(event); })),
      feedReading_(services_.host, [this](const FeedReads& reads) { Looked(reads); }),
      liveTextTimer_(services_.host.MakeTimer("live text",
                                              [this] {
                                                  loop_.Check("the live-text timer");
                                                  TickLiveText();
                                              })),
      switchingTimer_(services_.host.MakeTimer("radiotext switching",
                                               [this] {
                                                   loop_.Check("the switching timer");
                                                   SwitchRadiotext();
                                               })),
      view_({set_, derived_, revision_, stamps_, title_, folder_, document_, instance_, sends_,
             probe_, feedReports_, feedTextChanged_, [this] { return wear_.YearsLeft(); },
             [this] { return wear_.Trouble(); }, alarms_,
             [this] { return services_.clock().decimalSeparator; },
             [this] { return feedReading_.Looking(); }, startedCompletely_}) {}

ControlProgram::~ControlProgram() {
    sends_.Stop();
}

Subscription ControlProgram::Listen(ProgramListener listener) {
    return events_.Listen(std::move(listener));
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
void ControlProgram::EnterFolder() {
    std::error_code error;
    std::filesystem::current_path(folder_, error);
    if (error) {
        throw FileError(FileError::Kind::CannotOpen, "Cannot open folder " + folder_);
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
    FollowTa(fields);
    KeepOwnTexts(fields, origin);
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

StationChange ControlProgram::OpenStation(const std::string& name, const Origin& origin,
                                          bool confined) {
    const StationChange change = document_.Load(set_, name, confined, view_.DecimalSeparator());
    if (change.sendAfterLoad) {
        sends_.AskAfterLoad(*change.sendAfterLoad);
    }
    Changed(change.changed, origin);
    return change;
}

// Options read from the settings file act at once, as if chosen.
void ControlProgram::TakeSettings() {
    const auto before = FieldValues(set_);
    const RunMemory run = LoadSettingsFile(set_, folder_);
    LoadOptionsFile(set_, folder_);
    document_.TakeRemembered(run.stationFile);
    sends_.TakeLastSentRadiotext(run.lastSentRT);
    sends_.TakeRecords(run.lastSent);
    feedMemory_ = run.feeds;
    FieldSet changed = ChangedFields(before, set_);
    // Told whatever they hold, so that each front end applies them once.
    changed.Add(FieldsOf(FieldScope::ProgramOption));
    Changed(changed, {});
    ApplyPriority();
    sends_.FollowPortChoice();
    sends_.FollowWearSettings();
}

void ControlProgram::SaveSettings() {
    RunMemory run;
    run.stationFile = document_.Remembered();
    run.lastSentRT = sends_.TextAbState().lastSent;
    run.feeds = feedMemory_;
    run.lastSent = {sends_.Bank(1).record, sends_.Bank(2).record};
    SaveSettingsFile(set_, run, folder_);
    SaveOptionsFile(set_, folder_);
}

void ControlProgram::Start(const std::vector<std::string>& commandLine,
                           const std::function<void()>& loadResources) {
    loop_.Check("ControlProgram::Start");
    const bool first = instance_.Activate(AbsoluteNames(commandLine), handOverAllowed_,
                                          [this] { events_.Emit(ExitRequested{}); });
    for (const std::string& warning : instance_.Warnings()) {
        events_.Emit(ErrorReported{warning});
    }
    if (!first) {
        return;  // a later start, or one that could not tell: it never touches the port
    }
    // Only the first instance opens the port: a later start must never claim
    // or release the port that the running copy drives.
    services_.portLayer.PortLayerStartup();
    portStarted_ = true;
    bannerShown_ = true;
    RunStartupSteps(AbsoluteNames(commandLine), loadResources);
    sends_.StartCalibrating();
    liveTextTimer_->Start(std::chrono::milliseconds(3000));
    wear_.Start();
    probe_.Start();
    alarms_.Start();
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
        folder_ = services_.programDir.empty() ? DetermineProgramDir() : services_.programDir;
        EnterFolder();
    });
    settingsUnreadable_ = !step([&] { TakeSettings(); });
    if (const auto why = WhyNotWritable(folder_ + kSettingsFileName)) {
        events_.Emit(ErrorReported{"The settings cannot be saved (" + *why +
                                   "): what this run sends will not be remembered"});
    }
    step([&] { sends_.FollowPortChoice(); });
    step([&] { wear_.Load(); });
    step([&] { alarms_.Load(); });
    const std::string remembered = document_.Remembered();
    const std::string station = arguments.size() == 1 ? arguments.front() : document_.Name();
    // A station that cannot be read does not become the remembered one: the
    // next start opens the one the settings file remembers.
    const bool stationRead =
        step([&] { static_cast<void>(OpenStation(station, {Origin::Kind::CommandLine}, false)); });
    if (loadResources) {
        step(loadResources);
    }
    step([&] { ApplyPriority(); });
    step([&] { sends_.PreparePort(); });
    step([&] { ShowTitle(); });
    document_.Remember(stationRead ? document_.Name() : remembered);
    startedCompletely_ = all;
}

bool ControlProgram::SaveOnExit(ChangedStationChoice changed) {
    loop_.Check("ControlProgram::SaveOnExit");
    if (!instance_.IsFirstInstance() || exited_) {
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
                events_.Emit(ErrorReported{"The settings file " + folder_ + kSettingsFileName +
                                           " is left alone: it could not be read at start"});
            } else {
                SaveSettings();
            }
            wear_.Save();
            saved = true;
        },
    }));
    return saved;
}

// A station file another hand replaced since it was loaded or saved is never
// written over unasked: the set goes into a file beside it.
void ControlProgram::AutoSave(ChangedStationChoice changed) {
    const std::string name = document_.Name();
    const StationDocument::AutoSave saved = document_.SaveAtEnd(set_, changed, LocalNow());
    switch (saved.what) {
        case StationDocument::AutoSaved::Unreadable:
            events_.Emit(ErrorReported{"Auto Save left " + name + " alone: it could not be read"});
            break;
        case StationDocument::AutoSaved::WroteBeside:
            events_.Emit(ErrorReported{"Auto Save wrote " + saved.beside + " beside " + name +
                                       ": " + name +
                                       " was changed on disk since it was loaded, and is left "
                                       "as it is"});
            break;
        default:
            break;
    }
}

void ControlProgram::ReleasePort() {
    alarms_.Stop();
    probe_.Stop();
    sends_.Stop();
    liveTextTimer_->Stop();
    switchingTimer_->Stop();
    wear_.Stop();
    if (portStarted_) {
        services_.portLayer.PortLayerShutdown();
        portStarted_ = false;
    }
}

void ControlProgram::ShowTitle() {
    if (bannerShown_) {
        title_ = kProgramTitle + " - " + kStartupBanner;
    } else {
        const std::string& name = document_.Name();
        const std::size_t separator = name.find_last_of("/\\");
        const std::string part = separator == std::string::npos ? name : name.substr(separator + 1);
        title_ = kProgramTitle + " - " + LowerFileName(part);
    }
    events_.Emit(TitleChanged{title_});
}

void ControlProgram::ApplyPriority() {
    if (!SetHighProcessPriority(set_.HIPRI) && set_.HIPRI && !priorityRefusalTold_) {
        priorityRefusalTold_ = true;
        events_.Emit(PriorityRefused{
            "The system does not let the program raise its priority (that needs root, "
            "CAP_SYS_NICE or a nice limit in /etc/security/limits.conf)"});
    }
}

void ControlProgram::TakeHandOver() {
    loop_.Check("ControlProgram::TakeHandOver");
    const auto handOver = instance_.TakeHandOver();
    if (!handOver) {
        return;
    }
    if (handOver->restore) {
        events_.Emit(HandOverTaken{});
    }
    if (handOver->implausible) {
        events_.Emit(
            ErrorReported{"A later start handed over something that names no station "
                          "file; it is ignored"});
    } else if (handOver->file) {
        OpenHandedOverFile(*handOver->file);
    }
}

// A station's unsaved changes are never dropped unasked: the window asks,
// a program without one saves them (as Auto Save would) and says so.
bool ControlProgram::UnsavedChangesSettled(const std::string& handed) {
    if (!view_.HasUnsavedChanges()) {
        return true;
    }
    const std::string station = document_.Name();
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

void ControlProgram::OpenHandedOverFile(const std::string& name) {
    if (!UnsavedChangesSettled(name)) {
        return;
    }
    static_cast<void>(RunSteps({
        [&] { static_cast<void>(OpenStation(name, {}, false)); },
        [&] { ShowTitle(); },
    }));
}

void ControlProgram::EventsLog::Refused(const Origin& origin, const std::string& shown,
                                        const Refusal& refusal) {
    events_.Emit(RemoteCommand{origin.who, shown, refusal.why, {}});
}

void ControlProgram::EventsLog::Changed(const Origin& origin, const std::string& shown,
                                        const std::string& now) {
    events_.Emit(RemoteCommand{origin.who, shown, "", {}, now});
}

}  // namespace vaxo
