// The web page's routing: which requests need a session, which a token and
// an operator, and where each goes.
#include "web/web_app.h"

#include "net/asio_addresses.h"
#include "platform/free_memory.h"
#include "web/api_json.h"
#include "web/html_text.h"
#include "web/password_hash.h"
#include "web/request_checks.h"
#include "web/web_paths.h"

namespace vaxo {
namespace {

using Clock = std::chrono::steady_clock;

WebResponse SignInFirst(const std::string& path) {
    return IsApi(path) ? ErrorResponse(401, "signed_out", "sign in first") : Redirect("/signin");
}

// The API answers in JSON, the pages' forms in words.
WebResponse Refused(const std::string& path, int status, const std::string& code,
                    const std::string& message) {
    return IsApi(path) ? ErrorResponse(status, code, message)
                       : TextResponse(status, "! " + message);
}

}  // namespace

std::string SessionCookie(const std::string& value, bool tls, bool clear) {
    return std::string(kSessionCookie) + "=" + value + "; Path=/; HttpOnly; SameSite=Strict" +
           (tls ? "; Secure" : "") + (clear ? "; Max-Age=0" : "");
}

std::string SignInClient(const std::string& client) {
    return DescribeClientKey(ClientKeyOfText(client));
}

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

const WebSession* WebApp::SessionOf(const WebRequest& request) {
    const std::string id = CookieValue(request.cookie, kSessionCookie);
    return id.empty() ? nullptr : sessions_.Find(id, Clock::now());
}

Screening WebApp::Screen(const WebRequest& head) const {
    if (head.method == "GET") {
        return {};
    }
    if (head.method != "POST") {
        return {Refused(head.path, 405, "method", "GET or POST")};
    }
    if (head.path == "/signin") {
        if (CrossSitePost(head.origin, head.fetchSite, head.host)) {
            return {CrossSiteSignIn()};
        }
        return {std::nullopt, Screening::Body::SignInForm};
    }
    const std::string id = CookieValue(head.cookie, kSessionCookie);
    if (id.empty() || !sessions_.Peek(id, Clock::now())) {
        return {SignInFirst(head.path)};
    }
    return {std::nullopt, Screening::Body::Any};
}

void WebApp::Unwatch(std::uint64_t id) {
    const std::string session = streams_.Remove(id);
    if (!session.empty()) {
        sessions_.Touch(session, Clock::now());  // its idle time begins now
    }
}

std::optional<std::uint64_t> WebApp::Watch(const WebRequest& request, EventStreams::Send send,
                                           EventStreams::Close close) {
    const WebSession* session = SessionOf(request);
    if (!session) {
        return std::nullopt;
    }
    return streams_.Add(session->id, std::move(send), std::move(close));
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
        reply(SignInFirst(request.path));
        return;
    }
    if (request.method == "GET") {
        reply(Get(request, *session));
    } else if (request.method == "POST") {
        Post(request, *session, reply);
    } else {
        reply(Refused(request.path, 405, "method", "GET or POST"));
    }
}

void WebApp::Post(const WebRequest& request, const WebSession& session, const Reply& reply) {
    const std::string token =
        request.csrf.empty() ? FormField(request.body, "csrf").value_or("") : request.csrf;
    if (!SameSecret(token, session.token)) {
        reply(Refused(request.path, 403, "token",
                      "the page's token is missing or wrong: reload the page"));
    } else if (request.path == "/signout") {
        reply(SignOut(request, session));
    } else if (session.role != WebRole::Operator) {
        reply(Refused(request.path, 403, "viewer", "signed in to look only"));
    } else if (request.path == "/api/send") {
        Send(request, reply);
    } else {
        reply(Call(request));
    }
}

}  // namespace vaxo
