#pragma once

namespace vaxo::ctl {

// The decimal separator of the user's locale (LC_NUMERIC).
char LocaleDecimalSeparator();

}  // namespace vaxo::ctl
