#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vaxo {

// Who a client is, for its fair share: an IPv4 address, or the /64 network
// of an IPv6 address (one machine may hold a whole /64).
using ClientKey = std::array<std::uint8_t, 16>;
ClientKey ClientKeyOf(const std::array<std::uint8_t, 16>& address);
// "192.0.2.7", "2001:db8:1:2::/64".
std::string DescribeClientKey(const ClientKey& key);

// The connections of one listener: at most `perListener` at once, and at
// most `perClient` of them from one client, so that one client can take
// neither the listener nor another client's share. A newcomer beyond either
// limit is refused; a connection held is never taken back for it. On one
// thread (the listener's).
class Admission {
  public:
    Admission(int perListener, int perClient);

    // A connection's place; it is given back when the last copy ends.
    class Place {
      public:
        Place() = default;

      private:
        friend class Admission;
        struct Held;
        explicit Place(std::shared_ptr<Held> held) : held_(std::move(held)) {}
        std::shared_ptr<Held> held_;
    };
    enum class Refusal { ListenerFull, ClientFull };
    struct Verdict {
        std::optional<Place> place;
        Refusal refusal = Refusal::ListenerFull;  // when there is no place
    };
    Verdict Admit(const ClientKey& client);

    int Connections() const { return state_->total; }
    int ConnectionsOf(const ClientKey& client) const;
    int PerClient() const { return perClient_; }
    int PerListener() const { return perListener_; }

  private:
    struct State {
        int total = 0;
        std::map<ClientKey, int> byClient;
    };
    int perListener_;
    int perClient_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vaxo
