#include "net/client_standing.h"

#include <algorithm>
#include <limits>

namespace vaxo {

void ClientStanding::Refused(const ClientKey& client, Clock::time_point now) {
    Refusals& refusals = clients_[client];
    if (refusals.count > 0 && now - refusals.last > kForgiven) {
        refusals.count = 0;
    }
    refusals.count = std::min(refusals.count + 1, std::numeric_limits<int>::max() / 2);
    refusals.last = now;
    if (clients_.size() > kClients) {
        clients_.erase(std::min_element(
            clients_.begin(), clients_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
}

int ClientStanding::Of(const ClientKey& client, Clock::time_point now) const {
    const auto found = clients_.find(client);
    if (found == clients_.end() || now - found->second.last > kForgiven) {
        return 0;
    }
    return found->second.count;
}

}  // namespace vaxo
