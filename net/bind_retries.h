#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "eventloop/asio.h"

namespace vaxo {

// Whether a listener that could not bind may bind later by itself: its
// address is taken by another program, or not on this machine yet (an
// interface that comes up after the program, as after a power cut).
bool MayBindLater(const boost::system::error_code& error);

// One try at binding a listener: the error, and the problem as the log
// tells it ("web 127.0.0.1:8080: Address already in use").
struct BindOutcome {
    boost::system::error_code error;
    std::string problem;
};

// A listener's trouble ("Address already in use"), on its server's loop:
// `trouble` is empty once it listens.
using ListenerWatch = std::function<void(const std::string& listener, const std::string& trouble)>;

// Binds listeners, and tries again those whose address may come free (after
// the first wait, twice as long each time up to 30 times the first) until
// they bind or Stop; each new trouble and the bind that ends it are told to
// the watch.
// Without a watch, every failure is the start's failure, as it always was.
class BindRetries {
  public:
    using Attempt = std::function<BindOutcome()>;

    explicit BindRetries(boost::asio::io_context& io,
                         std::chrono::milliseconds firstWait = std::chrono::seconds(1));
    BindRetries(const BindRetries&) = delete;
    BindRetries& operator=(const BindRetries&) = delete;
    ~BindRetries();

    void Watch(ListenerWatch watch);
    // The first try: the problem when the start must fail, else nothing
    // (bound, or tried again).
    std::optional<std::string> Begin(const std::string& listener, Attempt attempt);
    void Stop();

  private:
    struct State;
    struct Pending;
    static void Wait(const std::shared_ptr<State>& state, const std::shared_ptr<Pending>& pending);

    std::shared_ptr<State> state_;
};

}  // namespace vaxo
