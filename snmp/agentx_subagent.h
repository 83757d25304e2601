#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "snmp/snmp_objects.h"

namespace vaxo {

// Whether this build has the AgentX subagent (net-snmp).
bool SnmpBuiltIn();

// An AgentX subagent (RFC 2741) that serves VAXO-MIB through the system's
// snmpd, on a thread of its own: net-snmp is not thread-safe, so all of it
// runs there. The values come from the program's loop at each request
// (`fetch` posts there and answers through its callback); a request the
// loop does not answer within kFetchTime gets genErr rather than stale
// values. The master agent may start before or after the program, and may
// restart: the subagent attaches when it can, looking every kPingInterval.
class AgentxSubagent {
  public:
    using Objects = std::vector<SnmpObject>;
    using Fetch = std::function<void(std::function<void(Objects)> answer)>;
    using Log = std::function<void(const std::string& line)>;

    // `socket` as snmpd's agentXSocket writes it: "/var/agentx/master",
    // "unix:/run/snmp/agentx", "tcp:127.0.0.1:705".
    AgentxSubagent(std::string socket, Fetch fetch, Log log);
    AgentxSubagent(const AgentxSubagent&) = delete;
    AgentxSubagent& operator=(const AgentxSubagent&) = delete;
    ~AgentxSubagent();

    // Sent through the master agent to its trap sinks; one made while the
    // master is away is lost (net-snmp keeps none).
    void Notify(SnmpNotification notification);
    void Stop();

    static constexpr auto kFetchTime = std::chrono::seconds(2);
    static constexpr auto kPingInterval = std::chrono::seconds(5);

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

// Why a socket will not do for --snmp-agentx, or nothing.
std::optional<std::string> WhyNoAgentxSocket(const std::string& socket);

}  // namespace vaxo
