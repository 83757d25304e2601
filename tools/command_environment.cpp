#include "tools/commands.h"

#include "platform/program_dir.h"

namespace vaxo::ctl {

CommandEnvironment SystemEnvironment() {
    return {SystemPortBackends, [] { return std::make_unique<SystemTiming>(); },
            DetermineProgramDir};
}

}  // namespace vaxo::ctl
