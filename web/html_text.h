#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// Text made safe inside HTML, in an element or a quoted attribute.
std::string EscapeHtml(std::string_view text);

// Fills "{{name}}" in a template with the values given, as they are (the
// caller escapes); a name without a value is left empty.
std::string FillTemplate(std::string_view page, const std::map<std::string, std::string>& values);

// The value of one form field of an application/x-www-form-urlencoded
// body, decoded; nothing when it is absent or malformed.
std::optional<std::string> FormField(std::string_view body, std::string_view name);

// The value of one cookie of a Cookie header.
std::string CookieValue(std::string_view header, std::string_view name);

}  // namespace vaxo
