#include <string_view>

#include "snmp/agentx_subagent.h"

namespace vaxo {
namespace {

bool LoopbackHost(std::string_view host) {
    return host == "localhost" || host == "[::1]" || host.starts_with("127.");
}

}  // namespace

// AgentX (RFC 2741) has no authentication: whoever reaches the master's
// socket may register anything, so the subagent goes only to a local
// socket or to a master on this machine.
std::optional<std::string> WhyNoAgentxSocket(const std::string& socket) {
    std::string_view rest = socket;
    if (rest.starts_with("unix:")) {
        rest.remove_prefix(5);
    }
    if (rest.starts_with('/')) {
        return rest.size() > 1 ? std::nullopt : std::optional<std::string>("no socket path");
    }
    if (rest.starts_with("tcp:")) {
        rest.remove_prefix(4);
        const std::size_t colon = rest.rfind(':');
        const std::string_view port = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string_view::npos) {
            return "a TCP master needs HOST:PORT (\"tcp:127.0.0.1:705\")";
        }
        if (!LoopbackHost(rest.substr(0, colon))) {
            return "AgentX has no authentication: use a local socket or a master on this machine";
        }
        return std::nullopt;
    }
    return "not a socket path (\"/var/agentx/master\", \"unix:/run/agentx\") nor "
           "\"tcp:127.0.0.1:705\"";
}

}  // namespace vaxo
