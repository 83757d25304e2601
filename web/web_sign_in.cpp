// Signing in and out: the password checked beside the loop, fairly among
// addresses, an address that keeps failing turned away for longer each time.
#include "base/product.h"
#include "web/embedded_files.h"
#include "web/html_text.h"
#include "web/password_hash.h"
#include "web/request_checks.h"
#include "web/web_app.h"
#include "web/web_paths.h"

namespace vaxo {
namespace {

using Clock = std::chrono::steady_clock;

std::string_view SignInFile(std::string_view name) {
    const auto found = EmbeddedFiles().find(name);
    return found == EmbeddedFiles().end() ? std::string_view() : found->second;
}

}  // namespace

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
    const std::string client = SignInClient(request.client);
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
        guard_.TurnedAway(client, Clock::now());
        reply(SignInPage(503, "Busy: try again in a moment."));
        return;
    }
    if (added.pushedOut) {
        const auto pushed = waitingSignIns_.extract(*added.pushedOut);
        guard_.TurnedAway(SignInClient(pushed.mapped().request.client), Clock::now());
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
        const int failures = guard_.Failed(SignInClient(request.client), Clock::now());
        log_("web " + request.client + " sign-in failed (" + std::to_string(failures) +
             " in a row)");
        reply(SignInPage(401, "Wrong password."));
        return;
    }
    guard_.Succeeded(SignInClient(request.client));
    const WebSession& session = sessions_.Open(*role, request.client, Clock::now());
    log_("web " + request.client + " signed in" +
         (*role == WebRole::Viewer ? " to look only" : ""));
    WebResponse response = Redirect("/onair");
    response.headers.emplace_back("Set-Cookie", SessionCookie(session.id, request.tls));
    reply(response);
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
            FillTemplate(SignInFile("signin.html"),
                         {{"product", EscapeHtml(kProductFamily)}, {"message", shown}})};
}

}  // namespace vaxo
