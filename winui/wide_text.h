#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vaxo::win {

// The core keeps station texts as Windows-1250 bytes, file names in the
// system's code page (its file calls are the narrow ones) and its messages
// in UTF-8; the controls show UTF-16. These convert at the boundary.
std::wstring FromStationText(std::string_view bytes);
// None when a character does not exist in Windows-1250.
std::optional<std::string> ToStationText(std::wstring_view text);
std::wstring FromFileName(std::string_view bytes);
std::string ToFileName(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
std::string ToUtf8(std::wstring_view text);
// A control's text.
std::wstring WindowText(HWND control);

}  // namespace vaxo::win
