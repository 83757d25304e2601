#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "net/admission.h"

namespace vaxo {

// A listener's connections that have not yet shown they work: no request
// (or, for the line protocols, no valid command) yet, or still sending a
// sign-in form. When the listener is full, a newcomer takes the place of
// the oldest of these from the client that stands lowest (the worst
// standing, then the most places held), if that client would still stand
// lower than the newcomer's once it is in; a connection that works is never
// closed for it. On the
// listener's thread.
class Strangers {
  public:
    std::uint64_t Add(const ClientKey& client, std::function<void()> close);
    void Remove(std::uint64_t id);
    // A client's standing: the higher, the less trusted (0 when nothing is
    // known of it).
    using Standing = std::function<int(const ClientKey&)>;
    // Closes one for a newcomer from `newcomer`; false when none may go.
    bool MakeRoomFor(const ClientKey& newcomer, const Admission& admission,
                     const Standing& standing);
    std::size_t Count() const { return strangers_.size(); }

  private:
    struct Stranger {
        ClientKey client{};
        std::function<void()> close;
    };
    std::uint64_t next_ = 0;
    std::map<std::uint64_t, Stranger> strangers_;  // oldest first
};

}  // namespace vaxo
