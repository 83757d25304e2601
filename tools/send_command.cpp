#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "base/file_io.h"
#include "encoding/text_ab.h"
#include "link/encoder_simulator.h"
#include "link/port_trace.h"
#include "link/station_send.h"
#include "link/wear_ledger.h"
#include "platform/port_layer.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/locale_separator.h"
#include "tools/station_loading.h"

namespace vaxo::ctl {
namespace {

struct SendSettings {
    std::string station;
    std::optional<int> bank = {};
    int port = 0;
    std::optional<EncoderScenario> scenario = {};
    std::optional<std::string> traceFile = {};
    std::optional<std::string> vcdFile = {};
};

SendSettings ReadSettings(const std::vector<std::string>& args) {
    // A send of its own knows nothing of the memory: it writes every page,
    // whether --full says so or not.
    const ParsedOptions options(args, {.valued = {"bank", "port", "trace", "vcd"},
                                       .switches = {"full"},
                                       .optionalValued = {"simulate"}});
    if (options.Positional().size() != 1) {
        throw UsageError("send needs exactly one station file");
    }
    SendSettings settings{.station = options.Positional().front()};
    if (const auto bank = options.Value("bank")) {
        if (*bank != "1" && *bank != "2") {
            throw UsageError("--bank takes 1 or 2");
        }
        settings.bank = *bank == "1" ? 1 : 2;
    }
    if (const auto port = options.Value("port")) {
        if (*port != "lpt1" && *port != "lpt2") {
            throw UsageError("--port takes lpt1 or lpt2");
        }
        settings.port = *port == "lpt2" ? 1 : 0;
    }
    if (const auto name = options.Value("simulate")) {
        settings.scenario = ParseEncoderScenario(name->empty() ? "healthy" : *name);
        if (!settings.scenario) {
            throw UsageError("unknown scenario " + *name);
        }
    }
    settings.traceFile = options.Value("trace");
    settings.vcdFile = options.Value("vcd");
    return settings;
}

std::unique_ptr<std::ofstream> OpenOutput(const std::optional<std::string>& path) {
    if (!path) {
        return nullptr;
    }
    auto file = std::make_unique<std::ofstream>(*path, std::ios::binary);
    if (!*file) {
        throw FileError("Cannot create file " + *path);
    }
    return file;
}

// The pages this send wrote wear the memory as the program's own sends do.
void CountInLedger(const std::string& folder, int bank, const PageWrites& writes,
                   std::ostream& err) {
    try {
        const std::string path = folder + kWearLedgerFileName;
        const auto now = std::chrono::system_clock::now();
        const auto text = ReadOwnFile(path);
        WearLedger ledger = text ? WearLedger::Parse(*text, now) : WearLedger(now);
        ledger.Count(bank, writes);
        ledger.KeepDay(now);
        SaveOwnFile(path, ledger.Text());
    } catch (const std::exception& error) {
        err << "vaxoctl: the page writes were not counted in the wear ledger: " << error.what()
            << '\n';
    }
}

bool StationFileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error) || error;
}

}  // namespace

int SendCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const CommandEnvironment& environment) {
    const SendSettings settings = ReadSettings(args);
    if (!StationFileExists(settings.station)) {
        err << "vaxoctl: station file " << settings.station << " does not exist\n";
        return 2;
    }
    const char separator = LocaleDecimalSeparator();
    RdsParameterSet set;
    try {
        set = LoadStationOntoNewSet(settings.station, separator);
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 1;
    }
    const int bank = settings.bank.value_or(set.STB == 1 ? 1 : 2);
    const std::uint16_t base = settings.port == 1 ? kLpt2Base : kLpt1Base;

    std::unique_ptr<EncoderSimulator> simulator;
    if (settings.scenario) {
        simulator = std::make_unique<EncoderSimulator>(*settings.scenario);
    }
    PortLayer layer(simulator ? ForwardingPortBackends(*simulator) : environment.portBackends());
    const auto traceFile = OpenOutput(settings.traceFile);
    const auto vcdFile = OpenOutput(settings.vcdFile);
    std::unique_ptr<PortTrace> trace;
    if (traceFile || vcdFile) {
        trace = std::make_unique<PortTrace>(layer, traceFile.get(), vcdFile.get());
    }
    PortIo& port = trace ? static_cast<PortIo&>(*trace) : layer;

    const auto timing = environment.timing();
    // As the first send of a program that has just started: a radiotext
    // flips the A/B flag when Use A/B is on.
    TextAb textAb;
    textAb.Update(set);
    EncodedFields fields;
    EncoderImage image;
    BuildEncoderImage(set, textAb.flag, {LocalNow(), separator}, fields, image);
    const StationSend send = PrepareStationSend(set, std::move(image), bank, base);
    layer.PortLayerStartup();
    ReadyPort(layer, port, base);
    const StationSendResult result = RunStationSend(port, *timing, send, std::nullopt, [](int) {});
    layer.PortLayerShutdown();
    if (!simulator) {
        CountInLedger(environment.programDir(), bank, result.transfer.pageWrites, err);
    }
    if (result.transfer.problem) {
        err << "Error: " << DescribeLinkProblem(result.transfer.problem) << '\n';
        return 1;
    }
    for (const auto& line : result.record) {
        out << line << '\n';
    }
    if (simulator) {
        out << MemoryLines(*simulator);
    }
    return 0;
}

}  // namespace vaxo::ctl
