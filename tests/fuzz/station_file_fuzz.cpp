// Any bytes as a station file: no crash, no sanitizer report, what the reader
// made of them is what goes on air (PI and the AF list as the send's checks
// leave them), and a fixed point of save followed by load.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stations/field_changes.h"
#include "stations/station_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char separator = size % 2 ? ',' : '.';
    vaxo::RdsParameterSet loaded;
    vaxo::ApplyStationText(loaded, {reinterpret_cast<const char*>(data), size}, separator);
    const std::string saved = vaxo::StationFileText(loaded);
    vaxo::RdsParameterSet tidied = loaded;
    vaxo::TidyStation(tidied, separator);
    if (vaxo::StationFileText(tidied) != saved) {
        std::abort();
    }

    vaxo::RdsParameterSet reloaded;
    vaxo::ApplyStationText(reloaded, saved, separator);
    if (vaxo::StationFileText(reloaded) != saved) {
        std::abort();
    }
    return 0;
}
