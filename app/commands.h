#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "alarms/alarm_kind.h"
#include "events/send_ticket.h"
#include "record/field_schema.h"
#include "record/refusal.h"
#include "sending/send_request.h"
#include "stations/field_changes.h"

namespace vaxo {

// Who asked: the kind of front end and, for the log, the client or session
// ("text 192.0.2.7:51234", "UECP [::1]:4000", "web 192.0.2.7").
struct Origin {
    enum class Kind { Program, Window, Feed, TextClient, UecpClient, WebSession, CommandLine };
    Kind kind = Kind::Program;
    std::string who = {};

    // A network client or a web session: its changes ask for a send by
    // themselves, and everything it asks is told to the log.
    bool FromOutside() const {
        return kind == Kind::TextClient || kind == Kind::UecpClient || kind == Kind::WebSession;
    }
    // Someone at this machine or signed in on the page, not a client or a
    // feed: the operator's share of the memory's writes is theirs.
    bool IsOperator() const {
        return kind == Kind::Window || kind == Kind::WebSession || kind == Kind::CommandLine;
    }
};

// The commands the program takes, as values.

// Fields take new values: all of them, or none when one is refused.
struct SetFields {
    std::vector<FieldAssignment> values;
    // For texts among the values that a UECP server sent: its RDS bytes.
    std::map<FieldId, std::string> serverTexts = {};
};
struct LoadStation {
    std::string path;
};
struct SaveStation {};
struct SaveStationAs {
    std::string path;
};
// Station-file bytes from outside (an upload), taken as a load takes a
// file; the station is then named `path` (a file not there yet), so that a
// save writes it there, not over the station loaded before.
struct UploadStation {
    std::string text;
    std::string path;
};
struct SendStation {
    SendWhen when = SendWhen::Now;
    std::optional<Bank> bank = {};  // chosen first, as a change of STB
};
// The radiotext A/B flag flips, and a send follows soon.
struct ToggleTextAb {};
// The settings' options and the station file read again; a send when what
// goes on air changed.
struct ReloadStation {};
struct EndProgram {};
// Someone has seen a standing alarm ("encoder_not_answering",
// "feed_unchanged radiotext").
struct AcknowledgeAlarm {
    std::string alarm;
};
// A front end's own condition: a listener that could not start, a
// certificate about to end. No reason: it is gone.
struct ReportCondition {
    AlarmKey alarm;
    std::optional<std::string> holds = {};
};
// A listener tried again until it binds: its trouble ("Address already in
// use"), or none once it listens.
inline ReportCondition ListenerCondition(const std::string& listener, const std::string& trouble) {
    ReportCondition report{{AlarmKind::ListenerDown, listener}};
    if (!trouble.empty()) {
        report.holds = trouble;
    }
    return report;
}

using CommandAction =
    std::variant<SetFields, LoadStation, SaveStation, SaveStationAs, UploadStation, SendStation,
                 ToggleTextAb, ReloadStation, EndProgram, AcknowledgeAlarm, ReportCondition>;

struct Command {
    Origin origin;
    CommandAction action;
    // The command as the log shows it ("PS=NEWS FM", "PS element, data set 0").
    std::string shown = {};
};

// What became of a command, for its caller alone.
struct CommandOutcome {
    std::optional<Refusal> refusal = {};  // why nothing changed; none when it was taken
    std::vector<FieldOutcome> fields;     // SetFields: each value's verdict
    FieldSet changed;                     // the fields whose value is now different
    std::uint64_t revision = 0;           // the station's revision after the command
    std::shared_ptr<SendTicket> send;     // the send it asked for, if any

    bool Accepted() const { return !refusal; }
    // Why it was refused; empty when it was taken.
    std::string Why() const { return refusal ? refusal->why : std::string(); }
};

}  // namespace vaxo
