#include "window/listeners_file.h"

namespace vaxo {

std::optional<std::string> ReadWindowListeners(const std::string& programDir,
                                               NetworkConfig& network, WebConfig& web) {
    WebConfig read;
    NetworkConfig listeners;
    if (auto problem = ReadListenersFile(
            programDir, listeners,
            [&read](const std::string& name, const std::string& value, bool& known) {
                return TakeWebOption(read, name, value, known);
            })) {
        return problem;
    }
    read.allowed = listeners.allowed;
    if (const auto why = CheckWebConfig(read)) {
        return programDir + kListenersFileName + ", " + *why + "; nothing listens";
    }
    network = std::move(listeners);
    web = std::move(read);
    return std::nullopt;
}

}  // namespace vaxo
