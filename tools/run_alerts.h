#pragma once

#include <memory>

#include "alerts/alert_config.h"
#include "alerts/alert_sender.h"
#include "app/control_program.h"
#include "base/core_host.h"
#include "tools/command_line.h"
#include "tools/run_log.h"

namespace vaxo::ctl {

// The names of the alert options, all valued; --alert-webhook and
// --alert-mail-to may be repeated.
const std::vector<std::string>& AlertOptionNames();

// The webhooks and the mail the options ask for; UsageError for one that
// will not do, FileError for a password file that cannot be read or that
// others may read.
AlertConfig AlertsFrom(const ParsedOptions& options);

// Each raise and clear of an alarm delivered to the configured targets, on
// the sender's thread; every outcome told in the log, and a target that
// cannot be reached raised as an alarm of its own (cleared by its next
// delivery).
class RunAlerts {
  public:
    RunAlerts(CoreHost& host, ControlProgram& program, RunLog& log, const AlertConfig& config);
    RunAlerts(const RunAlerts&) = delete;
    RunAlerts& operator=(const RunAlerts&) = delete;
    ~RunAlerts();
    // Before the loop ends: what still waited is told.
    void Stop();

  private:
    void Heard(const ProgramEvent& event);
    void Reported(const AlertReport& report);

    CoreHost& host_;
    ControlProgram& program_;
    RunLog& log_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<AlertSender> sender_;
    Subscription listening_;
};

}  // namespace vaxo::ctl
