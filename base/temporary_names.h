#pragma once

#include <string>

namespace vaxo {

inline constexpr const char* kTemporarySuffix = ".tmp";

// The temporary files of one file share a short prefix made from its name,
// ".vaxo-<hash>-", so that any name that can be loaded can be saved, and so
// that leftovers of an interrupted save can be told apart.
std::string TemporaryPrefix(const std::string& fileName);

}  // namespace vaxo
