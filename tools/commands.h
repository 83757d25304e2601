#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vaxo::ctl {

// Each command returns the process exit code: 0 done, 1 failed, 2 misused.
int ShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ImageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int SendCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vaxo::ctl
