#include "tools/station_label.h"

#include <filesystem>

#include "base/code_page.h"

namespace vaxo::ctl {

std::string StationLabel(const ProgramView& view) {
    const std::string& name = view.Document().Name();
    if (name.empty()) {
        std::string ps = view.Station().PS;
        ps.erase(ps.find_last_not_of(' ') + 1);
        return Windows1250ToUtf8(ps);
    }
    return Windows1250ToUtf8(std::filesystem::path(name).filename().string());
}

}  // namespace vaxo::ctl
