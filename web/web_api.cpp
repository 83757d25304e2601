// The page's API: what it reads (the state, the log, the station files,
// the schema of the fields) and the calls that change something, each
// mapped straight onto one of the program's commands. Bodies and answers are
// JSON; a refusal answers with its code as an HTTP status and in words.
#include <charconv>

#include "base/code_page.h"
#include "base/local_time.h"
#include "net/logged_command.h"
#include "platform/link_fault.h"
#include "stations/station_file.h"
#include "web/api_json.h"
#include "web/station_files.h"
#include "web/web_app.h"
#include "web/web_paths.h"

namespace vaxo {
namespace {

using nlohmann::json;

// The file name part of a station's path, safe in a header.
std::string DownloadName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        c = safe ? c : '_';
    }
    return name.empty() ? "station.rds" : name;
}

// A name a call gives: {"name": "jazz.rds"}.
std::optional<std::string> NameIn(const std::optional<json>& body) {
    if (!body || !body->contains("name") || !(*body)["name"].is_string()) {
        return std::nullopt;
    }
    return (*body)["name"].get<std::string>();
}

// A feed's file name from outside the machine stays in the working folder.
std::optional<Refusal> FeedNameRefusal(FieldId id, const FieldValue& value) {
    if (id != FieldId::RTSF && id != FieldId::DPSSF) {
        return std::nullopt;
    }
    if (const auto problem = FeedNameProblem(std::get<std::string>(value))) {
        return Refusal{RefusalCode::NotAllowed, *problem};
    }
    return std::nullopt;
}

json SendAnswer(const SendResult& result) {
    return {{"on_air", result.OnAir()},
            {"bank", result.bank},
            {"at", LocalStamp(result.at)},
            {"revision", result.revision}};
}

std::optional<std::uint64_t> RevisionNumber(std::string_view text) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

const FieldSet& FieldsOfThePage() {
    static const FieldSet fields = [] {
        FieldSet all;
        for (const StationField& field : AllFields()) {
            all.Add(field.id);
        }
        FieldSet page;
        const FieldSet elsewhere{FieldId::EXIT,      FieldId::ALONTOP,   FieldId::MINSEND,
                                 FieldId::ENDURANCE, FieldId::WEARYEARS, FieldId::TALIMIT};
        all.ForEach([&](FieldId id) {
            if (!elsewhere.Has(id)) {
                page.Add(id);
            }
        });
        return page;
    }();
    return fields;
}

Origin WebApp::OriginOf(const WebRequest& request) const {
    return {Origin::Kind::WebSession, "web " + request.client};
}

std::string WebApp::State() const {
    WebStateExtras extras = extras_;
    if (listeners_) {
        extras.listeners = listeners_();
    }
    json state = WebState(program_.View(), extras);
    state["log_count"] = recentLog_ ? recentLog_->Count() : 0;
    return state.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<WebResponse> WebApp::Read(const std::string& path) const {
    const ProgramView& view = program_.View();
    if (path == "/api/state") {
        return JsonResponse(200, State());
    }
    if (path == "/api/schema") {
        return JsonReply(200, SchemaJson());
    }
    if (path == "/api/log") {
        return JsonReply(200, recentLog_ ? json(recentLog_->Lines()) : json::array());
    }
    if (path == "/api/stations") {
        return JsonReply(200, json(StationFilesIn(view.Folder())));
    }
    if (path == "/api/station") {
        WebResponse file{200, "application/x-vaxo-station", StationFileText(view.Station())};
        file.headers.emplace_back(
            "Content-Disposition",
            "attachment; filename=\"" + DownloadName(view.Document().Name()) + "\"");
        return file;
    }
    return std::nullopt;
}

WebResponse WebApp::Call(const WebRequest& request) {
    const std::string& path = request.path;
    if (path == "/api/fields") {
        return Fields(request);
    }
    if (path == "/api/load") {
        return Load(request);
    }
    if (path == "/api/upload") {
        return Upload(request);
    }
    if (path == "/api/save") {
        return Save(request);
    }
    if (path == "/api/saveas") {
        return SaveAs(request);
    }
    if (path == "/api/alarms/ack") {
        return Acknowledge(request);
    }
    return ErrorResponse(404, "unknown", "no such call");
}

// {"fields": {"PS": "NEWS", "PTY": 10}, "seen_revision": 41}: the fields
// change together or not at all.
WebResponse WebApp::Fields(const WebRequest& request) {
    const Origin origin = OriginOf(request);
    const auto body = JsonBody(request);
    const auto refuse = [&](const Refusal& refusal, const std::string& shown,
                            const json& more = json::object()) {
        program_.Log().Refused(origin, shown, refusal);
        return RefusalResponse(refusal, more);
    };
    if (!body || !body->contains("fields") || !(*body)["fields"].is_object()) {
        return refuse({RefusalCode::Malformed, "a change is {\"fields\": {KEY: value}}"},
                      "fields " + LoggedCommand(request.body.substr(0, 60)));
    }
    const json& fields = (*body)["fields"];
    std::string shown;
    for (const auto& [key, value] : fields.items()) {
        shown += (shown.empty() ? "" : ";") + key + "=" +
                 (value.is_string() ? value.get<std::string>() : value.dump());
    }
    shown = LoggedCommand(shown);
    std::optional<std::uint64_t> seen;
    if (const auto found = body->find("seen_revision"); found != body->end()) {
        if (!found->is_number_unsigned()) {
            return refuse({RefusalCode::Malformed, "seen_revision is the revision as a number"},
                          shown);
        }
        seen = found->get<std::uint64_t>();
    }
    // The header of the page's first API says the same; one that is no
    // revision must not pass as "apply anyway".
    if (!request.seenRevision.empty()) {
        const auto header = RevisionNumber(request.seenRevision);
        if (!header || (seen && *seen != *header)) {
            return refuse({RefusalCode::Malformed,
                           "X-Seen-Revision is the revision as a number, the same as "
                           "seen_revision"},
                          shown);
        }
        seen = header;
    }
    std::vector<FieldAssignment> values;
    for (const auto& [key, value] : fields.items()) {
        const StationField* field = FindField(key);
        if (!field) {
            return refuse({RefusalCode::Unknown, "no field has the key " + LoggedCommand(key)},
                          shown, {{"field", key}});
        }
        if (!FieldsOfThePage().Has(field->id)) {
            return refuse({RefusalCode::NotAllowed, key + " is not set from the page"}, shown,
                          {{"field", key}});
        }
        JsonValue typed = FieldValueOf(*field, value);
        if (!typed.value) {
            return refuse(typed.refusal, shown, {{"field", key}});
        }
        if (const auto refusal = FeedNameRefusal(field->id, *typed.value)) {
            return refuse(*refusal, shown, {{"field", key}});
        }
        values.push_back({field->id, std::move(*typed.value)});
    }
    if (values.empty()) {
        return refuse({RefusalCode::Malformed, "no field to change"}, shown);
    }
    if (seen) {
        if (auto clash = Clash(values, *seen, origin, shown)) {
            return std::move(*clash);
        }
    }
    const CommandOutcome outcome = program_.Execute({origin, SetFields{values}, shown});
    if (!outcome.Accepted()) {
        json more = json::object();
        for (const FieldOutcome& field : outcome.fields) {
            if (!field.Accepted()) {
                more["field"] = Field(field.field).key;
                break;
            }
        }
        return RefusalResponse(*outcome.refusal, more);
    }
    const ProgramView& view = program_.View();
    json now = json::object();
    for (const FieldAssignment& value : values) {
        const StationField& field = Field(value.field);
        now[field.key] = FieldJson(field, field.get(view.Station()), view.DecimalSeparator());
    }
    return JsonReply(
        200,
        {{"revision", outcome.revision}, {"changed", outcome.changed.Keys()}, {"fields", now}});
}

// {"alarm": "encoder_not_answering"}: seen by this session's operator.
WebResponse WebApp::Acknowledge(const WebRequest& request) {
    const Origin origin = OriginOf(request);
    const auto body = JsonBody(request);
    const json alarm = body && body->contains("alarm") ? (*body)["alarm"] : json();
    if (!alarm.is_string()) {
        const Refusal refusal{RefusalCode::Malformed,
                              "an acknowledgement is {\"alarm\": \"encoder_not_answering\"}"};
        program_.Log().Refused(origin, "acknowledge", refusal);
        return RefusalResponse(refusal);
    }
    const std::string id = alarm.get<std::string>();
    const CommandOutcome outcome =
        program_.Execute({origin, AcknowledgeAlarm{id}, LoggedCommand("acknowledge " + id)});
    if (!outcome.Accepted()) {
        return RefusalResponse(*outcome.refusal);
    }
    return JsonReply(200, {{"alarm", id}});
}

// A change from a page that had not seen the field's latest value would
// undo another's change unseen: it is refused with the value that stands
// and who set it, and the page may send it again without its revision.
std::optional<WebResponse> WebApp::Clash(const std::vector<FieldAssignment>& values,
                                         std::uint64_t seen, const Origin& origin,
                                         const std::string& shown) {
    const ProgramView& view = program_.View();
    for (const FieldAssignment& value : values) {
        const StationField& field = Field(value.field);
        const FieldStamp& stamp = view.Stamp(field.id);
        const StrictReading wanted = CheckFieldValue(field, value.value, view.DecimalSeparator());
        const FieldValue now = field.get(view.Station());
        if (stamp.revision <= seen || !wanted.value || *wanted.value == now) {
            continue;
        }
        const std::string why = std::string(field.key) + " is now \"" +
                                Windows1250ToUtf8(FormatFieldValue(field.type, now)) +
                                "\", set by " + Windows1250ToUtf8(stamp.origin) +
                                " after this page showed it";
        const Refusal refusal{RefusalCode::Stale, why};
        program_.Log().Refused(origin, shown, refusal);
        return RefusalResponse(refusal, {{"field", field.key},
                                         {"value", FieldJson(field, now, view.DecimalSeparator())},
                                         {"by", Windows1250ToUtf8(stamp.origin)}});
    }
    return std::nullopt;
}

// {"bank": 1}: the answer waits for the send that carries the request to
// end, so that the page tells the operator what went on air, not that
// something was asked for.
void WebApp::Send(const WebRequest& request, const Reply& reply) {
    const Origin origin = OriginOf(request);
    const auto body = JsonBody(request);
    const json bank = body && body->contains("bank") ? (*body)["bank"] : json();
    if (bank != 1 && bank != 2) {
        const Refusal refusal{RefusalCode::Malformed, "a send is {\"bank\": 1} or {\"bank\": 2}"};
        program_.Log().Refused(origin, "send", refusal);
        reply(RefusalResponse(refusal));
        return;
    }
    const CommandOutcome outcome =
        program_.Execute({origin, SendStation{SendWhen::Now, bank == 1 ? Bank::One : Bank::Two},
                          "send to bank " + bank.dump()});
    if (!outcome.send) {
        reply(RefusalResponse(*outcome.refusal));
        return;
    }
    outcome.send->WhenDone([reply](const SendResult& result) {
        switch (result.status) {
            case SendResult::Status::OnAir:
                reply(JsonReply(200, SendAnswer(result)));
                break;
            case SendResult::Status::Failed:
                reply(ErrorResponse(502, "link", DescribeLinkProblem(result.problem),
                                    SendAnswer(result)));
                break;
            case SendResult::Status::NotSent:
                reply(ErrorResponse(409, "not_sent", result.why));
                break;
        }
    });
}

// {"name": "jazz.rds"}: a station file of the working folder.
WebResponse WebApp::Load(const WebRequest& request) {
    const Origin origin = OriginOf(request);
    const auto name = NameIn(JsonBody(request));
    const std::string folder = program_.View().Folder();
    const auto names = StationFilesIn(folder);
    if (!name || std::find(names.begin(), names.end(), *name) == names.end()) {
        const Refusal refusal{RefusalCode::NotFound,
                              "no station file of that name in the working folder"};
        program_.Log().Refused(origin, "load " + LoggedCommand(name.value_or("")), refusal);
        return RefusalResponse(refusal);
    }
    const CommandOutcome outcome =
        program_.Execute({origin, LoadStation{folder + *name}, "load " + *name});
    if (!outcome.Accepted()) {
        return RefusalResponse(*outcome.refusal);
    }
    return JsonReply(200, {{"station_file", *name}, {"revision", outcome.revision}});
}

// The body is the station file's bytes, X-File-Name its own name.
WebResponse WebApp::Upload(const WebRequest& request) {
    const Origin origin = OriginOf(request);
    if (const auto problem = UploadProblem(request.body)) {
        const Refusal refusal{RefusalCode::Malformed, *problem};
        program_.Log().Refused(origin, "a station file", refusal);
        return RefusalResponse(refusal);
    }
    const std::string folder = program_.View().Folder();
    const std::string name = UploadedStationName(folder, request.fileName);
    const CommandOutcome outcome = program_.Execute(
        {origin, UploadStation{request.body, folder + name}, "a station file as " + name});
    if (!outcome.Accepted()) {
        return RefusalResponse(*outcome.refusal);
    }
    return JsonReply(200, {{"name", name}, {"revision", outcome.revision}});
}

WebResponse WebApp::Save(const WebRequest& request) {
    const CommandOutcome outcome = program_.Execute({OriginOf(request), SaveStation{}, "save"});
    if (!outcome.Accepted()) {
        return RefusalResponse(*outcome.refusal);
    }
    return JsonReply(200, {{"station_file", DownloadName(program_.View().Document().Name())}});
}

// {"name": "morning"}: a new name only; a file of that name that is not the
// station's own is never written over from the page.
WebResponse WebApp::SaveAs(const WebRequest& request) {
    const Origin origin = OriginOf(request);
    const auto typed = NameIn(JsonBody(request));
    const SaveAsChoice choice = SaveAsName(typed.value_or(""));
    const auto& name = choice.name;
    const std::string shown = "save as " + LoggedCommand(typed.value_or(""));
    const std::string path = program_.View().Folder() + name.value_or("");
    std::optional<Refusal> refusal;
    if (!name) {
        refusal = Refusal{RefusalCode::Malformed, choice.refusal};
    } else if (path != program_.View().Document().Name() && FileThere(path)) {
        refusal = Refusal{RefusalCode::Exists, *name + " is there already: choose another name"};
    }
    if (refusal) {
        program_.Log().Refused(origin, shown, *refusal);
        return RefusalResponse(*refusal);
    }
    const CommandOutcome outcome = program_.Execute({origin, SaveStationAs{path}, shown});
    if (!outcome.Accepted()) {
        return RefusalResponse(*outcome.refusal);
    }
    return JsonReply(200, {{"name", *name}});
}

}  // namespace vaxo
