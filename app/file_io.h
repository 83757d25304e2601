#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vaxo {

// An error the operator is shown with its text; the operation at hand ends.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole file, or nothing when no file of that name exists. Throws
// FileError "Cannot open file <name>" for a file that exists but cannot be
// opened or is no regular file (a folder, a pipe, a device), and "Stream
// read error" when reading it fails.
std::optional<std::string> ReadFileIfExists(const std::string& path);

// Replaces the file with the given bytes so that it is either the old file or
// the complete new one: the bytes go to a temporary file in the same folder,
// are flushed to disk, and the temporary file is renamed over the old one.
// Throws FileError "Cannot create file <name>" or "Stream write error"; the
// old file is then untouched.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vaxo
