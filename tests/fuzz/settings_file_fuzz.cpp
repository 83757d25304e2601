// Any bytes as a settings file: no crash, no sanitizer report, and a file
// that was taken writes back the very lines it was read from.
#include <cstdint>
#include <cstdlib>

#include "app/settings_file.h"
#include "base/text_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vaxo::RdsParameterSet set;
    vaxo::ApplySettingsText(set, text);
    std::vector<std::string> lines = vaxo::SplitLines(text);
    if (lines.size() == vaxo::kSettingsLines) {
        set.RememberedFile = set.StationFileName;
        const auto written = vaxo::SettingsLines(set);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool flagLine = i >= 4 && i <= 8;
            if (!flagLine && i != 0 && written[i] != lines[i]) {
                std::abort();
            }
        }
    }
    return 0;
}
