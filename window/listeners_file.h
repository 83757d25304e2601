#pragma once

#include <optional>
#include <string>

#include "netcontrol/network_config.h"
#include "web/web_config.h"

namespace vaxo {

// The window's listeners and web page, from its listeners' file (the
// options as vaxoctl run takes them, one a line); the reason when the file
// cannot be read or may not run, and then nothing listens.
std::optional<std::string> ReadWindowListeners(const std::string& programDir,
                                               NetworkConfig& network, WebConfig& web);

}  // namespace vaxo
