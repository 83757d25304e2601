#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/link_timing.h"
#include "platform/port_layer.h"

namespace vaxo::ctl {

// What the commands that reach the encoder run on. Tests put fakes in place.
struct CommandEnvironment {
    std::function<std::unique_ptr<PortBackends>()> portBackends;
    std::function<std::unique_ptr<LinkTiming>()> timing;
    // Where the settings and the wear ledger are.
    std::function<std::string()> programDir;
};

// The system's ports and the real clocks.
CommandEnvironment SystemEnvironment();

// Each command returns the process exit code: 0 done, 1 failed, 2 misused.
int ShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ImageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PreviewCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int SendCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const CommandEnvironment& environment = SystemEnvironment());
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CommandEnvironment& environment = SystemEnvironment());
int AlarmsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int WearCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PasswdCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  std::istream& in);

}  // namespace vaxo::ctl
