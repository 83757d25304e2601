#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/control_program.h"
#include "app/recent_log.h"
#include "base/serial_worker.h"
#include "net/listener_setting.h"
#include "web/event_streams.h"
#include "web/http_types.h"
#include "web/password_file.h"
#include "web/sessions.h"
#include "web/sign_in_guard.h"
#include "web/sign_in_queue.h"
#include "web/web_state.h"

namespace vaxo {

// The fields the page may set: all but Exit after Send, the window's
// Always on top and the settings of the memory's wear.
const FieldSet& FieldsOfThePage();

// The web page and its API, on the program's loop: who is signed in, what
// each page and call answers, the pages that watch. The transport hands
// each request in and writes what comes back.
class WebApp {
  public:
    using Reply = std::function<void(WebResponse)>;
    using Log = std::function<void(const std::string& line)>;

    WebApp(boost::asio::io_context& io, ControlProgram& program, WebPasswords passwords, Log log);
    WebApp(const WebApp&) = delete;
    WebApp& operator=(const WebApp&) = delete;
    ~WebApp();

    // The network listeners to show, from the network front end.
    void ShowListeners(std::function<std::vector<ListenerStatus>()> listeners) {
        listeners_ = std::move(listeners);
    }
    // The program's recent log lines, for the Log page; none without it.
    void ShowLog(const RecentLog* log) { recentLog_ = log; }
    // What to do with a request whose head alone has been read: no body is
    // read for a call that is not signed in, nor more than a form's for a
    // sign-in.
    Screening Screen(const WebRequest& head) const;
    void Handle(const WebRequest& request, const Reply& reply);
    // How far a client is to be trusted before it has said anything: -1 for
    // an address that signed in before, else its failed sign-ins in a row.
    int Standing(const ClientKey& client) const { return guard_.Rank(DescribeClientKey(client)); }
    // After a response with eventStream: the page watches until it goes.
    std::optional<std::uint64_t> Watch(const WebRequest& request, EventStreams::Send send,
                                       EventStreams::Close close);
    void Unwatch(std::uint64_t id);
    std::size_t Watching() const { return streams_.Count(); }
    // Stopping: the watching pages are let go at once.
    void EndStreams() { streams_.CloseAll(); }

  private:
    // Routing (web_app.cpp).
    const WebSession* SessionOf(const WebRequest& request);
    void Post(const WebRequest& request, const WebSession& session, const Reply& reply);
    void Heard(const ProgramEvent& event);

    // Sign-in and sign-out (web_sign_in.cpp).
    void SignIn(const WebRequest& request, const Reply& reply);
    void CheckNextSignIn();
    void SignedIn(const WebRequest& request, std::optional<WebRole> role, const Reply& reply);
    WebResponse SignOut(const WebRequest& request, const WebSession& session);
    WebResponse SignInPage(int status, const std::string& message) const;
    WebResponse CrossSiteSignIn() const;

    // The pages and their files (web_pages.cpp).
    WebResponse Get(const WebRequest& request, const WebSession& session);
    WebResponse Page(const std::string& name, const WebSession& session) const;
    WebResponse Asset(const std::string& path) const;

    // The API (web_api.cpp): what the pages read, and the calls that change
    // something, each mapped onto one of the program's commands.
    std::optional<WebResponse> Read(const std::string& path) const;
    std::string State() const;
    WebResponse Call(const WebRequest& request);
    WebResponse Fields(const WebRequest& request);
    std::optional<WebResponse> Clash(const std::vector<FieldAssignment>& values, std::uint64_t seen,
                                     const Origin& origin, const std::string& shown);
    void Send(const WebRequest& request, const Reply& reply);
    WebResponse Load(const WebRequest& request);
    WebResponse Upload(const WebRequest& request);
    WebResponse Save(const WebRequest& request);
    WebResponse SaveAs(const WebRequest& request);
    WebResponse Acknowledge(const WebRequest& request);
    Origin OriginOf(const WebRequest& request) const;

    boost::asio::io_context& io_;
    ControlProgram& program_;
    WebPasswords passwords_;
    Log log_;
    SessionStore sessions_;
    SignInGuard guard_;
    SignInQueue signInQueue_;
    EventStreams streams_;
    WebStateExtras extras_;
    std::function<std::vector<ListenerStatus>()> listeners_;
    const RecentLog* recentLog_ = nullptr;
    std::uint64_t signIns_ = 0;
    struct WaitingSignIn {
        WebRequest request;
        Reply reply;
    };
    std::map<std::uint64_t, WaitingSignIn> waitingSignIns_;  // queued, or being checked
    bool checking_ = false;
    Subscription listening_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    SerialWorker checker_;  // the password checks, away from the loop
};

}  // namespace vaxo
