#include "netcontrol/text_commands.h"

#include "app/health.h"
#include "app/wear_words.h"
#include "base/code_page.h"
#include "base/local_time.h"
#include "netcontrol/logged_command.h"
#include "record/field_schema.h"
#include "stations/live_text_shaping.h"

namespace vaxo {
namespace {

bool IsFeedFileOrExit(std::string_view key) {
    return key == "RTSF" || key == "DPSSF" || key == "EXIT";
}

// A command from one client: who sent it and what, for the log.
struct Sender {
    ControlProgram& program;
    const Origin& origin;
    std::string command;

    CommandOutcome Run(CommandAction action) const {
        return program.Execute({origin, std::move(action), command});
    }
    TextReply Set(std::vector<FieldAssignment> values, bool partly) const {
        const CommandOutcome outcome = Run(SetFields{std::move(values)});
        if (!outcome.Accepted()) {
            return {"-", outcome.refusal};
        }
        return {partly ? "/" : "+", partly ? "cut, or a character the code page lacks" : ""};
    }
    TextReply Refuse(const char* reply, const std::string& why) const {
        static_cast<void>(Run(RefusedCommand{why}));
        return {reply, why};
    }
};

TextReply Query(const Sender& sender, std::string_view key) {
    if (key == "STATUS") {
        return {StatusLine(sender.program)};
    }
    const StationField* field = FindField(key);
    if (!field || field->scope != FieldScope::Station || IsFeedFileOrExit(key)) {
        return sender.Refuse("!", "no field to ask for");
    }
    return {Windows1250ToUtf8(FieldLine(sender.program.Set(), *field))};
}

// The radiotext feed's processing: trailing spaces, 61 + "...", letters
// reduced.
TextReply Radiotext(const Sender& sender, std::string_view value) {
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    const std::string processed = ProcessRadiotextLine(text);
    const bool cut = processed.size() < text.size() && processed.ends_with("...");
    return sender.Set({{FieldId::RT, processed}}, missing > 0 || cut);
}

// The dynamic PS feed's processing, with the station's alignment and effects.
TextReply DynamicPs(const Sender& sender, std::string_view value) {
    const RdsParameterSet& set = sender.program.Set();
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    const std::string processed = ProcessDpsLine(text, {set.DPSA, set.DPSC, set.EFCHAR.str()});
    const auto segments = SplitDpsSegments(processed);
    std::vector<FieldAssignment> values;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        values.push_back({DpsField(k), segments[k]});
    }
    return sender.Set(std::move(values), missing > 0 || processed.ends_with("..."));
}

// A station field by its key; SEND=1 also asks for a send.
TextReply Field(const Sender& sender, std::string_view key, std::string_view value) {
    const StationField* field = FindField(key);
    if (!field || field->scope != FieldScope::Station) {
        return sender.Refuse("!", "no field has the key " + LoggedCommand(key));
    }
    if (IsFeedFileOrExit(key)) {
        return sender.Refuse("!", std::string(key) + " is not settable from here");
    }
    int missing = 0;
    const std::string text = TextLineToWindows1250(value, &missing);
    if (missing > 0) {
        return sender.Refuse("-", "a character Windows-1250 lacks");
    }
    StrictReading reading = ReadStrict(*field, text, sender.program.DecimalSeparator());
    if (!reading.value) {
        return sender.Refuse("-", reading.refusal);
    }
    const bool send = field->id == FieldId::SEND && std::get<bool>(*reading.value);
    TextReply reply = sender.Set({{field->id, std::move(*reading.value)}}, false);
    if (send && reply.line == "+") {
        static_cast<void>(sender.Run(SendStation{SendWhen::Soon}));
    }
    return reply;
}

}  // namespace

std::optional<TextReply> AnswerTextCommand(ControlProgram& program, std::string_view line,
                                           const Origin& origin) {
    if (line.empty()) {
        return std::nullopt;
    }
    const Sender sender{program, origin, LoggedCommand(line)};
    if (line.find('\0') != std::string_view::npos) {
        return sender.Refuse("-", "a NUL byte in the command");
    }
    if (line == "SEND") {
        static_cast<void>(sender.Run(SendStation{SendWhen::Soon}));
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
                                             const Origin& origin) {
    auto answer = AnswerTextCommand(program, line, origin);
    return answer ? std::optional(std::move(answer->line)) : std::nullopt;
}

std::string StatusLine(const ControlProgram& program) {
    const SendCoordinator& sends = program.Sends();
    const Health health = HealthOf(program);
    std::string line = health.linkText;
    line += "; feeds: " + health.feedsText;
    line += "; memory: " + DescribeWear(sends.Ledger(), program.WearYearsLeft());
    if (const auto& held = sends.Held()) {
        line += "; sends wait until " + LocalStamp(held->next) + " for the budget of writes of " +
                PageName(held->block, held->page);
    }
    return line;
}

}  // namespace vaxo
