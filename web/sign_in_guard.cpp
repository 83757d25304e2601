#include "web/sign_in_guard.h"

#include <algorithm>

namespace vaxo {
namespace {

constexpr auto kForgiven = std::chrono::hours(1);
constexpr auto kLongestWait = std::chrono::minutes(5);
constexpr std::size_t kAddressLimit = 4096;

}  // namespace

SignInGuard::Clock::duration SignInGuard::WaitFor(const std::string& address,
                                                  Clock::time_point now) {
    const auto found = failures_.find(address);
    if (found == failures_.end() || !found->second.blockedUntil ||
        *found->second.blockedUntil <= now) {
        return Clock::duration::zero();
    }
    return *found->second.blockedUntil - now;
}

void SignInGuard::Succeeded(const std::string& address) {
    failures_.erase(address);
    turnedAway_.erase(address);
    succeeded_[address] = ++successes_;
    if (succeeded_.size() > kAddressLimit) {
        succeeded_.erase(
            std::min_element(succeeded_.begin(), succeeded_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; }));
    }
}

int SignInGuard::Rank(const std::string& address) const {
    const auto turned = turnedAway_.find(address);
    const int waited =
        turned == turnedAway_.end() ? 0 : std::min(turned->second.count, kFailureWeight - 1);
    const auto failed = failures_.find(address);
    if (failed != failures_.end()) {
        return std::min(failed->second.count, 1'000'000) * kFailureWeight + waited;
    }
    return succeeded_.contains(address) ? -1 : waited;
}

void SignInGuard::TurnedAway(const std::string& address, Clock::time_point now) {
    std::erase_if(turnedAway_,
                  [&](const auto& entry) { return now - entry.second.last > kForgiven; });
    while (turnedAway_.size() >= kAddressLimit && !turnedAway_.contains(address)) {
        turnedAway_.erase(std::min_element(
            turnedAway_.begin(), turnedAway_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
    TurnedAways& turned = turnedAway_[address];
    turned.count = std::min(turned.count + 1, kFailureWeight);
    turned.last = now;
}

int SignInGuard::Failed(const std::string& address, Clock::time_point now) {
    Forget(now);
    turnedAway_.erase(address);
    Failures& failures = failures_[address];
    ++failures.count;
    failures.last = now;
    if (failures.count >= kFreeAttempts) {
        const int doublings = std::min(failures.count - kFreeAttempts, 9);
        const Clock::duration wait =
            std::min<Clock::duration>(std::chrono::seconds(1 << doublings), kLongestWait);
        failures.blockedUntil = now + wait;
    }
    return failures.count;
}

// Addresses that have not failed for an hour; beyond the limit, the oldest.
void SignInGuard::Forget(Clock::time_point now) {
    std::erase_if(failures_,
                  [&](const auto& entry) { return now - entry.second.last > kForgiven; });
    while (failures_.size() >= kAddressLimit) {
        failures_.erase(std::min_element(
            failures_.begin(), failures_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
}

}  // namespace vaxo
