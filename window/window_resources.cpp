#include "window/window_resources.h"

#include "base/file_io.h"

namespace vaxo {

std::optional<std::string> ReadUnlessTooLarge(const std::string& path, std::size_t limit) {
    try {
        return ReadFileIfExists(path, limit);
    } catch (const FileError& error) {
        if (error.kind() == FileError::Kind::TooLarge) {
            return std::nullopt;
        }
        throw;
    }
}

}  // namespace vaxo
