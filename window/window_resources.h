#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vaxo {

// Bounds no real help file or picture reaches; a larger one is passed over
// and start-up goes on.
inline constexpr std::size_t kHelpFileLimit = 16 * 1024 * 1024;
inline constexpr std::size_t kPictureLimit = 32 * 1024 * 1024;

// The file's bytes; none when it does not exist or is larger than `limit`.
// A file that cannot be read raises FileError.
std::optional<std::string> ReadUnlessTooLarge(const std::string& path, std::size_t limit);

}  // namespace vaxo
