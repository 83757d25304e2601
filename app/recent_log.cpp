#include "app/recent_log.h"

#include <utility>

namespace vaxo {

void RecentLog::Add(std::string line) {
    lines_.push_back(std::move(line));
    while (lines_.size() > keep_) {
        lines_.pop_front();
    }
    ++count_;
}

}  // namespace vaxo
