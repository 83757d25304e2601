// Builds without net-snmp (Windows): no subagent, and the option says so.
#include "snmp/agentx_subagent.h"

namespace vaxo {

struct AgentxSubagent::Shared {};

bool SnmpBuiltIn() {
    return false;
}

AgentxSubagent::AgentxSubagent(std::string /*socket*/, Fetch /*fetch*/, Log log) {
    log("snmp: this build has no AgentX subagent");
}

AgentxSubagent::~AgentxSubagent() = default;

void AgentxSubagent::Notify(SnmpNotification /*notification*/) {}

void AgentxSubagent::Stop() {}

}  // namespace vaxo
