#include "tools/image_options.h"

#include "tools/locale_separator.h"

namespace vaxo::ctl {

ImageClock ImageClockFrom(const ParsedOptions& options) {
    ImageClock clock{LocalNow()};
    if (const auto at = options.Value("at")) {
        const auto parsed = ParseLocalTime(*at);
        if (!parsed) {
            throw UsageError("--at needs \"YYYY-MM-DD HH:MM:SS\"");
        }
        clock.now = *parsed;
    }
    const auto separator = options.Value("decimal-separator");
    if (separator && separator->size() != 1) {
        throw UsageError("--decimal-separator needs one character");
    }
    clock.decimalSeparator = separator ? separator->front() : LocaleDecimalSeparator();
    return clock;
}

int AbFlagFrom(const ParsedOptions& options) {
    const std::string ab = options.Value("ab").value_or("0");
    if (ab != "0" && ab != "1") {
        throw UsageError("--ab takes 0 or 1");
    }
    return ab == "1" ? 1 : 0;
}

}  // namespace vaxo::ctl
