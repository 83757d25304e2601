#pragma once

#include <chrono>
#include <map>

#include "net/admission.h"

namespace vaxo {

// How a listener's clients have behaved lately, for who gives way when it
// is full: each client's refusals (connections turned away, places taken
// back from it), forgiven after kForgiven without one. A client that keeps
// knocking at a full listener falls behind every client that does not. At
// most kClients are remembered; beyond, the one forgiven soonest goes. On
// the listener's thread.
class ClientStanding {
  public:
    using Clock = std::chrono::steady_clock;

    void Refused(const ClientKey& client, Clock::time_point now);
    // The higher, the less trusted; 0 for a client with no recent refusal.
    int Of(const ClientKey& client, Clock::time_point now) const;

    static constexpr auto kForgiven = std::chrono::minutes(10);
    static constexpr std::size_t kClients = 4096;

  private:
    struct Refusals {
        int count = 0;
        Clock::time_point last;
    };
    std::map<ClientKey, Refusals> clients_;
};

}  // namespace vaxo
