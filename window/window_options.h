#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vaxo {

// The window's options besides its station file: a simulated encoder (as
// vaxoctl run has it) and where its memory goes at the end.
struct WindowOptions {
    std::vector<std::string> arguments;  // what is left: the station file
    std::optional<std::string> scenario;
    std::optional<std::string> memoryDump;
    std::string problem;  // why the options cannot run; empty when they can
};

WindowOptions ReadWindowOptions(const std::vector<std::string>& words);

}  // namespace vaxo
