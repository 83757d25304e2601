// The alarms as the program that runs on these settings left them: those
// that stand and the latest of the history, from the file beside the
// settings.
#include <nlohmann/json.hpp>

#include "alarms/alarm_history_file.h"
#include "app/alarm_json.h"
#include "app/alarm_words.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "platform/program_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

constexpr std::size_t kShownHistory = 20;

void Print(const AlarmSet& alarms, std::size_t historyLimit, std::ostream& out) {
    if (alarms.Active().empty()) {
        out << "no alarm stands\n";
    }
    for (const auto& [key, alarm] : alarms.Active()) {
        out << "standing: " << DescribeActiveAlarm(alarm) << '\n';
    }
    const auto& history = alarms.History();
    const std::size_t shown = std::min(history.size(), historyLimit);
    if (shown > 0) {
        out << "history (the latest " << shown << " of " << history.size() << "):\n";
    }
    for (auto entry = history.end() - static_cast<std::ptrdiff_t>(shown); entry != history.end();
         ++entry) {
        out << LocalStamp(entry->at) << ' ' << DescribeAlarmEntry(*entry) << '\n';
    }
}

}  // namespace

int AlarmsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(args, {.switches = {"json", "all"}});
    if (!options.Positional().empty()) {
        throw UsageError("alarms takes no station file");
    }
    const std::string path = DetermineProgramDir() + kAlarmHistoryFileName;
    std::optional<std::string> text;
    try {
        text = ReadOwnFile(path, kAlarmHistoryFileLimit);
    } catch (const FileError& error) {
        err << "the alarm history " << path << " cannot be read: " << error.what() << '\n';
        return 1;
    }
    const AlarmHistoryRead read = ReadAlarmHistory(text.value_or(""));
    if (read.linesPassedOver > 0) {
        err << path << ": " << read.linesPassedOver << " lines that are no entry left out\n";
    }
    const AlarmSet alarms(read.entries);
    const std::size_t limit = options.Has("all") ? AlarmSet::kHistory : kShownHistory;
    if (options.Has("json")) {
        out << AlarmsJson(alarms, limit)
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
    } else {
        Print(alarms, limit, out);
    }
    return 0;
}

}  // namespace vaxo::ctl
