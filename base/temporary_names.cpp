#include "base/temporary_names.h"

#include <cstdint>
#include <cstdio>

namespace vaxo {

std::string TemporaryPrefix(const std::string& fileName) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : fileName) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char text[32];
    std::snprintf(text, sizeof text, ".vaxo-%016llx-", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace vaxo
