#include "net/idle_connections.h"

#include <utility>

namespace vaxo {

std::uint64_t IdleConnections::Add(const ClientKey& client, std::function<void()> close) {
    idle_.emplace(++next_, Idle{client, std::move(close)});
    return next_;
}

void IdleConnections::Remove(std::uint64_t id) {
    idle_.erase(id);
}

std::optional<ClientKey> IdleConnections::MakeRoomFor(const ClientKey& newcomer,
                                                      const Admission& admission,
                                                      const Standing& standing) {
    const auto weight = [&](const ClientKey& client) {
        return std::pair(standing(client), admission.ConnectionsOf(client));
    };
    auto chosen = idle_.end();
    // Weighed as if let in, so that two of the same weight never swap.
    auto chosenWeight = weight(newcomer);
    ++chosenWeight.second;
    for (auto it = idle_.begin(); it != idle_.end(); ++it) {
        const auto itsWeight = weight(it->second.client);
        if (itsWeight > chosenWeight) {
            chosen = it;
            chosenWeight = itsWeight;
        }
    }
    if (chosen == idle_.end()) {
        return std::nullopt;
    }
    // The close may come back to Remove: take it out first.
    const std::function<void()> close = std::move(chosen->second.close);
    const ClientKey client = chosen->second.client;
    idle_.erase(chosen);
    close();
    return client;
}

}  // namespace vaxo
