#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "net/admission.h"

namespace vaxo {

// A listener's connections that are not exchanging anything now: no
// request or command in flight (none yet, or waiting for the next), or
// answers their client does not read. When the listener is full, a
// newcomer takes the place of one of these: of the client that stands
// lowest (the worst standing, then the most places held), the one idle
// longest; and only when that client would still stand lower than the
// newcomer once it is in, so that two of the same weight never swap. A
// connection with a request in flight is never closed for it. On the
// listener's thread.
class IdleConnections {
  public:
    // Idle from now on; `close` takes its place back.
    std::uint64_t Add(const ClientKey& client, std::function<void()> close);
    void Remove(std::uint64_t id);
    // A client's standing: the higher, the less trusted (0 when nothing is
    // known of it).
    using Standing = std::function<int(const ClientKey&)>;
    // Closes one for a newcomer from `newcomer`: the client it was taken
    // from; none when none may go.
    std::optional<ClientKey> MakeRoomFor(const ClientKey& newcomer, const Admission& admission,
                                         const Standing& standing);
    std::size_t Count() const { return idle_.size(); }

  private:
    struct Idle {
        ClientKey client{};
        std::function<void()> close;
    };
    std::uint64_t next_ = 0;
    std::map<std::uint64_t, Idle> idle_;  // idle longest first
};

}  // namespace vaxo
