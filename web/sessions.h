#pragma once

#include <chrono>
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

// The signed-in browsers. A session ends when signed out or after
// `idle` without a request; at most `limit` are kept (the oldest goes).
class SessionStore {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SessionStore(Clock::duration idle = std::chrono::minutes(30), std::size_t limit = 256)
        : idle_(idle), limit_(limit) {}

    const WebSession& Open(WebRole role, const std::string& client, Clock::time_point now);
    // The session of a cookie's value, used now; nothing when there is none
    // or it has expired.
    const WebSession* Find(const std::string& id, Clock::time_point now);
    void Close(const std::string& id) { sessions_.erase(id); }
    std::size_t Count() const { return sessions_.size(); }

  private:
    void Forget(Clock::time_point now);

    Clock::duration idle_;
    std::size_t limit_;
    std::map<std::string, WebSession> sessions_;
};

}  // namespace vaxo
