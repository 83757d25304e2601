#include "web/web_app.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "base/code_page.h"
#include "base/local_time.h"
#include "base/overloaded.h"
#include "base/product.h"
#include "base/text_lines.h"
#include "netcontrol/logged_command.h"
#include "netcontrol/text_commands.h"
#include "platform/free_memory.h"
#include "platform/link_fault.h"
#include "record/field_schema.h"
#include "stations/station_file.h"
#include "web/embedded_files.h"
#include "web/html_text.h"
#include "web/password_hash.h"
#include "web/request_checks.h"
#include "web/station_files.h"

namespace vaxo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCookie = "vaxo_session";

const std::map<std::string, std::string, std::less<>> kPages{
    {"/onair", "On air"}, {"/station", "Station"}, {"/settings", "Settings"}, {"/log", "Log"}};

std::string_view File(std::string_view name) {
    const auto found = EmbeddedFiles().find(name);
    return found == EmbeddedFiles().end() ? std::string_view() : found->second;
}

std::string ContentType(std::string_view path) {
    if (path.ends_with(".css")) {
        return "text/css; charset=utf-8";
    }
    if (path.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (path.ends_with(".svg")) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

std::string SessionCookie(const std::string& value, bool tls, bool clear = false) {
    return std::string(kCookie) + "=" + value + "; Path=/; HttpOnly; SameSite=Strict" +
           (tls ? "; Secure" : "") + (clear ? "; Max-Age=0" : "");
}

bool IsApi(const std::string& path) {
    return path.starts_with("/api/");
}

// "KEY=value" of a one-line body such as "bank=1", the value as it stands.
std::optional<std::string> Value(const std::string& body, std::string_view key) {
    std::string_view line(body);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') {
        return std::nullopt;
    }
    return std::string(line.substr(key.size() + 1));
}

// The forms' limits, from the field schema: "max-PS" 8, "min-DPSP" 7 ...
const std::map<std::string, std::string>& FieldLimits() {
    static const auto limits = [] {
        std::map<std::string, std::string> values;
        for (const StationField& field : AllFields()) {
            const FieldType& type = field.type;
            if (type.kind == FieldKind::Number) {
                values["min-" + std::string(field.key)] = std::to_string(type.low);
                values["max-" + std::string(field.key)] = std::to_string(type.high);
            } else if (type.limit > 0) {
                values["max-" + std::string(field.key)] = std::to_string(type.limit);
            }
        }
        return values;
    }();
    return limits;
}

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

// An X-Seen-Revision header's number; none when absent or not a number.
std::optional<std::uint64_t> RevisionNumber(std::string_view text) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// Who a sign-in is for its failures: an address, or an IPv6 /64.
std::string SignInClient(const WebRequest& request) {
    return DescribeClientKey(ClientKeyOfText(request.client));
}

}  // namespace

WebApp::WebApp(boost::asio::io_context& io, ControlProgram& program, WebPasswords passwords,
               Log log)
    : io_(io),
      program_(program),
      passwords_(std::move(passwords)),
      log_(std::move(log)),
      streams_(io, [this] { return State(); }) {
    MapLargeBlocksApart();  // the password checks' 19 MiB
    listening_ = program_.Listen([this](const ProgramEvent& event) { Heard(event); });
    // A session that ends takes its pages' streams with it; a page that
    // watches keeps its session.
    sessions_.OnEnd([this](const std::string& id) { streams_.CloseSession(id); });
    sessions_.WatchedBy([this](const std::string& id) { return streams_.Watches(id); });
}

WebApp::~WebApp() {
    EndStreams();
    listening_.Remove();
    checker_.Stop();
}

void WebApp::Heard(const ProgramEvent& event) {
    if (const auto* feed = std::get_if<FeedChanged>(&event)) {
        const FeedReport& report = feed->report;
        if (report.outcome == LiveTextRead::Outcome::Read) {
            extras_.feedChanged[report.source] = std::chrono::system_clock::now();
        }
    }
    streams_.Changed();
}

std::string WebApp::State() const {
    WebStateExtras extras = extras_;
    if (listeners_) {
        extras.listeners = listeners_();
    }
    nlohmann::json state = WebState(program_.View(), extras);
    state["log_count"] = recentLog_ ? recentLog_->Count() : 0;
    return state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

const WebSession* WebApp::SessionOf(const WebRequest& request) {
    const std::string id = CookieValue(request.cookie, kCookie);
    return id.empty() ? nullptr : sessions_.Find(id, Clock::now());
}

Screening WebApp::Screen(const WebRequest& head) const {
    if (head.method == "GET") {
        return {};
    }
    if (head.method != "POST") {
        return {TextResponse(405, "! GET or POST")};
    }
    if (head.path == "/signin") {
        if (CrossSitePost(head.origin, head.fetchSite, head.host)) {
            return {CrossSiteSignIn()};
        }
        return {std::nullopt, Screening::Body::SignInForm};
    }
    const std::string id = CookieValue(head.cookie, kCookie);
    if (id.empty() || !sessions_.Peek(id, Clock::now())) {
        return {IsApi(head.path) ? TextResponse(401, "! sign in first") : Redirect("/signin")};
    }
    return {std::nullopt, Screening::Body::Any};
}

void WebApp::Unwatch(std::uint64_t id) {
    const std::string session = streams_.Remove(id);
    if (!session.empty()) {
        sessions_.Touch(session, Clock::now());  // its idle time begins now
    }
}

void WebApp::Handle(const WebRequest& request, const Reply& reply) {
    if (request.path.starts_with("/assets/") && request.method == "GET") {
        reply(Asset(request.path));
        return;
    }
    if (request.path == "/signin") {
        if (request.method == "POST") {
            SignIn(request, reply);
        } else {
            reply(SessionOf(request) ? Redirect("/onair") : SignInPage(200, ""));
        }
        return;
    }
    const WebSession* session = SessionOf(request);
    if (!session) {
        reply(IsApi(request.path) ? TextResponse(401, "! sign in first") : Redirect("/signin"));
        return;
    }
    if (request.method == "GET") {
        reply(Get(request, *session));
    } else if (request.method == "POST") {
        Post(request, *session, reply);
    } else {
        reply(TextResponse(405, "! GET or POST"));
    }
}

WebResponse WebApp::Get(const WebRequest& request, const WebSession& session) {
    const std::string& path = request.path;
    if (path == "/") {
        return Redirect("/onair");
    }
    if (kPages.contains(path)) {
        return Page(path.substr(1), session);
    }
    if (path == "/api/state") {
        return JsonResponse(200, State());
    }
    if (path == "/api/events") {
        WebResponse stream{200, "text/event-stream", ""};
        stream.eventStream = true;
        return stream;
    }
    if (path == "/api/log") {
        const nlohmann::json lines =
            recentLog_ ? nlohmann::json(recentLog_->Lines()) : nlohmann::json::array();
        return JsonResponse(200,
                            lines.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    if (path == "/api/stations") {
        return JsonResponse(200, nlohmann::json(StationFilesIn(program_.View().Folder())).dump());
    }
    if (path == "/api/station") {
        WebResponse file{200, "application/x-vaxo-station",
                         StationFileText(program_.View().Station())};
        file.headers.emplace_back(
            "Content-Disposition",
            "attachment; filename=\"" + DownloadName(program_.View().Document().Name()) + "\"");
        return file;
    }
    return TextResponse(404, "! no such page");
}

void WebApp::Post(const WebRequest& request, const WebSession& session, const Reply& reply) {
    const std::string token =
        request.csrf.empty() ? FormField(request.body, "csrf").value_or("") : request.csrf;
    if (!SameSecret(token, session.token)) {
        reply(TextResponse(403, "! the page's token is missing or wrong: reload the page"));
    } else if (request.path == "/signout") {
        reply(SignOut(request, session));
    } else if (session.role != WebRole::Operator) {
        reply(TextResponse(403, "! signed in to look only"));
    } else if (request.path == "/api/send") {
        Send(request, reply);
    } else {
        reply(Act(request));
    }
}

WebResponse WebApp::Act(const WebRequest& request) {
    const std::string& path = request.path;
    if (path == "/api/fields") {
        return Fields(request);
    }
    if (path == "/api/options") {
        return Options(request);
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
    return TextResponse(404, "! no such call");
}

WebResponse WebApp::SignOut(const WebRequest& request, const WebSession& session) {
    const std::string id = session.id;
    log_("web " + request.client + " signed out");
    sessions_.Close(id);  // its pages' streams end with it
    WebResponse response = Redirect("/signin");
    response.headers.emplace_back("Set-Cookie", SessionCookie("", request.tls, true));
    return response;
}

// The password is checked beside the loop (a memory-hard hash takes a
// while), one sign-in at a time, fairly among addresses; an address that
// failed five times in a row is turned away unheard for longer each time.
// A sign-in posted by another site's page is refused before anything is
// counted against anyone.
void WebApp::SignIn(const WebRequest& request, const Reply& reply) {
    if (CrossSitePost(request.origin, request.fetchSite, request.host)) {
        reply(CrossSiteSignIn());
        return;
    }
    const std::string client = SignInClient(request);
    const auto wait = guard_.WaitFor(client, Clock::now());
    if (wait > Clock::duration::zero()) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
        WebResponse response = SignInPage(
            429, "Too many failed sign-ins: try again in " + std::to_string(seconds) + " s.");
        response.headers.emplace_back("Retry-After", std::to_string(seconds));
        reply(response);
        return;
    }
    const std::uint64_t id = ++signIns_;
    const SignInQueue::Added added =
        signInQueue_.Add({id, ClientKeyOfText(request.client), guard_.Rank(client)});
    if (!added.queued) {
        reply(SignInPage(503, "Busy: try again in a moment."));
        return;
    }
    if (added.pushedOut) {
        const auto pushed = waitingSignIns_.extract(*added.pushedOut);
        pushed.mapped().reply(SignInPage(503, "Busy: try again in a moment."));
    }
    // The reply holds the connection: it waits on the loop, so that the
    // connection never ends on the checker's thread.
    waitingSignIns_.emplace(id, WaitingSignIn{request, reply});
    CheckNextSignIn();
}

void WebApp::CheckNextSignIn() {
    if (checking_) {
        return;
    }
    const auto next = signInQueue_.Next();
    if (!next) {
        return;
    }
    checking_ = true;
    const std::string password =
        FormField(waitingSignIns_.at(next->id).request.body, "password").value_or("");
    checker_.Post([this, alive = std::weak_ptr<bool>(alive_), password, passwords = passwords_,
                   next = *next](const std::stop_token&) {
        std::optional<WebRole> role;
        if (PasswordMatches(password, passwords.operatorHash)) {
            role = WebRole::Operator;
        } else if (!passwords.viewerHash.empty() &&
                   PasswordMatches(password, passwords.viewerHash)) {
            role = WebRole::Viewer;
        }
        boost::asio::post(io_, [this, alive, role, next] {
            if (alive.expired()) {
                return;
            }
            checking_ = false;
            signInQueue_.Done(next.client);
            auto waiting = waitingSignIns_.extract(next.id);
            SignedIn(waiting.mapped().request, role, waiting.mapped().reply);
            CheckNextSignIn();
        });
    });
}

void WebApp::SignedIn(const WebRequest& request, std::optional<WebRole> role, const Reply& reply) {
    if (!role) {
        const int failures = guard_.Failed(SignInClient(request), Clock::now());
        log_("web " + request.client + " sign-in failed (" + std::to_string(failures) +
             " in a row)");
        reply(SignInPage(401, "Wrong password."));
        return;
    }
    guard_.Succeeded(SignInClient(request));
    const WebSession& session = sessions_.Open(*role, request.client, Clock::now());
    log_("web " + request.client + " signed in" +
         (*role == WebRole::Viewer ? " to look only" : ""));
    WebResponse response = Redirect("/onair");
    response.headers.emplace_back("Set-Cookie", SessionCookie(session.id, request.tls));
    reply(response);
}

std::optional<std::uint64_t> WebApp::Watch(const WebRequest& request, EventStreams::Send send,
                                           EventStreams::Close close) {
    const WebSession* session = SessionOf(request);
    if (!session) {
        return std::nullopt;
    }
    return streams_.Add(session->id, std::move(send), std::move(close));
}

WebResponse WebApp::Page(const std::string& name, const WebSession& session) const {
    std::map<std::string, std::string> values{
        {"product", EscapeHtml(kProductFamily)},
        {"csrf", EscapeHtml(session.token)},
        {"role", session.role == WebRole::Operator ? "operator" : "viewer"},
        {"page", name},
        {"heading", EscapeHtml(kPages.at("/" + name))},
        {"content", FillTemplate(File(name + ".html"), FieldLimits())},
        {"current-" + name, "aria-current=\"page\""}};
    return {200, "text/html; charset=utf-8", FillTemplate(File("page.html"), values)};
}

WebResponse WebApp::CrossSiteSignIn() const {
    return SignInPage(403,
                      "This sign-in came from another site's page: open this page's own "
                      "address to sign in.");
}

WebResponse WebApp::SignInPage(int status, const std::string& message) const {
    const std::string shown =
        message.empty() ? "" : "<p class=\"error\" role=\"alert\">" + EscapeHtml(message) + "</p>";
    return {status, "text/html; charset=utf-8",
            FillTemplate(File("signin.html"),
                         {{"product", EscapeHtml(kProductFamily)}, {"message", shown}})};
}

WebResponse WebApp::Asset(const std::string& path) const {
    const std::string name = path.substr(std::string("/assets/").size());
    if (name.ends_with(".html") || File(name).empty()) {
        return TextResponse(404, "! no such file");
    }
    WebResponse asset{200, ContentType(name), std::string(File(name))};
    asset.cacheable = true;
    return asset;
}

// A change from a page that had not seen the field's latest value would
// undo another's change unseen: it is refused with the value that stands
// and who set it, and the page may send it again without its revision.
std::optional<std::string> WebApp::Clash(std::string_view line, std::uint64_t seen) const {
    const std::size_t equals = line.find('=');
    const StationField* field =
        equals == std::string_view::npos ? nullptr : FindField(line.substr(0, equals));
    if (!field) {
        return std::nullopt;
    }
    const FieldStamp& stamp = program_.View().Stamp(field->id);
    const std::string now = FormatFieldValue(field->type, field->get(program_.View().Station()));
    if (stamp.revision <= seen || now == TextLineToWindows1250(line.substr(equals + 1))) {
        return std::nullopt;
    }
    return std::string(field->key) + " is now \"" + now + "\", set by " + stamp.origin +
           " after this page showed it";
}

WebResponse WebApp::Fields(const WebRequest& request) {
    std::string replies;
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    if (const auto seen = RevisionNumber(request.seenRevision)) {
        std::string clashes;
        ForEachLine(request.body, [&](std::string_view line) {
            if (const auto clash = Clash(line, *seen)) {
                program_.Log().Refused(origin, LoggedCommand(std::string(line)),
                                       {RefusalCode::Stale, *clash});
                clashes += "- " + Windows1250ToUtf8(*clash) + "\n";
            }
            return true;
        });
        if (!clashes.empty()) {
            return {409, "text/plain; charset=utf-8", clashes};
        }
    }
    ForEachLine(request.body, [&](std::string_view line) {
        if (auto answer = AnswerTextCommand(program_, line, origin)) {
            replies += answer->line + (answer->why.empty() ? "" : " " + answer->why) + "\n";
        }
        return true;
    });
    WebResponse response{200, "text/plain; charset=utf-8", replies};
    response.headers.emplace_back("X-Revision", std::to_string(program_.View().Revision()));
    return response;
}

WebResponse WebApp::Options(const WebRequest& request) {
    std::string replies;
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    ForEachLine(request.body, [&](std::string_view line) {
        if (!line.empty()) {
            replies += Option(std::string(line), origin) + "\n";
        }
        return true;
    });
    return {200, "text/plain; charset=utf-8", replies};
}

// The window's program options, and the feed files by name: "PORT" is 1
// (LPT1) or 2 (LPT2), "SENDAFTERLOAD" the station's SEND.
std::string WebApp::Option(const std::string& line, const Origin& origin) {
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    const std::string shown = LoggedCommand(line);
    const auto refuse = [&](const char* reply, const std::string& why) {
        program_.Log().Refused(
            origin, shown, {*reply == '!' ? RefusalCode::Unknown : RefusalCode::Malformed, why});
        return reply + (" " + why);
    };
    std::optional<FieldAssignment> assignment;
    if (key == "AUTOSAVE" || key == "HIPRI" || key == "SENDAFTERLOAD" || key == "WRITEALL") {
        if (value != "0" && value != "1") {
            return refuse("-", key + " takes 0 or 1");
        }
        const FieldId field = key == "AUTOSAVE"        ? FieldId::AUTOSAVE
                              : key == "HIPRI"         ? FieldId::HIPRI
                              : key == "SENDAFTERLOAD" ? FieldId::SEND
                                                       : FieldId::WRITEALL;
        assignment = FieldAssignment{field, value == "1"};
    } else if (key == "PORT") {
        if (value != "1" && value != "2") {
            return refuse("-", "PORT takes 1 (LPT1) or 2 (LPT2)");
        }
        assignment =
            FieldAssignment{FieldId::PORT, value == "1" ? PortChoice::Lpt1 : PortChoice::Lpt2};
    } else if (key == "RTSF" || key == "DPSSF") {
        if (const auto problem = FeedNameProblem(value)) {
            return refuse("-", *problem);
        }
        assignment = FieldAssignment{key == "RTSF" ? FieldId::RTSF : FieldId::DPSSF, value};
    } else {
        return refuse("!", "no option " + LoggedCommand(key));
    }
    const CommandOutcome outcome =
        program_.Execute({origin, SetFields{{std::move(*assignment)}}, shown});
    return outcome.Accepted() ? "+" : "- " + outcome.Why();
}

namespace {

// The first line of a send's answer: "+ on air in bank 1 at 12:00:03", or
// "- " and why not.
WebResponse SendAnswer(const SendResult& result) {
    switch (result.status) {
        case SendResult::Status::OnAir:
            return TextResponse(200, "+ on air in bank " + std::to_string(result.bank) + " at " +
                                         LocalStamp(result.at).substr(11));
        case SendResult::Status::Failed:
            return TextResponse(502, "- " + DescribeLinkProblem(result.problem));
        case SendResult::Status::NotSent:
            break;
    }
    return TextResponse(409, "- " + result.why);
}

}  // namespace

// The answer waits for the send that carries the request to end, so that
// the page tells the operator what went on air, not that something was
// asked for.
void WebApp::Send(const WebRequest& request, const Reply& reply) {
    const auto bank = Value(request.body, "bank");
    if (bank != "1" && bank != "2") {
        reply(TextResponse(400, "- bank=1 or bank=2"));
        return;
    }
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    const CommandOutcome outcome =
        program_.Execute({origin, SendStation{SendWhen::Now, *bank == "1" ? Bank::One : Bank::Two},
                          "send to bank " + *bank});
    if (!outcome.send) {
        reply(TextResponse(409, "- " + outcome.Why()));
        return;
    }
    outcome.send->WhenDone([reply](const SendResult& result) { reply(SendAnswer(result)); });
}

WebResponse WebApp::Load(const WebRequest& request) {
    const auto name = Value(request.body, "name");
    const auto names = StationFilesIn(program_.View().Folder());
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    if (!name || std::find(names.begin(), names.end(), *name) == names.end()) {
        const std::string why = "no station file of that name in the working folder";
        program_.Log().Refused(origin, "load " + Windows1250ToUtf8(request.body.substr(0, 60)),
                               {RefusalCode::NotFound, why});
        return TextResponse(400, "! " + why);
    }
    const CommandOutcome outcome =
        program_.Execute({origin, LoadStation{program_.View().Folder() + *name}, "load " + *name});
    if (!outcome.Accepted()) {
        return TextResponse(500, "- " + outcome.Why());
    }
    return TextResponse(200, "+");
}

WebResponse WebApp::Upload(const WebRequest& request) {
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    if (const auto problem = UploadProblem(request.body)) {
        program_.Log().Refused(origin, "a station file", {RefusalCode::Malformed, *problem});
        return TextResponse(400, "! " + *problem);
    }
    const std::string folder = program_.View().Folder();
    const std::string name = UploadedStationName(folder, request.fileName);
    const CommandOutcome outcome = program_.Execute(
        {origin, UploadStation{request.body, folder + name}, "a station file as " + name});
    if (!outcome.Accepted()) {
        return TextResponse(500, "- " + outcome.Why());
    }
    return TextResponse(200, "+ " + name);
}

WebResponse WebApp::Save(const WebRequest& request) {
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    const CommandOutcome outcome = program_.Execute({origin, SaveStation{}, "save"});
    if (!outcome.Accepted()) {
        return TextResponse(500, "- " + outcome.Why());
    }
    return TextResponse(200, "+");
}

// A new name only: a file of that name that is not the station's own is
// never written over from the page.
WebResponse WebApp::SaveAs(const WebRequest& request) {
    const Origin origin{Origin::Kind::WebSession, "web " + request.client};
    const auto typed = Value(request.body, "name");
    const auto name = typed ? SaveAsName(*typed) : std::nullopt;
    const std::string shown = "save as " + LoggedCommand(typed.value_or(""));
    const std::string path = program_.View().Folder() + name.value_or("");
    std::string refusal;
    if (!name) {
        refusal = "name=NAME: letters, digits, space, . - _";
    } else if (path != program_.View().Document().Name() && FileThere(path)) {
        refusal = *name + " is there already: choose another name";
    }
    if (!refusal.empty()) {
        program_.Log().Refused(origin, shown,
                               {name ? RefusalCode::Exists : RefusalCode::Malformed, refusal});
        return TextResponse(409, "- " + refusal);
    }
    const CommandOutcome outcome = program_.Execute({origin, SaveStationAs{path}, shown});
    if (!outcome.Accepted()) {
        return TextResponse(500, "- " + outcome.Why());
    }
    return TextResponse(200, "+ " + *name);
}

}  // namespace vaxo
