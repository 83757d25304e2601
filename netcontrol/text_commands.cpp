#include "netcontrol/text_commands.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "app/health.h"
#include "app/wear_words.h"
#include "base/code_page.h"
#include "base/local_time.h"
#include "encoding/rds_characters.h"
#include "net/logged_command.h"
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
    // A send asked for: "+" says it is asked for, STATUS? how it ended.
    void AskForSend() const {
        const CommandOutcome asked = Run(SendStation{SendWhen::Soon});
        static_cast<void>(asked);  // a send a moment from now is never refused
    }
    TextReply Set(std::vector<FieldAssignment> values, bool partly) const {
        const CommandOutcome outcome = Run(SetFields{std::move(values)});
        if (!outcome.Accepted()) {
            return {"-", outcome.refusal->why};
        }
        return {partly ? "/" : "+", partly ? "cut, or a character the code page lacks" : ""};
    }
    TextReply Refuse(const char* reply, RefusalCode code, const std::string& why) const {
        program.Log().Refused(origin, command, {code, why});
        return {reply, why};
    }
};

TextReply Query(const Sender& sender, std::string_view key) {
    if (key == "STATUS") {
        return {StatusLine(sender.program.View())};
    }
    const StationField* field = FindField(key);
    if (!field || field->scope != FieldScope::Station || IsFeedFileOrExit(key)) {
        return sender.Refuse("!", RefusalCode::Unknown, "no field to ask for");
    }
    return {Windows1250ToUtf8(FieldLine(sender.program.View().Station(), *field))};
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
    const RdsParameterSet& set = sender.program.View().Station();
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

// The texts playout systems send as they come (a title as PS): cut to fit.
// Their letters go on air in the RDS table; "/" tells that one had to be
// given as its base letter there (Ł as L).
bool TakenAsPlayoutText(FieldId id) {
    return id == FieldId::PS || id == FieldId::RT || id == FieldId::RT2 || id == FieldId::RT3 ||
           id == FieldId::RT4 || (id >= FieldId::DPS1 && id <= FieldId::DPS8);
}

// What other encoders' command sets carry and this encoder does not.
bool NotCarried(std::string_view key) {
    static constexpr std::array<std::string_view, 10> kKeys{"PTYN", "CT",  "DATE", "TIME", "UTC",
                                                            "ECC",  "LIC", "PIN",  "TMC",  "EON"};
    if (std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end()) {
        return true;
    }
    int number = 0;
    const auto digits = key.size() > 2 && key.starts_with("AF") ? key.substr(2) : "";
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() &&
           number >= 8;
}

// DI as several encoders' command sets write it: a number from 0 to 15, its
// bit 0 stereo, bit 1 artificial head, bit 2 compressed, bit 3 dynamic PTY.
std::optional<DecoderId> DecoderIdNumber(std::string_view value) {
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || value.size() > 2 || error != std::errc() ||
        end != value.data() + value.size() || number > 15) {
        return std::nullopt;
    }
    return DecoderId{(number & 1) != 0, (number & 2) != 0, (number & 4) != 0, (number & 8) != 0};
}

// A station field by its key; SEND=1 also asks for a send.
TextReply Field(const Sender& sender, const StationField& field, std::string_view value) {
    if (IsFeedFileOrExit(field.key)) {
        return sender.Refuse("!", RefusalCode::NotAllowed,
                             std::string(field.key) + " is not settable from here");
    }
    if (field.id == FieldId::DI) {
        if (const auto flags = DecoderIdNumber(value)) {
            return sender.Set({{FieldId::DI, *flags}}, false);
        }
    }
    int missing = 0;
    std::string text = TextLineToWindows1250(value, &missing);
    bool partly = false;
    // The page's fields are typed, not sent by playout: they keep the letters
    // and are refused whole when they do not fit.
    if (TakenAsPlayoutText(field.id) && sender.origin.kind != Origin::Kind::WebSession) {
        const bool cut = text.size() > field.type.limit;
        text.resize(std::min(text.size(), field.type.limit));
        partly = missing > 0 || cut || ChangesOnAir(text);
    } else if (missing > 0) {
        return sender.Refuse("-", RefusalCode::Malformed, "a character Windows-1250 lacks");
    }
    StrictReading reading = ReadStrict(field, text, sender.program.View().DecimalSeparator());
    if (!reading.value) {
        return sender.Refuse("-", reading.code, reading.refusal);
    }
    const bool send = field.id == FieldId::SEND && std::get<bool>(*reading.value);
    TextReply reply = sender.Set({{field.id, std::move(*reading.value)}}, partly);
    if (send && reply.line == "+") {
        sender.AskForSend();
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
    if (line == "SEND") {
        sender.AskForSend();
        return TextReply{"+"};
    }
    if (line.ends_with('?') && line.find('=') == std::string_view::npos) {
        return Query(sender, line.substr(0, line.size() - 1));
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return sender.Refuse("!", RefusalCode::Unknown, "no such command");
    }
    // The command is recognised first: a line that is none is "!", whatever
    // its characters.
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    const StationField* field = FindField(key);
    const bool known =
        key == "TEXT" || key == "DPS" || (field != nullptr && field->scope == FieldScope::Station);
    if (!known) {
        return NotCarried(key) ? sender.Refuse("!", RefusalCode::NotCarried,
                                               std::string(key) + " is not carried by this encoder")
                               : sender.Refuse("!", RefusalCode::Unknown,
                                               "no field has the key " + LoggedCommand(key));
    }
    if (value.find('\0') != std::string_view::npos) {
        return sender.Refuse("-", RefusalCode::Malformed, "a NUL byte in the value");
    }
    if (key == "TEXT") {
        return Radiotext(sender, value);
    }
    if (key == "DPS") {
        return DynamicPs(sender, value);
    }
    return Field(sender, *field, value);
}

std::optional<std::string> HandleTextCommand(ControlProgram& program, std::string_view line,
                                             const Origin& origin) {
    auto answer = AnswerTextCommand(program, line, origin);
    return answer ? std::optional(std::move(answer->line)) : std::nullopt;
}

std::string StatusLine(const ProgramView& program) {
    const Health health = HealthOf(program);
    std::string line = health.linkText;
    line += "; feeds: " + health.feedsText;
    line += "; memory: " + DescribeWear(program.Ledger(), program.WearYearsLeft());
    if (const auto& held = program.Held()) {
        line += "; sends wait until " + LocalStamp(held->next) + " for the budget of writes of " +
                PageName(held->block, held->page);
    }
    return line;
}

}  // namespace vaxo
