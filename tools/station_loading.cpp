#include "tools/station_loading.h"

#include "stations/station_file.h"

namespace vaxo::ctl {

RdsParameterSet LoadStationOntoNewSet(const std::string& path) {
    RdsParameterSet set;
    set.StationFileName = path;
    static_cast<void>(LoadStationFile(set));
    return set;
}

}  // namespace vaxo::ctl
