#include "tools/locale_separator.h"

#include <clocale>

namespace vaxo::ctl {

char LocaleDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "");
    const char* point = std::localeconv()->decimal_point;
    const char separator = point && *point ? *point : '.';
    std::setlocale(LC_NUMERIC, "C");
    return separator;
}

}  // namespace vaxo::ctl
