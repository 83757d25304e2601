#include "tools/commands.h"

namespace vaxo::ctl {

CommandEnvironment SystemEnvironment() {
    return {SystemPortBackends, [] { return std::make_unique<SystemTiming>(); }};
}

}  // namespace vaxo::ctl
