#pragma once

#include <string>

namespace vaxo {

struct LiveTextRead {
    enum class Outcome { NotFound, Unreadable, Read };
    Outcome outcome = Outcome::NotFound;
    std::string text;  // the last non-empty line, in Windows-1250
};

// Finds the newest file matching the source name (wildcards "*" and "?" in the
// name part; relative names are taken from programDir, which becomes the
// working directory) and returns its last non-empty line. Lines end at LF or
// CR LF, a lone CR is dropped, Ctrl-Z ends the file. A file that is valid
// UTF-8 with non-ASCII characters is converted to Windows-1250 first.
LiveTextRead ReadLiveTextFile(const std::string& sourceName, const std::string& programDir);

// Whether a name matches a pattern of "*" (any run) and "?" (any one byte).
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace vaxo
