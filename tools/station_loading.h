#pragma once

#include <string>

#include "record/rds_parameter_set.h"

namespace vaxo::ctl {

// A new parameter set (New values, both-banks default off) with the station
// file applied, its AF texts read with the decimal separator; a missing file
// leaves the New set. Throws FileError.
RdsParameterSet LoadStationOntoNewSet(const std::string& path, char decimalSeparator);

}  // namespace vaxo::ctl
