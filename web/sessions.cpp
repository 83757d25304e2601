#include "web/sessions.h"

#include <algorithm>

#include "web/password_hash.h"

namespace vaxo {

const WebSession& SessionStore::Open(WebRole role, const std::string& client,
                                     Clock::time_point now) {
    Forget(now);
    if (sessions_.size() >= limit_) {
        const auto oldest = std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const auto& a, const auto& b) { return a.second.lastUsed < b.second.lastUsed; });
        sessions_.erase(oldest);
    }
    WebSession session{RandomToken(), RandomToken(), role, client, now};
    const std::string id = session.id;
    return sessions_.emplace(id, std::move(session)).first->second;
}

const WebSession* SessionStore::Find(const std::string& id, Clock::time_point now) {
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) {
        return nullptr;
    }
    if (now - found->second.lastUsed > idle_) {
        sessions_.erase(found);
        return nullptr;
    }
    found->second.lastUsed = now;
    return &found->second;
}

void SessionStore::Forget(Clock::time_point now) {
    std::erase_if(sessions_,
                  [&](const auto& entry) { return now - entry.second.lastUsed > idle_; });
}

}  // namespace vaxo
