#include "tools/station_loading.h"

#include "stations/station_file.h"

namespace vaxo::ctl {

RdsParameterSet LoadStationOntoNewSet(const std::string& path, char decimalSeparator) {
    RdsParameterSet set;
    static_cast<void>(LoadStationFile(set, path, decimalSeparator));
    return set;
}

}  // namespace vaxo::ctl
