#include "netcontrol/text_commands.h"

#include "base/code_page.h"
#include "base/local_time.h"
#include "netcontrol/logged_command.h"
#include "record/station_fields.h"
#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

bool IsFeedFileOrExit(std::string_view key) {
    return key == "RTSF" || key == "DPSSF" || key == "EXIT";
}

// A command from one client: who sent it and what, for the log.
struct Sender {
    ControlProgram& program;
    const std::string& origin;
    std::string command;

    FieldChanges Apply(const std::string& lines) const {
        return program.ApplyRemoteFields(lines, origin, command);
    }
    TextReply Refuse(const char* reply, const std::string& why) const {
        program.TellRefused(origin, command, why);
        return {reply, why};
    }
};

TextReply Verdict(const FieldChanges& changes, bool partly) {
    for (const FieldOutcome& outcome : changes.outcomes) {
        if (outcome.verdict == FieldVerdict::UnknownKey ||
            outcome.verdict == FieldVerdict::NotAllowed) {
            return {"!", outcome.reason};
        }
        if (outcome.verdict == FieldVerdict::InvalidValue) {
            return {"-", outcome.reason};
        }
    }
    return {partly ? "/" : "+", partly ? "cut, or a character the code page lacks" : ""};
}

TextReply Query(const Sender& sender, std::string_view key) {
    if (key == "STATUS") {
        return {StatusLine(sender.program)};
    }
    const StationField* field = FindStationField(key);
    if (!field || IsFeedFileOrExit(key)) {
        return sender.Refuse("!", "no field to ask for");
    }
    return {Windows1250ToUtf8(StationFieldLine(sender.program.Set(), *field))};
}

// The radiotext feed's processing: trailing spaces, 61 + "...", letters
// reduced.
TextReply Radiotext(const Sender& sender, std::string_view value) {
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    const std::string processed = ProcessRadiotextLine(text);
    const bool cut = processed.size() < text.size() && processed.ends_with("...");
    return Verdict(sender.Apply("RT=" + processed), missing > 0 || cut);
}

// The dynamic PS feed's processing, with the station's alignment and effects.
TextReply DynamicPs(const Sender& sender, std::string_view value) {
    const RdsParameterSet& set = sender.program.Set();
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    const std::string processed = ProcessDpsLine(text, {set.DPSA, set.DPSC, set.EFCHAR.str()});
    const auto segments = SplitDpsSegments(processed);
    std::string lines;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        lines += "DPS" + std::to_string(k + 1) + "=" + segments[k] + "\n";
    }
    return Verdict(sender.Apply(lines), missing > 0 || processed.ends_with("..."));
}

TextReply Field(const Sender& sender, std::string_view key, std::string_view value) {
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    if (missing > 0) {
        return sender.Refuse("-", "a character Windows-1250 lacks");
    }
    return Verdict(sender.Apply(std::string(key) + "=" + text), false);
}

}  // namespace

std::optional<TextReply> AnswerTextCommand(ControlProgram& program, std::string_view line,
                                           const std::string& origin) {
    if (line.empty()) {
        return std::nullopt;
    }
    const Sender sender{program, origin, LoggedCommand(line)};
    if (line == "SEND") {
        program.RequestSendSoon(origin);
        return TextReply{"+"};
    }
    if (line.ends_with('?') && line.find('=') == std::string_view::npos) {
        return Query(sender, line.substr(0, line.size() - 1));
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return sender.Refuse("!", "no such command");
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "TEXT") {
        return Radiotext(sender, value);
    }
    if (key == "DPS") {
        return DynamicPs(sender, value);
    }
    return Field(sender, key, value);
}

std::optional<std::string> HandleTextCommand(ControlProgram& program, std::string_view line,
                                             const std::string& origin) {
    auto answer = AnswerTextCommand(program, line, origin);
    return answer ? std::optional(std::move(answer->line)) : std::nullopt;
}

std::string StatusLine(const ControlProgram& program) {
    const SendCoordinator& sends = program.Sends();
    const PortInUse& port = sends.Port();
    std::string line = "port " + LptName(sends.PortBase()) + ": " +
                       (port.problem ? DescribeLinkProblem(port.problem) : port.description);
    const auto& last = sends.Last();
    if (!last) {
        return line + "; no send yet";
    }
    line += "; last send " + LocalStamp(last->at) + " bank " + std::to_string(last->bank) + " " +
            (last->problem ? "failed: " + DescribeLinkProblem(last->problem) : std::string("ok"));
    return line;
}

}  // namespace vaxo
