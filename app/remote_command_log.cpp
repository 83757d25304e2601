#include "app/remote_command_log.h"

namespace vaxo {
namespace {

// Kinds are counted by address, not port: a client that connects anew for
// each command is one client. "text 192.0.2.7:4000", "UECP [::1]:4000" and
// "web 192.0.2.7" (no port) are the forms.
std::string Address(const std::string& origin) {
    const std::size_t colon = origin.rfind(':');
    if (colon == std::string::npos || colon + 1 == origin.size() ||
        origin.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
        return origin;
    }
    const bool bracketed = origin.find('[') != std::string::npos;
    return !bracketed || origin[colon - 1] == ']' ? origin.substr(0, colon) : origin;
}

std::string KindOf(const RemoteCommand& command) {
    return Address(command.origin) + '\n' + command.refused;
}

// A kind that nobody repeats is forgotten after its minute; this bounds the
// rest (a scan of every address of a network).
constexpr std::size_t kKindLimit = 1024;

}  // namespace

std::string DescribeRemoteCommand(const RemoteCommand& command) {
    std::string text = command.origin + " \"" + command.command + "\"";
    if (!command.refused.empty()) {
        return text + " refused: " + command.refused;
    }
    text += " changed";
    for (std::size_t k = 0; k < command.changed.size(); ++k) {
        text += (k ? ", " : " ") + command.changed[k];
    }
    return text;
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::Note(const RemoteCommand& command,
                                                           Clock::time_point now) {
    std::vector<Line> lines = Flush(now);
    const std::string kind = KindOf(command);
    const auto found = tallies_.find(kind);
    if (found != tallies_.end()) {
        ++found->second.more;
        found->second.last = command;
        return lines;
    }
    if (tallies_.size() >= kKindLimit) {
        return lines;
    }
    tallies_.emplace(kind, Tally{now, 0, command});
    lines.push_back({DescribeRemoteCommand(command), !command.refused.empty()});
    return lines;
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::Flush(Clock::time_point now) {
    std::vector<Line> lines;
    for (auto tally = tallies_.begin(); tally != tallies_.end();) {
        if (now - tally->second.since < interval_) {
            ++tally;
            continue;
        }
        const Tally& ended = tally->second;
        if (ended.more > 0) {
            const bool refused = !ended.last.refused.empty();
            lines.push_back({Address(ended.last.origin) + ": " + std::to_string(ended.more) +
                                 (refused ? " more refused" : " more taken") +
                                 " within a minute, the last " + DescribeRemoteCommand(ended.last),
                             refused});
        }
        tally = tallies_.erase(tally);
    }
    return lines;
}

}  // namespace vaxo
