#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace vaxo {

// Connections and datagrams turned away, counted by kind ("connections
// from addresses not allowed"); each kind told at most once a minute, so
// that a flood cannot flood the log.
class DropLog {
  public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(const std::string& line)>;

    explicit DropLog(Log log) : log_(std::move(log)) {}

    void Dropped(const std::string& address, const std::string& what, Clock::time_point now);
    // Tells the counts whose minute has passed since they were last told
    // (a timer's call), or all that are left (at the end).
    void Flush(Clock::time_point now);
    void FlushAll();

    static constexpr auto kInterval = std::chrono::minutes(1);

  private:
    struct Count {
        long since = 0;  // the last line
        std::optional<Clock::time_point> told;
        std::string last;  // the address of the last one
    };
    void Tell(const std::string& what, Count& count, Clock::time_point now);
    Log log_;
    std::map<std::string, Count> counts_;
};

}  // namespace vaxo
