#include "base/file_io.h"
#include "stations/station_file.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/locale_separator.h"
#include "tools/station_loading.h"

namespace vaxo::ctl {

int ShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedOptions options(args, {});
    if (options.Positional().size() != 1) {
        throw UsageError("show needs exactly one station file");
    }
    try {
        out << StationFileText(
            LoadStationOntoNewSet(options.Positional().front(), LocaleDecimalSeparator()));
    } catch (const FileError& error) {
        err << error.what() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace vaxo::ctl
