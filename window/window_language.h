#pragma once

#include <string>
#include <vector>

#include "window/window_layout.h"

namespace vaxo {

// One caption or hint the language file replaces.
struct Translation {
    const ControlDesign* control;
    bool hint = false;  // else the caption
    std::string text;   // UTF-8, lines broken by LF
};

// The translations of the language file's section "TRANSLATIONS" (UTF-8 or
// Windows-1250) for the window "Form1": only translatable controls, names
// and properties without case; entries for anything else are passed over.
std::vector<Translation> ReadTranslations(const std::string& fileBytes);

}  // namespace vaxo
