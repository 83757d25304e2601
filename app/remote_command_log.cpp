#include "app/remote_command_log.h"

#include <functional>

namespace vaxo {
namespace {

// Refusals are counted by address, not port: a client that connects anew
// for each command is one client. "text 192.0.2.7:4000", "UECP [::1]:4000"
// and "web 192.0.2.7" (no port) are the forms.
std::string Address(const std::string& origin) {
    const std::size_t colon = origin.rfind(':');
    if (colon == std::string::npos || colon + 1 == origin.size() ||
        origin.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
        return origin;
    }
    const bool bracketed = origin.find('[') != std::string::npos;
    return !bracketed || origin[colon - 1] == ']' ? origin.substr(0, colon) : origin;
}

}  // namespace

std::string DescribeRemoteCommand(const RemoteCommand& command) {
    std::string text = command.origin + " \"" + command.command + "\"";
    if (!command.refused.empty()) {
        return text + " refused: " + command.refused;
    }
    text += " changed";
    std::vector<std::string> changed = command.changed.Keys();
    if (!command.note.empty()) {
        changed.push_back(command.note);
    }
    for (std::size_t k = 0; k < changed.size(); ++k) {
        text += (k ? ", " : " ") + changed[k];
    }
    return text;
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::Note(const RemoteCommand& command,
                                                           Clock::time_point now) {
    std::vector<Line> lines = Flush(now);
    if (command.refused.empty()) {
        lines.push_back({DescribeRemoteCommand(command), false});
        return lines;
    }
    const std::string address = Address(command.origin);
    const auto found = tallies_.find(address);
    if (found != tallies_.end()) {
        ++found->second.more;
        found->second.last = command;
    } else if (tallies_.size() < kAddressLimit) {
        tallies_.emplace(address, Tally{now, 0, command});
        lines.push_back({DescribeRemoteCommand(command), true});
    } else {
        if (!beyond_) {
            beyond_ = Tally{now, 0, command};
        }
        ++beyond_->more;
        beyond_->last = command;
    }
    return lines;
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::Flush(Clock::time_point now) {
    return FlushWhere([&](Clock::time_point since) { return now - since >= interval_; });
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::FlushAll() {
    return FlushWhere([](Clock::time_point) { return true; });
}

std::vector<RemoteCommandLog::Line> RemoteCommandLog::FlushWhere(
    const std::function<bool(Clock::time_point since)>& due) {
    std::vector<Line> lines;
    for (auto tally = tallies_.begin(); tally != tallies_.end();) {
        if (!due(tally->second.since)) {
            ++tally;
            continue;
        }
        const Tally& ended = tally->second;
        if (ended.more > 0) {
            lines.push_back({tally->first + ": " + std::to_string(ended.more) +
                                 " more refused within a minute, the last " +
                                 DescribeRemoteCommand(ended.last),
                             true});
        }
        tally = tallies_.erase(tally);
    }
    if (beyond_ && due(beyond_->since)) {
        lines.push_back({std::to_string(beyond_->more) + " refused from more than " +
                             std::to_string(kAddressLimit) +
                             " addresses within a minute, not told one by one; the last " +
                             DescribeRemoteCommand(beyond_->last),
                         true});
        beyond_.reset();
    }
    return lines;
}

}  // namespace vaxo
