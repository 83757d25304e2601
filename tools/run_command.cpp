// The program without its window, for headless broadcast machines.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/control_program.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "eventloop/asio_host.h"
#include "eventloop/hand_over_watch.h"
#include "eventloop/stop_signals.h"
#include "link/encoder_simulator.h"
#include "link/port_trace.h"
#include "metrics/metrics_server.h"
#include "netcontrol/network_server.h"
#include "platform/service_manager.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/locale_separator.h"
#include "tools/run_alerts.h"
#include "tools/run_log.h"
#include "tools/run_snmp.h"
#include "web/certificate_ends.h"
#include "web/web_server.h"

namespace vaxo::ctl {
namespace {

bool IsHangUp(int signal) {
#ifdef SIGHUP
    return signal == SIGHUP;
#else
    return signal < 0;
#endif
}

bool HasControllingTerminal() {
#ifdef _WIN32
    return true;
#else
    const int tty = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        return false;
    }
    ::close(tty);
    return true;
#endif
}

void ReportNewStation(const std::string& station, RunLog& log) {
    std::error_code error;
    if (!std::filesystem::exists(station, error) && !error) {
        log.Error("station file " + station + " does not exist: a new station");
    }
}

// The settings (the memory's wear, the TA limit) that the command line gives, each read
// as its field reads a value: the start values, kept in vaxow.ini at the end.
const std::vector<std::pair<std::string, FieldId>>& SettingOptions() {
    static const std::vector<std::pair<std::string, FieldId>> options{
        {"min-send-interval", FieldId::MINSEND},
        {"wear-target-years", FieldId::WEARYEARS},
        {"endurance", FieldId::ENDURANCE},
        {"ta-limit", FieldId::TALIMIT},
    };
    return options;
}

std::vector<FieldAssignment> SettingsFrom(const ParsedOptions& options) {
    std::vector<FieldAssignment> values;
    for (const auto& [name, field] : SettingOptions()) {
        if (const auto value = options.Value(name)) {
            StrictReading reading = ReadStrict(Field(field), *value, '.');
            if (!reading.value) {
                throw UsageError("--" + name + ": " + reading.refusal);
            }
            values.push_back({field, std::move(*reading.value)});
        }
    }
    return values;
}

OptionRules RunOptions() {
    OptionRules rules{.valued = {"trace", "memory-dump", "metrics", "snmp-agentx"},
                      .switches = {"web-insecure"},
                      .optionalValued = {"simulate"}};
    for (const std::string& name : NetworkOptionNames()) {
        rules.valued.insert(name);
    }
    for (const std::string& name : WebValueOptionNames()) {
        rules.valued.insert(name);
    }
    for (const std::string& name : AlertOptionNames()) {
        rules.valued.insert(name);
    }
    for (const auto& [name, field] : SettingOptions()) {
        rules.valued.insert(name);
    }
    return rules;
}

// The web page, off unless asked; beyond loopback only for the allowed
// networks and over HTTPS, unless told.
WebConfig WebFrom(const ParsedOptions& options, const std::vector<AddressRange>& allowed) {
    WebConfig config;
    config.allowed = allowed;
    bool known = false;
    for (const std::string& name : WebValueOptionNames()) {
        for (const std::string& value : options.Values(name)) {
            if (const auto why = TakeWebOption(config, name, value, known)) {
                throw UsageError(*why);
            }
        }
    }
    if (options.Has("web-insecure")) {
        static_cast<void>(TakeWebOption(config, "web-insecure", "", known));
    }
    // Named from where it was started; the program works in its own folder.
    for (std::string* file : {&config.passwordFile, &config.certificateFile, &config.keyFile}) {
        if (!file->empty()) {
            *file = std::filesystem::absolute(*file).string();
        }
    }
    if (const auto why = CheckWebConfig(config)) {
        throw UsageError(*why);
    }
    return config;
}

// The metrics endpoints, beyond loopback only for the allowed networks.
MetricsConfig MetricsFrom(const ParsedOptions& options, const std::vector<AddressRange>& allowed) {
    MetricsConfig config;
    config.allowed = allowed;
    for (const std::string& value : options.Values("metrics")) {
        if (const auto why = TakeMetricsOption(config, value)) {
            throw UsageError(*why);
        }
    }
    return config;
}

// The listeners and who may reach them; nothing listens unless asked. In
// the order given: --text-replies is for the listener before it.
NetworkConfig NetworkFrom(const ParsedOptions& options) {
    NetworkConfig config;
    for (const auto& [name, value] : options.InOrder()) {
        bool known = false;
        if (const auto why = TakeNetworkOption(config, name, value, known)) {
            throw UsageError(*why);
        }
    }
    if (const auto why = CheckNetworkConfig(config)) {
        throw UsageError(*why);
    }
    return config;
}

// The certificate the page was started with, looked at every few hours: a
// renewed file is served only after a restart, so the one loaded counts.
std::unique_ptr<LoopTimer> WatchCertificate(CoreHost& host, ControlProgram& program,
                                            const std::string& file) {
    const auto ends = CertificateFileEnds(file);
    if (!ends) {
        return nullptr;
    }
    const auto look = [&program, file, ends = *ends] {
        ReportCondition report;
        report.alarm.kind = AlarmKind::CertificateExpiring;
        report.holds = CertificateEndsSoon(file, ends, std::chrono::system_clock::now());
        const Origin web{Origin::Kind::Program, "the web page"};
        static_cast<void>(program.Execute({web, std::move(report)}));
    };
    auto timer = host.MakeTimer("certificate", look);
    timer->Start(std::chrono::hours(6));
    look();
    return timer;
}

// A listener whose address is taken, or not on this machine yet (its
// interface still coming up after a power cut), is tried again while the
// rest runs: the encoder keeps its station, and the alarm tells why.
ListenerWatch WatchListenerTrouble(ControlProgram& program, RunLog& log) {
    return [&program, &log](const std::string& listener, const std::string& trouble) {
        if (trouble.empty()) {
            log.Listening(listener);
        } else {
            log.Error("cannot listen yet: " + listener + ": " + trouble +
                      "; tried again until it can");
        }
        const Origin listeners{Origin::Kind::Program, "the listeners"};
        static_cast<void>(program.Execute({listeners, ListenerCondition(listener, trouble)}));
    };
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CommandEnvironment& environment) {
    const ParsedOptions options(args, RunOptions());
    if (options.Positional().size() > 1) {
        throw UsageError("run takes at most one station file");
    }
    const NetworkConfig network = NetworkFrom(options);
    const WebConfig web = WebFrom(options, network.allowed);
    const MetricsConfig metricsConfig = MetricsFrom(options, network.allowed);
    const AlertConfig alertConfig = AlertsFrom(options);
    const std::optional<std::string> snmpSocket = SnmpAgentxFrom(options);
    const std::vector<FieldAssignment> wear = SettingsFrom(options);
    // Named from where it was started; the program works in its own folder.
    std::optional<std::string> memoryDump;
    if (const auto name = options.Value("memory-dump")) {
        memoryDump = std::filesystem::absolute(*name).string();
    }
    if (memoryDump && !options.Has("simulate")) {
        throw UsageError("--memory-dump is for the simulated encoder (--simulate)");
    }
    std::unique_ptr<EncoderSimulator> simulator;
    if (const auto name = options.Value("simulate")) {
        TimelineReading read = ParseEncoderTimeline(name->empty() ? "healthy" : *name);
        if (!read.refusal.empty()) {
            throw UsageError("--simulate: " + read.refusal);
        }
        simulator = std::make_unique<EncoderSimulator>(read.timeline.front().scenario);
        if (read.timeline.size() > 1) {
            simulator->FollowTimeline(std::move(read.timeline),
                                      [begun = std::chrono::steady_clock::now()] {
                                          return std::chrono::steady_clock::now() - begun;
                                      });
        }
    }
    PortLayer layer(simulator ? ForwardingPortBackends(*simulator) : environment.portBackends());
    std::unique_ptr<std::ofstream> traceFile;
    std::unique_ptr<PortTrace> trace;
    if (const auto path = options.Value("trace")) {
        traceFile = std::make_unique<std::ofstream>(*path, std::ios::binary);
        if (!*traceFile) {
            throw FileError("Cannot create file " + *path);
        }
        trace = std::make_unique<PortTrace>(layer, traceFile.get(), nullptr);
    }
    const auto timing = environment.timing();
    boost::asio::io_context io;
    AsioHost host(io);
    const char separator = LocaleDecimalSeparator();
    ProgramServices services{host,
                             layer,
                             trace ? static_cast<PortIo&>(*trace) : layer,
                             *timing,
                             [separator] {
                                 return ImageClock{LocalNow(), separator};
                             },
                             ""};
    if (simulator) {
        services.readBack = [&simulator](int bank) { return ReadBack(*simulator, bank); };
    }
    ControlProgram program(std::move(services));
    RecentLog recent;
    RunLog log(out, err, &recent);
    const Subscription listening = program.Listen([&](const ProgramEvent& event) {
        log.Report(event);
        if (std::holds_alternative<ExitRequested>(event)) {
            io.stop();
        }
    });
    // Under a service manager (no terminal) SIGHUP reads the station and the
    // settings again, as daemons do; in a terminal it ends the program. The
    // signals are caught before the start-up, so that a stop that comes
    // during it still ends the program with its saves.
    const bool daemon = !HasControllingTerminal();
    const StopSignals stopping(io, [&](int signal) {
        if (IsHangUp(signal) && daemon && program.View().Instance().IsFirstInstance()) {
            log.Error("SIGHUP: reading the settings and " + program.View().Document().Name() +
                      " again");
            const Origin hangUp{Origin::Kind::Program, "SIGHUP"};
            static_cast<void>(program.Execute({hangUp, ReloadStation{}}));
        } else {
            io.stop();
        }
    });
    if (!network.Empty() || !web.Empty() || !metricsConfig.Empty() || snmpSocket) {
        program.HandNothingOver();
    }
    // Before the start, whose first look may raise an alarm.
    RunAlerts alerts(host, program, log, alertConfig);
    RunSnmp snmp(host, program, log, snmpSocket);
    program.Start(options.Positional());
    if (program.View().Instance().FoundRunningCopy()) {
        log.Error(
            "cannot start: the window (or another vaxoctl run) runs for this user, and "
            "its listeners are its own: add these options to its " +
            std::string(kListenersFileName) +
            " and start it again, or end it first; nothing was handed over");
        return 1;
    }
    if (program.View().Instance().HandedOver()) {
        const std::string handed = program.View().Instance().HandedOverCommandLine();
        log.Error("handed " + (handed.empty() ? std::string("an empty command line") : handed) +
                  " to the running copy");
        return 0;
    }
    if (!program.View().Instance().IsFirstInstance()) {
        log.Error("cannot start: " + program.View().Instance().Failure());
        return 1;
    }
    if (program.View().Document().Unreadable()) {
        log.Error("cannot run: the station file " + program.View().Document().Name() +
                  " cannot be read, and nothing else should go on air");
        program.ReleasePort();
        return 1;
    }
    ReportNewStation(program.View().Document().Name(), log);
    if (!wear.empty()) {
        const Origin commandLine{Origin::Kind::CommandLine};
        static_cast<void>(program.Execute({commandLine, SetFields{wear}}));
    }
    const HandOverWatch handOvers(io, program.View().Instance().BlockPath(),
                                  [&] { program.TakeHandOver(); });
    program.TakeHandOver();  // one that came before the watch began
    NetworkServer server(io, host, program, network,
                         [&log](const std::string& line) { log.Error(line); });
    std::unique_ptr<LoopTimer> remoteCounts;
    const ListenerWatch listenerTrouble = WatchListenerTrouble(program, log);
    server.WatchListeners(listenerTrouble);
    if (!network.Empty()) {
        if (const auto problem = server.Start()) {
            log.Error("cannot listen: " + *problem);
            program.ReleasePort();
            return 1;
        }
        for (const ListenerStatus& listener : server.Status()) {
            if (listener.port == 0) {
                continue;  // not bound yet: told when it is
            }
            const std::size_t colon = listener.description.rfind(':');
            log.Listening(listener.description.substr(0, colon + 1) +
                          std::to_string(listener.port));
        }
    }
    WebServer page(io, program, web, [&log](const std::string& line) { log.Error(line); });
    std::unique_ptr<LoopTimer> certificateWatch;
    if (!web.Empty()) {
        page.ShowListeners([&server] { return server.Status(); });
        page.ShowLog(&recent);
        page.WatchListeners(listenerTrouble);
        if (const auto problem = page.Start()) {
            log.Error("the web page cannot start: " + *problem);
            program.ReleasePort();
            return 1;
        }
        for (const std::string& address : page.Addresses()) {
            log.Listening("web " + address);
        }
        if (web.Tls()) {
            certificateWatch = WatchCertificate(host, program, web.certificateFile);
        }
        if (web.BeyondLoopback() && !web.Tls()) {
            log.Error(
                "warning: the web page is plain HTTP beyond this machine (--web-insecure): "
                "its password and session cross the network readable");
        }
        if (web.BeyondLoopback() && web.allowed.empty()) {
            log.Error(
                "warning: the web page answers every address (--web-insecure without --allow)");
        }
    }
    MetricsServer metrics(io, program.View(), metricsConfig,
                          [&log](const std::string& line) { log.Error(line); });
    if (!metricsConfig.Empty()) {
        metrics.WatchListeners(listenerTrouble);
        if (const auto problem = metrics.Start()) {
            log.Error("the metrics cannot be served: " + *problem);
            program.ReleasePort();
            return 1;
        }
        for (const std::string& address : metrics.Addresses()) {
            log.Listening("metrics " + address);
        }
    }
    if (!network.Empty() || !web.Empty()) {
        remoteCounts = host.MakeTimer("network log", [&log] { log.FlushRemote(); });
        remoteCounts->Start(std::chrono::seconds(1));  // each count when its minute is over
    }
    const std::unique_ptr<LoopTimer> watchdog =
        host.MakeTimer("service watchdog", [] { TellServiceAlive(); });
    if (const auto interval = ServiceWatchdogInterval()) {
        watchdog->Start(*interval);
    }
    TellServiceReady();
    io.run();
    TellServiceStopping();
    watchdog->Stop();
    metrics.Stop();
    snmp.Stop();
    page.Stop();
    server.Stop();
    log.FlushAllRemote();
    alerts.Stop();
    const bool saved = program.SaveOnExit();
    program.ReleasePort();
    if (memoryDump) {
        // What the listener gets, for `vaxoctl preview --image`.
        SaveFile(*memoryDump, MemoryLines(*simulator));
    }
    return saved ? 0 : 1;
}

}  // namespace vaxo::ctl
