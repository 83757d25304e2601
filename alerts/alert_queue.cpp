#include "alerts/alert_queue.h"

#include <algorithm>

namespace vaxo {

std::chrono::seconds RetryDelay(int attempts) {
    const int doublings = std::clamp(attempts - 1, 0, 6);
    return std::min(std::chrono::seconds(10 << doublings), std::chrono::seconds(600));
}

std::size_t AlertQueue::Add(const Alert& alert, MonotonicTime now) {
    std::size_t dropped = 0;
    for (std::size_t target = 0; target < waiting_.size(); ++target) {
        auto& queue = waiting_[target];
        // The head may be in flight; the oldest behind it gives way.
        const std::size_t keep = inFlight_[target] ? 1 : 0;
        while (queue.size() >= kLimit + keep && queue.size() > keep) {
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(keep));
            ++dropped;
        }
        queue.push_back({alert, target, 0, now, now});
    }
    return dropped;
}

std::optional<Delivery> AlertQueue::TakeDue(MonotonicTime now) {
    std::optional<std::size_t> soonest;
    for (std::size_t target = 0; target < waiting_.size(); ++target) {
        if (inFlight_[target] || waiting_[target].empty() || waiting_[target].front().due > now) {
            continue;
        }
        if (!soonest || waiting_[target].front().due < waiting_[*soonest].front().due) {
            soonest = target;
        }
    }
    if (!soonest) {
        return std::nullopt;
    }
    inFlight_[*soonest] = true;
    return waiting_[*soonest].front();
}

void AlertQueue::Delivered(const Delivery& delivery) {
    inFlight_[delivery.target] = false;
    waiting_[delivery.target].pop_front();
}

bool AlertQueue::Failed(Delivery delivery, bool permanent, MonotonicTime now) {
    inFlight_[delivery.target] = false;
    auto& queue = waiting_[delivery.target];
    ++delivery.attempts;
    const MonotonicTime next = now + RetryDelay(delivery.attempts);
    if (permanent || next - delivery.first > kGiveUpAfter) {
        queue.pop_front();
        return false;
    }
    delivery.due = next;
    queue.front() = std::move(delivery);
    return true;
}

std::optional<MonotonicTime> AlertQueue::NextDue() const {
    std::optional<MonotonicTime> soonest;
    for (std::size_t target = 0; target < waiting_.size(); ++target) {
        if (!inFlight_[target] && !waiting_[target].empty() &&
            (!soonest || waiting_[target].front().due < *soonest)) {
            soonest = waiting_[target].front().due;
        }
    }
    return soonest;
}

std::size_t AlertQueue::Waiting() const {
    std::size_t count = 0;
    for (const auto& queue : waiting_) {
        count += queue.size();
    }
    return count;
}

}  // namespace vaxo
