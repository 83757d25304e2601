#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vaxo {

// Failed sign-ins per client address: after five in a row, each further
// attempt waits longer (1 s, 2 s, 4 s ... up to 5 minutes) before it is
// taken. A success, or an hour without a failure, forgives.
class SignInGuard {
  public:
    using Clock = std::chrono::steady_clock;

    // How long the address must wait before an attempt is taken; zero: now.
    Clock::duration WaitFor(const std::string& address, Clock::time_point now);
    // Counts a failure; the failures in a row from that address.
    int Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address);
    // A sign-in of the address was turned away unchecked (the checks were
    // busy): until its next check it stands behind one that was not.
    void TurnedAway(const std::string& address, Clock::time_point now);
    // For the order of password checks, and the address's standing: -1 for
    // an address that signed in before and has not failed since, however
    // busy the checks were; else its
    // failures in a row, each outweighing any number of sign-ins turned
    // away since its last check, which come next. So an address never seen
    // ranks with the best of those that have not signed in, and one that
    // guesses falls behind it at its first failure, or at its first
    // sign-in turned away.
    int Rank(const std::string& address) const;

    static constexpr int kFreeAttempts = 5;
    static constexpr int kFailureWeight = 1000;

  private:
    struct Failures {
        int count = 0;
        Clock::time_point last;
        std::optional<Clock::time_point> blockedUntil;
    };
    void Forget(Clock::time_point now);

    std::map<std::string, Failures> failures_;
    struct TurnedAways {
        int count = 0;
        Clock::time_point last;
    };
    std::map<std::string, TurnedAways> turnedAway_;
    std::map<std::string, std::uint64_t> succeeded_;  // when, in order of successes
    std::uint64_t successes_ = 0;
};

}  // namespace vaxo
