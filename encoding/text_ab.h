#pragma once

#include <string>

#include "record/rds_parameter_set.h"

namespace vaxo {

// The radiotext A/B flag as the sends keep it: a receiver clears its
// radiotext display when the flag flips, so it flips when a send carries a
// current radiotext other than the last one sent, and "Use A/B" is on.
struct TextAb {
    int flag = 0;
    std::string lastSent;  // the current radiotext of the last send

    // Run just before every send: a changed current radiotext toggles the
    // flag when "Use A/B" is on, and is recorded in any case.
    void Update(const RdsParameterSet& set);
};

}  // namespace vaxo
