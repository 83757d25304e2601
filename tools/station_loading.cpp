#include "tools/station_loading.h"

#include "stations/station_file.h"

namespace vaxo::ctl {

RdsParameterSet LoadStationOntoNewSet(const std::string& path, char decimalSeparator) {
    RdsParameterSet set;
    set.StationFileName = path;
    static_cast<void>(LoadStationFile(set, decimalSeparator));
    return set;
}

}  // namespace vaxo::ctl
