// What the encoder's memory has taken: the wear ledger kept beside the
// settings, and how long the memory lasts at the rate of the last week.
#include <nlohmann/json.hpp>

#include "app/options_file.h"
#include "app/wear_words.h"
#include "base/file_io.h"
#include "platform/program_dir.h"
#include "record/field_schema.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

std::string Join(const std::array<std::uint64_t, kBlockPages>& counts) {
    std::string text;
    for (const std::uint64_t count : counts) {
        text += ' ';
        text += std::to_string(count);
    }
    return text;
}

}  // namespace

int WearCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(args, {.valued = {"endurance"}, .switches = {"json"}});
    if (!options.Positional().empty()) {
        throw UsageError("wear takes no station file");
    }
    RdsParameterSet set;
    const std::string folder = DetermineProgramDir();
    try {
        LoadOptionsFile(set, folder);
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 1;
    }
    if (const auto endurance = options.Value("endurance")) {
        const StrictReading reading = ReadStrict(Field(FieldId::ENDURANCE), *endurance, '.');
        if (!reading.value) {
            throw UsageError("--endurance: " + reading.refusal);
        }
        set.ENDURANCE = std::get<int>(*reading.value);
    }
    const auto now = std::chrono::system_clock::now();
    std::optional<WearLedger> ledger;
    try {
        const auto text = ReadOwnFile(folder + kWearLedgerFileName);
        ledger = text ? WearLedger::Parse(*text, now) : WearLedger(now);
    } catch (const FileError& error) {
        err << "the wear ledger " << folder << kWearLedgerFileName
            << " cannot be read: " << error.what() << '\n';
        return 1;
    }
    const auto years = ledger->YearsLeft(set.ENDURANCE, now);
    if (options.Has("json")) {
        nlohmann::json blocks = nlohmann::json::object();
        for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
            blocks[MemoryBlockName(block)] = ledger->Counts()[block];
        }
        out << nlohmann::json{{"endurance", set.ENDURANCE},
                              {"blocks", blocks},
                              {"years_left", years ? nlohmann::json(*years) : nlohmann::json()}}
                   .dump()
            << '\n';
        return 0;
    }
    out << "page writes (" << folder << kWearLedgerFileName << "), pages rated for "
        << set.ENDURANCE << " writes:\n";
    for (std::size_t block = 0; block < kMemoryBlocks; ++block) {
        out << MemoryBlockName(block) << Join(ledger->Counts()[block]) << '\n';
    }
    out << DescribeWear(*ledger, years) << '\n';
    return 0;
}

}  // namespace vaxo::ctl
