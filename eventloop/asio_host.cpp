#include "eventloop/asio_host.h"

namespace vaxo {
namespace {

// Fires at start + n·interval, so that the period does not drift by the
// time the handlers take.
class AsioTimer : public LoopTimer {
  public:
    AsioTimer(boost::asio::io_context& io, std::function<void()> fire)
        : state_(std::make_shared<State>(io, std::move(fire))) {}
    AsioTimer(const AsioTimer&) = delete;
    AsioTimer& operator=(const AsioTimer&) = delete;
    ~AsioTimer() override { Stop(); }

    void Start(std::chrono::milliseconds interval) override {
        Stop();
        state_->interval = interval;
        state_->timer.expires_after(interval);
        Wait(state_, ++state_->generation);
    }

    void Stop() override {
        ++state_->generation;
        try {
            state_->timer.cancel();
        } catch (const boost::system::system_error&) {
            // a wait that cannot be cancelled finds another generation
        }
    }

  private:
    struct State {
        State(boost::asio::io_context& io, std::function<void()> f)
            : timer(io), fire(std::move(f)) {}
        boost::asio::steady_timer timer;
        std::function<void()> fire;
        std::chrono::milliseconds interval{0};
        unsigned generation = 0;
    };

    // A wait that a Stop or a new Start has overtaken finds another generation.
    static void Wait(const std::shared_ptr<State>& state, unsigned generation) {
        state->timer.async_wait([state, generation](const boost::system::error_code& error) {
            if (error || state->generation != generation) {
                return;
            }
            // After a suspend the ticks that fell due are not caught up.
            const auto next = state->timer.expiry() + state->interval;
            const auto now = boost::asio::steady_timer::clock_type::now();
            state->timer.expires_at(next > now ? next : now + state->interval);
            Wait(state, generation);
            state->fire();
        });
    }

    std::shared_ptr<State> state_;
};

}  // namespace

void AsioHost::Post(std::function<void()> task) {
    boost::asio::post(io_, std::move(task));
}

std::unique_ptr<LoopTimer> AsioHost::MakeTimer(std::string_view /*purpose*/,
                                               std::function<void()> fire) {
    return std::make_unique<AsioTimer>(io_, std::move(fire));
}

}  // namespace vaxo
