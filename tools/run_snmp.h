#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/control_program.h"
#include "base/core_host.h"
#include "snmp/agentx_subagent.h"
#include "tools/command_line.h"
#include "tools/run_log.h"

namespace vaxo::ctl {

// --snmp-agentx SOCKET, checked; nothing when not given. UsageError for a
// socket that will not do or a build without the subagent.
std::optional<std::string> SnmpAgentxFrom(const ParsedOptions& options);

// The subagent of a run: each request's values read on the loop, and each
// raise and clear of an alarm sent as a notification.
class RunSnmp {
  public:
    RunSnmp(CoreHost& host, ControlProgram& program, RunLog& log,
            const std::optional<std::string>& socket);
    RunSnmp(const RunSnmp&) = delete;
    RunSnmp& operator=(const RunSnmp&) = delete;
    ~RunSnmp();
    void Stop();

  private:
    ControlProgram& program_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<AgentxSubagent> subagent_;
    Subscription listening_;
};

}  // namespace vaxo::ctl
