#include "window/window_options.h"

#include "link/encoder_simulator.h"

namespace vaxo {

WindowOptions ReadWindowOptions(const std::vector<std::string>& words) {
    WindowOptions options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--simulate") {
            options.scenario = "healthy";
        } else if (word.starts_with("--simulate=")) {
            options.scenario = word.substr(11);
        } else if (word == "--memory-dump" && i + 1 < words.size()) {
            options.memoryDump = words[++i];
        } else if (word == "--memory-dump") {
            options.problem = "--memory-dump needs a file";
        } else {
            options.arguments.push_back(word);
        }
    }
    if (options.scenario && !ParseEncoderScenario(*options.scenario)) {
        options.problem = "unknown scenario " + *options.scenario;
    } else if (options.memoryDump && !options.scenario) {
        options.problem = "--memory-dump is for the simulated encoder (--simulate)";
    }
    return options;
}

}  // namespace vaxo
