#include "events/event_hub.h"

#include <algorithm>

#include "base/mutex.h"

namespace vaxo {

struct Subscription::Entry {
    ProgramListener listener;
    RecursiveMutex calling;  // held while the listener runs
    bool removed GUARDED_BY(calling) = false;
};

struct Subscription::Listeners {
    Mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries GUARDED_BY(mutex);
};

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Remove();
        hub_ = std::move(other.hub_);
        entry_ = std::move(other.entry_);
    }
    return *this;
}

Subscription::~Subscription() {
    Remove();
}

void Subscription::Remove() {
    if (!entry_) {
        return;
    }
    if (const auto hub = hub_.lock()) {
        const MutexLock lock(hub->mutex);
        std::erase(hub->entries, entry_);
    }
    {
        // From the listener itself this takes at once; from elsewhere it
        // waits for a running call to end.
        const MutexLock lock(entry_->calling);
        entry_->removed = true;
    }
    entry_.reset();
    hub_.reset();
}

EventHub::EventHub() : listeners_(std::make_shared<Subscription::Listeners>()) {}

Subscription EventHub::Listen(ProgramListener listener) {
    loop_.Check("EventHub::Listen");
    auto entry = std::make_shared<Subscription::Entry>();
    entry->listener = std::move(listener);
    {
        const MutexLock lock(listeners_->mutex);
        listeners_->entries.push_back(entry);
    }
    return Subscription(listeners_, std::move(entry));
}

void EventHub::Emit(const ProgramEvent& event) const {
    loop_.Check("EventHub::Emit");
    std::vector<std::shared_ptr<Subscription::Entry>> entries;
    {
        const MutexLock lock(listeners_->mutex);
        entries = listeners_->entries;
    }
    for (const auto& entry : entries) {
        const MutexLock lock(entry->calling);
        if (!entry->removed) {
            entry->listener(event);
        }
    }
}

}  // namespace vaxo
