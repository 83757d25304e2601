#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/control_program.h"

namespace vaxo {

// The text commands broadcast automation sends to RDS encoders, one a line:
// a station-file key (PS=, PI=, PTY=, RT2=, DPSP=, SEND=1 ...) read strictly
// through the field schema, TEXT= (the radiotext as its feed processes it),
// DPS= (the dynamic PS text as its feed processes it), SEND, KEY? and
// STATUS?. The answer: "+" done, "!" unknown command, "-" invalid value, "/"
// partly done (a text that had to be cut or lose characters), or the line
// asked for. Text is UTF-8 or Windows-1250, decided per line. As playout
// systems send them: PS, RT and DPS1..8 longer than their field are cut to
// fit, their letters reduced as TEXT= reduces them ("/" then); DI= takes a
// number 0-15 as well as four 0/1 digits; the keys of what other encoders
// carry (PTYN=, CT=, AF8= ...) are "!" and said so. Nothing
// received is run, opened or used as a path: the feed file names and EXIT
// are refused. Nothing for an empty line.
std::optional<std::string> HandleTextCommand(ControlProgram& program, std::string_view line,
                                             const Origin& origin);

// The reply and, for a refusal or a text taken in part, why.
struct TextReply {
    std::string line;
    std::string why = {};
};
std::optional<TextReply> AnswerTextCommand(ControlProgram& program, std::string_view line,
                                           const Origin& origin);

// "port LPT1: /dev/parport0 at 0x378, ppdev; last send 2026-12-08 14:32:10
// bank 1 ok", the port in use and the last send's time, bank and result or
// reason.
std::string StatusLine(const ProgramView& program);

}  // namespace vaxo
