#pragma once

#include <map>
#include <string_view>

namespace vaxo {

// The web page's files, built into the program: its templates, style,
// script and icon, by name ("app.css").
const std::map<std::string_view, std::string_view>& EmbeddedFiles();

}  // namespace vaxo
