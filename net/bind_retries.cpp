#include "net/bind_retries.h"

#include <algorithm>
#include <list>

namespace vaxo {

bool MayBindLater(const boost::system::error_code& error) {
#ifdef _WIN32
    // Windows refuses a port held for exclusive use with "access denied".
    if (error == boost::asio::error::access_denied) {
        return true;
    }
#endif
    return error == boost::asio::error::address_in_use ||
           error == boost::system::errc::address_not_available;
}

struct BindRetries::Pending {
    Pending(boost::asio::io_context& io, std::string name, Attempt again, std::string trouble,
            std::chrono::milliseconds firstWait)
        : timer(io),
          listener(std::move(name)),
          attempt(std::move(again)),
          told(std::move(trouble)),
          wait(firstWait) {}

    boost::asio::steady_timer timer;
    std::string listener;
    Attempt attempt;
    std::string told;
    std::chrono::milliseconds wait;
};

struct BindRetries::State {
    State(boost::asio::io_context& context, std::chrono::milliseconds wait)
        : io(context), firstWait(wait) {}

    boost::asio::io_context& io;
    std::chrono::milliseconds firstWait;
    ListenerWatch watch;
    std::list<std::shared_ptr<Pending>> pending;
    bool stopped = false;
};

BindRetries::BindRetries(boost::asio::io_context& io, std::chrono::milliseconds firstWait)
    : state_(std::make_shared<State>(io, firstWait)) {}

BindRetries::~BindRetries() {
    try {
        Stop();
    } catch (const boost::system::system_error&) {
        // A wait that could not be cancelled finds the state gone when it ends.
    }
}

void BindRetries::Watch(ListenerWatch watch) {
    state_->watch = std::move(watch);
}

std::optional<std::string> BindRetries::Begin(const std::string& listener, Attempt attempt) {
    BindOutcome outcome = attempt();
    if (!outcome.error) {
        return std::nullopt;
    }
    if (!state_->watch || state_->stopped || !MayBindLater(outcome.error)) {
        return std::move(outcome.problem);
    }
    const std::string trouble = outcome.error.message();
    state_->watch(listener, trouble);
    auto pending = std::make_shared<Pending>(state_->io, listener, std::move(attempt), trouble,
                                             state_->firstWait);
    state_->pending.push_back(pending);
    Wait(state_, pending);
    return std::nullopt;
}

void BindRetries::Wait(const std::shared_ptr<State>& state,
                       const std::shared_ptr<Pending>& pending) {
    pending->timer.expires_after(pending->wait);
    pending->timer.async_wait(
        [weak = std::weak_ptr<State>(state), pending](const boost::system::error_code& error) {
            const auto self = weak.lock();
            if (error || !self || self->stopped) {
                return;
            }
            const BindOutcome outcome = pending->attempt();
            if (!outcome.error) {
                self->pending.remove(pending);
                self->watch(pending->listener, "");
                return;
            }
            if (outcome.error.message() != pending->told) {
                pending->told = outcome.error.message();
                self->watch(pending->listener, pending->told);
            }
            pending->wait = std::min(pending->wait * 2, self->firstWait * 30);
            Wait(self, pending);
        });
}

void BindRetries::Stop() {
    state_->stopped = true;
    for (const auto& pending : state_->pending) {
        pending->timer.cancel();
    }
    state_->pending.clear();
}

}  // namespace vaxo
