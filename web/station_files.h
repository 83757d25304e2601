#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vaxo {

// The station files (*.rds) in a folder, by name, sorted: the only files
// the web page may load. Names that are not UTF-8 or hold control
// characters are left out.
std::vector<std::string> StationFilesIn(const std::string& folder);

// Why a feed file name from outside will not do, or nothing: a name inside
// the working folder ("rt.txt", "now*.txt"), no path, not hidden.
std::optional<std::string> FeedNameProblem(const std::string& name);

}  // namespace vaxo
