#include "web/sessions.h"

#include <algorithm>

#include "web/password_hash.h"

namespace vaxo {

bool SessionStore::Expired(const WebSession& session, Clock::time_point now) const {
    return now - session.lastUsed > idle_ && !(watched_ && watched_(session.id));
}

void SessionStore::End(std::map<std::string, WebSession>::iterator session) {
    const std::string id = session->first;
    sessions_.erase(session);
    if (ended_) {
        ended_(id);
    }
}

void SessionStore::Close(const std::string& id) {
    const auto session = sessions_.find(id);
    if (session != sessions_.end()) {
        End(session);
    }
}

const WebSession& SessionStore::Open(WebRole role, const std::string& client,
                                     Clock::time_point now) {
    Forget(now);
    const auto ofRole = [role](const auto& entry) { return entry.second.role == role; };
    if (static_cast<std::size_t>(std::count_if(sessions_.begin(), sessions_.end(), ofRole)) >=
        perRole_) {
        auto oldest = sessions_.end();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
            if (ofRole(*it) &&
                (oldest == sessions_.end() || it->second.lastUsed < oldest->second.lastUsed)) {
                oldest = it;
            }
        }
        End(oldest);
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
    if (Expired(found->second, now)) {
        End(found);
        return nullptr;
    }
    found->second.lastUsed = now;
    return &found->second;
}

const WebSession* SessionStore::Peek(const std::string& id, Clock::time_point now) const {
    const auto found = sessions_.find(id);
    return found == sessions_.end() || Expired(found->second, now) ? nullptr : &found->second;
}

void SessionStore::Touch(const std::string& id, Clock::time_point now) {
    const auto found = sessions_.find(id);
    if (found != sessions_.end()) {
        found->second.lastUsed = now;
    }
}

void SessionStore::Forget(Clock::time_point now) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const auto next = std::next(it);
        if (Expired(it->second, now)) {
            End(it);
        }
        it = next;
    }
}

}  // namespace vaxo
