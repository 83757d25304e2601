// Any bytes as one of the settings files (vaxow.dat, vaxow.ini) or the wear
// ledger (vaxow.wear): no crash, no sanitizer report; a settings file that
// was taken writes back the very lines it was read from, and what was read
// of the others is a fixed point of writing and reading again.
#include <cstdint>
#include <cstdlib>

#include "app/options_file.h"
#include "app/settings_file.h"
#include "base/file_io.h"
#include "base/text_lines.h"
#include "link/wear_ledger.h"

namespace {

void SettingsLines(std::string_view text) {
    vaxo::RdsParameterSet set;
    vaxo::RunMemory run;
    vaxo::ApplySettingsText(set, run, text);
    std::vector<std::string> lines = vaxo::SplitLines(text);
    if (lines.size() == vaxo::kSettingsLines) {
        const auto written = vaxo::SettingsLines(set, run);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool flagLine = i >= 4 && i <= 8;
            if (!flagLine && written[i] != lines[i]) {
                std::abort();
            }
        }
    }
}

void Options(std::string_view text) {
    vaxo::RdsParameterSet set;
    vaxo::ApplyOptionsText(set, text);
    const std::string written = vaxo::OptionsText(set);
    vaxo::RdsParameterSet again;
    vaxo::ApplyOptionsText(again, written);
    if (vaxo::OptionsText(again) != written) {
        std::abort();
    }
}

void Ledger(std::string_view text) {
    const auto now = std::chrono::system_clock::from_time_t(1'765'000'000);
    std::string written;
    try {
        written = vaxo::WearLedger::Parse(text, now).Text();
    } catch (const vaxo::FileError&) {
        return;  // refused as a whole
    }
    if (vaxo::WearLedger::Parse(written, now).Text() != written) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SettingsLines(text);
    Options(text);
    Ledger(text);
    return 0;
}
