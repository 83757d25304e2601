#include "web/sign_in_queue.h"

#include <algorithm>

namespace vaxo {

bool SignInQueue::Holds(const ClientKey& client) const {
    return checking_ == client ||
           std::any_of(waiting_.begin(), waiting_.end(),
                       [&](const Entry& entry) { return entry.client == client; });
}

SignInQueue::Added SignInQueue::Add(const Entry& entry) {
    if (Holds(entry.client)) {
        // One that presses while it waits waits behind as it ranks now.
        for (Entry& waiting : waiting_) {
            if (waiting.client == entry.client) {
                waiting.rank = std::max(waiting.rank, entry.rank);
            }
        }
        return {};
    }
    Added added{true, std::nullopt};
    if (waiting_.size() >= limit_) {
        // The one of the highest rank, the newest of those.
        auto worst = waiting_.end();
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if (worst == waiting_.end() || it->rank >= worst->rank) {
                worst = it;
            }
        }
        if (worst == waiting_.end() || worst->rank <= entry.rank) {
            return {};
        }
        added.pushedOut = worst->id;
        waiting_.erase(worst);
    }
    waiting_.push_back(entry);
    return added;
}

std::optional<SignInQueue::Entry> SignInQueue::Next() {
    if (waiting_.empty()) {
        return std::nullopt;
    }
    const auto first =
        std::min_element(waiting_.begin(), waiting_.end(),
                         [](const Entry& a, const Entry& b) { return a.rank < b.rank; });
    const Entry next = *first;
    waiting_.erase(first);
    checking_ = next.client;
    return next;
}

void SignInQueue::Done(const ClientKey& client) {
    if (checking_ == client) {
        checking_.reset();
    }
}

}  // namespace vaxo
