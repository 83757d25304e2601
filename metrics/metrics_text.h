#pragma once

#include <chrono>
#include <string>

#include "app/program_view.h"

namespace vaxo {

// The program's state in the Prometheus text exposition format (0.0.4):
// what a scrape of /metrics answers. `now` is the wall clock's.
std::string MetricsText(const ProgramView& program, std::chrono::system_clock::time_point now);

}  // namespace vaxo
