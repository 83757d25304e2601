#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>

#include "net/admission.h"

namespace vaxo {

// The sign-ins waiting for their password check, which takes one at a time
// (a memory-hard hash). Fair to every address, whoever guesses: one sign-in
// of an address (an IPv6 /64) waits at a time (one that presses while it
// waits takes its new rank); the lowest rank goes first (an address that
// signed in before, then the fewest failures in a row, then the fewest
// sign-ins turned away since its last check: see SignInGuard::Rank); a
// full queue takes a newcomer only in place of one of a higher rank. So
// guessers from many addresses fill it with each other, and the operator,
// who has not failed, is always taken and checked after at most the
// sign-ins of others who have not failed either.
class SignInQueue {
  public:
    struct Entry {
        std::uint64_t id = 0;
        ClientKey client{};
        int rank = 0;  // -1: signed in before; else the failures in a row
    };
    struct Added {
        bool queued = false;
        std::optional<std::uint64_t> pushedOut;  // the sign-in that gave way to it
    };

    explicit SignInQueue(std::size_t limit = kLimit) : limit_(limit) {}

    Added Add(const Entry& entry);
    // The next to check, taken out of the queue.
    std::optional<Entry> Next();
    // The check of the client's sign-in is over: another may wait.
    void Done(const ClientKey& client);
    bool Holds(const ClientKey& client) const;
    std::size_t Waiting() const { return waiting_.size(); }

    static constexpr std::size_t kLimit = 16;

  private:
    std::size_t limit_;
    std::list<Entry> waiting_;  // in order of arrival
    std::optional<ClientKey> checking_;
};

}  // namespace vaxo
