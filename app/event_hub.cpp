#include "app/event_hub.h"

#include <algorithm>

namespace vaxo {

struct Subscription::Entry {
    ProgramListener listener;
    std::recursive_mutex calling;  // held while the listener runs
    bool removed = false;
};

struct Subscription::Listeners {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
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
        const std::lock_guard lock(hub->mutex);
        std::erase(hub->entries, entry_);
    }
    {
        // From the listener itself this takes at once; from elsewhere it
        // waits for a running call to end.
        const std::lock_guard lock(entry_->calling);
        entry_->removed = true;
    }
    entry_.reset();
    hub_.reset();
}

EventHub::EventHub() : listeners_(std::make_shared<Subscription::Listeners>()) {}

Subscription EventHub::Listen(ProgramListener listener) {
    auto entry = std::make_shared<Subscription::Entry>();
    entry->listener = std::move(listener);
    {
        const std::lock_guard lock(listeners_->mutex);
        listeners_->entries.push_back(entry);
    }
    return Subscription(listeners_, std::move(entry));
}

void EventHub::Emit(const ProgramEvent& event) const {
    std::vector<std::shared_ptr<Subscription::Entry>> entries;
    {
        const std::lock_guard lock(listeners_->mutex);
        entries = listeners_->entries;
    }
    for (const auto& entry : entries) {
        const std::lock_guard lock(entry->calling);
        if (!entry->removed) {
            entry->listener(event);
        }
    }
}

}  // namespace vaxo
