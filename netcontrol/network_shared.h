#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/steady_timer.hpp>

#include "base/mutex.h"
#include "net/asio_addresses.h"
#include "net/bind_retries.h"
#include "net/drop_log.h"
#include "netcontrol/network_server.h"
#include "netcontrol/network_session.h"
#include "netcontrol/uecp_addresses.h"

namespace vaxo {

namespace asio = boost::asio;

// "192.0.2.7:4000", "[::1]:4000".
template <typename Endpoint>
std::string DescribeEndpoint(const Endpoint& endpoint) {
    const asio::ip::address address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return host + ":" + std::to_string(endpoint.port());
}

// "10 minutes", or "250 ms".
std::string Minutes(std::chrono::milliseconds span);

// What the listeners and clients share. It lives on the network's thread:
// every member is used there, but `program` (touched only by work posted to
// the program's loop), `running` (read on both) and `status` (read by
// Status() from any thread, under statusMutex).
struct NetworkServer::Shared : std::enable_shared_from_this<Shared> {
    // Made on the program's thread, which may read its settings folder.
    Shared(asio::io_context& i, CoreHost& c, ControlProgram& p, NetworkConfig n, Log l)
        : io(i),
          core(c),
          program(p),
          config(std::move(n)),
          log(std::move(l)),
          addresses(std::make_shared<UecpAddressBook>(
              config.uecp.addresses, p.View().Folder() + kUecpAddressesFileName)) {}

    // Runs `work` with the program on its loop, then `done` with the bytes
    // it made on the network's; nothing after Stop. Only the work crosses to
    // the program's loop: `done`, which holds a client and so a socket,
    // stays here, so that no socket ever ends on the other thread or after
    // its loop.
    template <typename Work>
    void OnProgram(Work work, std::function<void(const NetworkSession::Reply&)> done) {
        const std::uint64_t id = ++nextWaiting;
        waiting.emplace(id, std::move(done));
        core.Post([weak = weak_from_this(), work = std::move(work), id]() mutable {
            const auto self = weak.lock();
            if (!self || !self->running) {
                return;
            }
            asio::post(self->io, [self, id, reply = work(self->program)] {
                const auto found = self->waiting.find(id);
                if (found == self->waiting.end()) {
                    return;
                }
                const auto done = std::move(found->second);
                self->waiting.erase(found);
                if (self->running) {
                    done(reply);
                }
            });
        });
    }

    bool Allowed(const asio::ip::address& address, const std::string& what) {
        if (config.Allows(BytesOf(address))) {
            return true;
        }
        Dropped(address, what + " from addresses not allowed");
        return false;
    }

    void Dropped(const asio::ip::address& address, const std::string& what) {
        dropped.Dropped(address.to_string(), what, std::chrono::steady_clock::now());
    }

    std::uint64_t AddCloser(std::function<void()> close) {
        closers.emplace(++nextCloser, std::move(close));
        return nextCloser;
    }

    void Seen(std::size_t listener, const std::string& client, int clientsChange) {
        const MutexLock lock(statusMutex);
        ListenerStatus& entry = status.at(listener);
        entry.lastClient = client;
        entry.lastSeen = std::chrono::system_clock::now();
        entry.clients += clientsChange;
    }

    asio::io_context& io;
    CoreHost& core;
    ControlProgram& program;
    NetworkConfig config;
    Log log;
    // The UECP addresses every client shares, on the program's loop only.
    std::shared_ptr<UecpAddressBook> addresses;
    std::atomic<bool> running{false};
    DropLog dropped{[this](const std::string& line) { log(line); }};
    // Tells the counts of what was dropped when their minute is over, not
    // at the next drop, which may never come.
    asio::steady_timer dropCounts{io};
    // Writes the UECP addresses a change within a second of the last write
    // left unwritten.
    asio::steady_timer addressSave{io};
    mutable Mutex statusMutex;  // Status() reads from any thread
    std::vector<ListenerStatus> status GUARDED_BY(statusMutex);
    std::map<std::uint64_t, std::function<void()>> closers;  // of listeners and clients
    std::uint64_t nextCloser = 0;
    // What to do with each result of the program, on the network's thread.
    std::map<std::uint64_t, std::function<void(const NetworkSession::Reply&)>> waiting;
    std::uint64_t nextWaiting = 0;
    BindRetries retries{io};
};

}  // namespace vaxo
