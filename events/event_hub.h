#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "base/loop_thread.h"
#include "events/program_events.h"

namespace vaxo {

using ProgramListener = std::function<void(const ProgramEvent&)>;

class EventHub;

// A listener's place at the hub; the listener is removed when this ends.
// After Remove returns the listener is not called again. Remove may run on
// any thread: from the listener itself it takes effect at once, from
// another thread it waits for a call that runs to end.
class Subscription {
  public:
    Subscription() = default;
    Subscription(Subscription&&) noexcept = default;
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription();
    void Remove();

  private:
    friend class EventHub;
    struct Entry;
    struct Listeners;
    Subscription(std::weak_ptr<Listeners> hub, std::shared_ptr<Entry> entry)
        : hub_(std::move(hub)), entry_(std::move(entry)) {}

    std::weak_ptr<Listeners> hub_;
    std::shared_ptr<Entry> entry_;
};

// Hands each event to every listener, in the order they were added. A
// listener may add or remove listeners, itself included, while it is called.
// Emit and Listen run on the program's loop thread; only subscriptions may
// end elsewhere, so the list and each listener's removal are locked.
class EventHub {
  public:
    EventHub();
    [[nodiscard]] Subscription Listen(ProgramListener listener);
    void Emit(const ProgramEvent& event) const;

  private:
    std::shared_ptr<Subscription::Listeners> listeners_;
    LoopThread loop_;
};

}  // namespace vaxo
