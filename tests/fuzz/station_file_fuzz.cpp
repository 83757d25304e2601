// Any bytes as a station file: no crash, no sanitizer report, and what the
// reader made of them is a fixed point of save followed by load.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stations/station_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vaxo::RdsParameterSet loaded;
    vaxo::ApplyStationText(loaded, {reinterpret_cast<const char*>(data), size});
    const std::string saved = vaxo::StationFileText(loaded);

    vaxo::RdsParameterSet reloaded;
    vaxo::ApplyStationText(reloaded, saved);
    if (vaxo::StationFileText(reloaded) != saved) {
        std::abort();
    }
    return 0;
}
