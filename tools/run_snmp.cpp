#include "tools/run_snmp.h"

#include "tools/station_label.h"

namespace vaxo::ctl {

std::optional<std::string> SnmpAgentxFrom(const ParsedOptions& options) {
    auto socket = options.Value("snmp-agentx");
    if (!socket) {
        return std::nullopt;
    }
    if (!SnmpBuiltIn()) {
        throw UsageError("this build has no SNMP subagent (it has no net-snmp)");
    }
    if (const auto why = WhyNoAgentxSocket(*socket)) {
        throw UsageError("--snmp-agentx " + *socket + ": " + *why);
    }
    return socket;
}

RunSnmp::RunSnmp(CoreHost& host, ControlProgram& program, RunLog& log,
                 const std::optional<std::string>& socket)
    : program_(program) {
    if (!socket) {
        return;
    }
    const std::weak_ptr<bool> alive = alive_;
    auto fetch = [&host, &program, alive](std::function<void(AgentxSubagent::Objects)> answer) {
        host.Post([&program, alive, answer = std::move(answer)] {
            if (!alive.expired()) {
                answer(SnmpObjects(program.View(), std::chrono::system_clock::now()));
            }
        });
    };
    auto tell = [&host, &log, alive](const std::string& line) {
        host.Post([&log, alive, line] {
            if (!alive.expired()) {
                log.Error(line);
            }
        });
    };
    subagent_ = std::make_unique<AgentxSubagent>(*socket, std::move(fetch), std::move(tell));
    listening_ = program_.Listen([this](const ProgramEvent& event) {
        const auto* changed = std::get_if<AlarmChanged>(&event);
        if (changed && changed->entry.what != AlarmEntry::What::Acknowledged) {
            subagent_->Notify(NotificationOf(changed->entry, StationLabel(program_.View())));
        }
    });
}

RunSnmp::~RunSnmp() {
    Stop();
}

void RunSnmp::Stop() {
    listening_.Remove();
    if (subagent_) {
        subagent_->Stop();
        subagent_.reset();
    }
    alive_.reset();
}

}  // namespace vaxo::ctl
