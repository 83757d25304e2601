#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaxo {

// Files with secrets in them (the web page's password hashes).

// Saves the bytes as a file only its owner may read or write, created so
// from the start and put in place whole (a temporary file renamed over the
// old one). On Windows the folder's permissions decide. Throws FileError.
void SavePrivateFile(const std::string& path, std::string_view bytes);

// Why others than the owner may read the file, or nothing.
std::optional<std::string> WhyNotPrivate(const std::string& path);

// A line typed at the terminal without showing it, after `prompt` on
// standard error; nothing when standard input is no terminal.
std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt);

}  // namespace vaxo
