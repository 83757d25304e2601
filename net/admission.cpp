#include "net/admission.h"

#include <boost/asio/ip/address_v6.hpp>

namespace vaxo {
namespace {

bool IsV4Mapped(const std::array<std::uint8_t, 16>& address) {
    for (std::size_t i = 0; i < 10; ++i) {
        if (address[i] != 0) {
            return false;
        }
    }
    return address[10] == 0xFF && address[11] == 0xFF;
}

}  // namespace

ClientKey ClientKeyOf(const std::array<std::uint8_t, 16>& address) {
    ClientKey key = address;
    if (!IsV4Mapped(address)) {
        std::fill(key.begin() + 8, key.end(), 0);
    }
    return key;
}

std::string DescribeClientKey(const ClientKey& key) {
    const boost::asio::ip::address_v6 address(key);
    if (address.is_v4_mapped()) {
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address).to_string();
    }
    return address.to_string() + "/64";
}

struct Admission::Place::Held {
    std::weak_ptr<State> state;
    ClientKey client;

    Held(std::weak_ptr<State> s, const ClientKey& c) : state(std::move(s)), client(c) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (const auto shared = state.lock()) {
            --shared->total;
            if (--shared->byClient[client] <= 0) {
                shared->byClient.erase(client);
            }
        }
    }
};

Admission::Admission(int perListener, int perClient)
    : perListener_(perListener), perClient_(perClient) {}

Admission::Verdict Admission::Admit(const ClientKey& client) {
    if (state_->total >= perListener_) {
        return {std::nullopt, Refusal::ListenerFull};
    }
    if (ConnectionsOf(client) >= perClient_) {
        return {std::nullopt, Refusal::ClientFull};
    }
    ++state_->total;
    ++state_->byClient[client];
    return {Place(std::make_shared<Place::Held>(state_, client)), Refusal::ListenerFull};
}

int Admission::ConnectionsOf(const ClientKey& client) const {
    const auto found = state_->byClient.find(client);
    return found == state_->byClient.end() ? 0 : found->second;
}

}  // namespace vaxo
