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
    // For the order of password checks: -1 for an address that signed in
    // before and has not failed since, else its failures in a row.
    int Rank(const std::string& address) const;

    static constexpr int kFreeAttempts = 5;

  private:
    struct Failures {
        int count = 0;
        Clock::time_point last;
        std::optional<Clock::time_point> blockedUntil;
    };
    void Forget(Clock::time_point now);

    std::map<std::string, Failures> failures_;
    std::map<std::string, std::uint64_t> succeeded_;  // when, in order of successes
    std::uint64_t successes_ = 0;
};

}  // namespace vaxo
