#include "netcontrol/network_server.h"

#include <algorithm>

#include "netcontrol/network_listeners.h"
#include "netcontrol/network_shared.h"

namespace vaxo {

std::string Minutes(std::chrono::milliseconds span) {
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(span).count();
    return minutes >= 1 ? std::to_string(minutes) + " minutes"
                        : std::to_string(span.count()) + " ms";
}

NetworkServer::NetworkServer(boost::asio::io_context& io, CoreHost& core, ControlProgram& program,
                             NetworkConfig config, Log log)
    : shared_(std::make_shared<Shared>(io, core, program, std::move(config), std::move(log))) {}

NetworkServer::~NetworkServer() {
    shared_->running = false;
}

std::optional<std::string> NetworkServer::Start() {
    shared_->running = true;
    if (const std::string& trouble = shared_->addresses->ReadTrouble(); !trouble.empty()) {
        shared_->log(trouble + "; the UECP addresses are those of the start options");
    }
    const auto& all = shared_->config.listeners;
    if (std::any_of(all.begin(), all.end(), [](const ListenerSetting& setting) {
            return setting.protocol == ListenerProtocol::Uecp;
        })) {
        shared_->log("UECP: " + DescribeAddressesInForce(*shared_->addresses));
    }
    shared_->addresses->SaveLaterWith(
        [weak = std::weak_ptr<Shared>(shared_)](std::chrono::milliseconds after) {
            if (const auto self = weak.lock()) {
                asio::post(self->io, [weak, after] { SaveAddressesAfter(weak, after); });
            }
        });
    const auto& listeners = shared_->config.listeners;
    {
        const MutexLock lock(shared_->statusMutex);
        for (const ListenerSetting& setting : listeners) {
            ListenerStatus entry;
            entry.description = setting.Describe();
            shared_->status.push_back(std::move(entry));
        }
    }
    for (std::size_t i = 0; i < listeners.size(); ++i) {
        auto attempt = [weak = std::weak_ptr<Shared>(shared_), i]() -> BindOutcome {
            const auto shared = weak.lock();
            if (!shared) {
                return {};
            }
            const ListenerSetting& setting = shared->config.listeners[i];
            const OpenedListener opened = setting.transport == ListenerTransport::Tcp
                                              ? OpenTcpListener(shared, i, setting)
                                              : OpenUdpListener(shared, i, setting);
            if (!opened.outcome.error) {
                const MutexLock lock(shared->statusMutex);
                shared->status[i].port = opened.port;
            }
            return opened.outcome;
        };
        if (auto problem = shared_->retries.Begin(listeners[i].Describe(), attempt)) {
            Stop();
            return problem;
        }
    }
    TellDropCounts(shared_);
    return std::nullopt;
}

void NetworkServer::SaveAddressesAfter(const std::weak_ptr<Shared>& weak,
                                       std::chrono::milliseconds after) {
    const auto shared = weak.lock();
    if (!shared || !shared->running) {
        return;
    }
    shared->addressSave.expires_after(after);
    shared->addressSave.async_wait([weak](const boost::system::error_code& error) {
        const auto self = weak.lock();
        if (error || !self) {
            return;
        }
        self->core.Post([weak] {
            if (const auto book = weak.lock()) {
                if (auto trouble = book->addresses->Flush()) {
                    book->log(*trouble);
                }
            }
        });
    });
}

void NetworkServer::TellDropCounts(const std::shared_ptr<Shared>& shared) {
    shared->dropCounts.expires_after(std::chrono::seconds(1));
    shared->dropCounts.async_wait(
        [weak = std::weak_ptr<Shared>(shared)](const boost::system::error_code& error) {
            const auto self = weak.lock();
            if (error || !self || !self->running) {
                return;
            }
            self->dropped.Flush(std::chrono::steady_clock::now());
            TellDropCounts(self);
        });
}

void NetworkServer::Stop() {
    if (shared_->running) {
        shared_->dropped.FlushAll();
    }
    shared_->running = false;
    shared_->retries.Stop();
    shared_->dropCounts.cancel();
    shared_->addressSave.cancel();  // the address book writes the rest when it ends
    const auto closers = std::move(shared_->closers);
    shared_->closers.clear();
    for (const auto& [id, close] : closers) {
        close();
    }
    shared_->waiting.clear();
}

void NetworkServer::WatchListeners(ListenerWatch watch) {
    shared_->retries.Watch(std::move(watch));
}

std::vector<ListenerStatus> NetworkServer::Status() const {
    const MutexLock lock(shared_->statusMutex);
    return shared_->status;
}

}  // namespace vaxo
