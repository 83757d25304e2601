#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "alarms/alarm_set.h"
#include "platform/port_io.h"
#include "record/field_schema.h"
#include "record/rds_parameter_set.h"
#include "stations/derived_state.h"
#include "stations/live_text_feeds.h"

namespace vaxo {

// What the program tells whoever listens: the window, the headless log, the
// network front ends. Every event is emitted on the program's loop thread and
// delivered there, to each listener in turn.

// Fields took new values; `origin` names who changed them when it was not
// the program itself or its operator ("text 192.0.2.7:4000", say).
struct FieldsChanged {
    FieldSet fields;
    std::string origin = {};
};
struct DerivedStateChanged {
    DerivedState state;
};
// The program's title: its name and the station file, or the start-up banner.
struct TitleChanged {
    std::string title;
};
struct SendStarted {
    int bank = 1;
    std::string reason;  // what asked for it
};
struct SendProgress {
    int percent = 0;  // 10, 20, 50, 100
};
struct SendFinished {
    int bank = 1;
    LinkProblem problem;    // none: the record is the bank's new one
    LastSentRecord record;  // what the send wrote, or tried to
    std::string reason;     // what asked for it
};
// Sends wait to spare the encoder's memory: the page whose budget of writes
// is spent, the writes a day it may take, and when the next send may go.
// Told when the waiting begins, and once an hour while it lasts.
struct SendsHeld {
    std::size_t block = 0;  // 0 for A0 .. 3 for A6
    std::size_t page = 0;
    double perDay = 0;
    std::chrono::system_clock::time_point next;
};
// The encoder's memory may wear out within five years at the rate of the
// last week: told once a day while it is so.
struct WearWarning {
    double yearsLeft = 0;
    std::size_t block = 0;
    std::size_t page = 0;
};
// A live-text source gave something other than on its previous look.
struct FeedChanged {
    FeedReport report;
};
// The port the chosen one stands for, or why there is none.
struct PortChanged {
    std::uint32_t base = kLpt1Base;
    PortInUse port;
};
// Whether the encoder answers, as the probe between sends finds it.
struct EncoderAnswer {
    enum class State { Unknown, Answering, NotAnswering };
    State state = State::Unknown;
    std::string reason = {};  // why it does not: "its status line stays high"
    std::optional<std::chrono::system_clock::time_point> since = {};  // since when so
};
struct EncoderAnswerChanged {
    EncoderAnswer answer;
};
// An alarm was raised, cleared or acknowledged.
struct AlarmChanged {
    AlarmEntry entry;
};
// A command from outside (a network client) was taken or refused.
struct RemoteCommand {
    std::string origin;     // "text 192.0.2.7:51234"
    std::string command;    // printable, at most 80 characters
    std::string refused;    // why it changed nothing; empty when it was taken
    FieldSet changed;       // the fields it changed
    std::string note = {};  // what else it changed: "station", "site addresses 100, 200"
};
// An error the operator is to be told about (a file that cannot be read).
struct ErrorReported {
    std::string text;
};
// "High priority" is wanted but the system does not let the process raise it.
struct PriorityRefused {
    std::string why;
};
// A later start handed over a station; a minimised window comes back.
struct HandOverTaken {};
// The program is to end ("Exit after Send", the operator, a later start).
struct ExitRequested {};

using ProgramEvent = std::variant<FieldsChanged, DerivedStateChanged, TitleChanged, SendStarted,
                                  SendProgress, SendFinished, SendsHeld, WearWarning, FeedChanged,
                                  PortChanged, RemoteCommand, ErrorReported, PriorityRefused,
                                  HandOverTaken, ExitRequested, EncoderAnswerChanged, AlarmChanged>;

}  // namespace vaxo
