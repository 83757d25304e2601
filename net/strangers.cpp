#include "net/strangers.h"

#include <utility>

namespace vaxo {

std::uint64_t Strangers::Add(const ClientKey& client, std::function<void()> close) {
    strangers_.emplace(++next_, Stranger{client, std::move(close)});
    return next_;
}

void Strangers::Remove(std::uint64_t id) {
    strangers_.erase(id);
}

bool Strangers::MakeRoomFor(const ClientKey& newcomer, const Admission& admission,
                            const Standing& standing) {
    const auto weight = [&](const ClientKey& client) {
        return std::pair(standing(client), admission.ConnectionsOf(client));
    };
    auto chosen = strangers_.end();
    // Weighed as if let in, so that two of the same weight never swap.
    auto chosenWeight = weight(newcomer);
    ++chosenWeight.second;
    for (auto it = strangers_.begin(); it != strangers_.end(); ++it) {
        const auto itsWeight = weight(it->second.client);
        if (itsWeight > chosenWeight) {
            chosen = it;
            chosenWeight = itsWeight;
        }
    }
    if (chosen == strangers_.end()) {
        return false;
    }
    // The close may come back to Remove: take it out first.
    const std::function<void()> close = std::move(chosen->second.close);
    strangers_.erase(chosen);
    close();
    return true;
}

}  // namespace vaxo
