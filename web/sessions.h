#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace vaxo {

enum class WebRole { Viewer, Operator };

struct WebSession {
    std::string id;     // the cookie's value
    std::string token;  // what every change carries in X-CSRF-Token
    WebRole role = WebRole::Viewer;
    std::string client;  // the address it signed in from
    std::chrono::steady_clock::time_point lastUsed;
};

// The signed-in browsers. A session ends when signed out, or after `idle`
// without a request while no page of it watches; at most `perRole` of
// each role are kept, the oldest of a role giving way to a new one of the
// same role (so that signing in to look, however often, never ends an
// operator's session). `ended` hears of each session that ends, however.
class SessionStore {
  public:
    using Clock = std::chrono::steady_clock;
    using Ended = std::function<void(const std::string& id)>;
    using Watched = std::function<bool(const std::string& id)>;

    explicit SessionStore(Clock::duration idle = std::chrono::minutes(30),
                          std::size_t perRole = 128)
        : idle_(idle), perRole_(perRole) {}

    void OnEnd(Ended ended) { ended_ = std::move(ended); }
    void WatchedBy(Watched watched) { watched_ = std::move(watched); }

    const WebSession& Open(WebRole role, const std::string& client, Clock::time_point now);
    // The session of a cookie's value, used now; nothing when there is none
    // or it has expired.
    const WebSession* Find(const std::string& id, Clock::time_point now);
    // The session of a cookie's value, as it is (a request's head is
    // looked at before it counts as use).
    const WebSession* Peek(const std::string& id, Clock::time_point now) const;
    void Touch(const std::string& id, Clock::time_point now);
    void Close(const std::string& id);
    std::size_t Count() const { return sessions_.size(); }

  private:
    bool Expired(const WebSession& session, Clock::time_point now) const;
    void Forget(Clock::time_point now);
    void End(std::map<std::string, WebSession>::iterator session);

    Clock::duration idle_;
    std::size_t perRole_;
    std::map<std::string, WebSession> sessions_;
    Ended ended_;
    Watched watched_;
};

}  // namespace vaxo
