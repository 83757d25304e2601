#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace vaxo {

// The last lines the program logged, each with its time, for the page that
// shows them. Used on the program's loop thread only.
class RecentLog {
  public:
    explicit RecentLog(std::size_t keep = 500) : keep_(keep) {}

    void Add(std::string line);
    const std::deque<std::string>& Lines() const { return lines_; }
    // Lines ever added: a page asks again when it grows.
    std::uint64_t Count() const { return count_; }

  private:
    std::size_t keep_;
    std::deque<std::string> lines_;
    std::uint64_t count_ = 0;
};

}  // namespace vaxo
