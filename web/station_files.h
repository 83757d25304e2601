#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vaxo {

// The station files (*.rds) in a folder, by name, sorted: the only files
// the web page may load. Names that are not UTF-8 or hold control
// characters are left out, and so are links.
std::vector<std::string> StationFilesIn(const std::string& folder);

// Why a feed file name from outside will not do, or nothing: a name inside
// the working folder ("rt.txt", "now*.txt"), no path, not hidden.
std::optional<std::string> FeedNameProblem(const std::string& name);

// The name an uploaded station takes in `folder`: the uploaded file's own
// name reduced to letters, digits, space, ". - _" (no path, not hidden),
// ending ".rds" ("uploaded.rds" when nothing is left), and numbered
// ("jazz-2.rds") when a file of that name is there already, so that saving
// it never writes over another station.
std::string UploadedStationName(const std::string& folder, std::string_view fileName);

// The file name a "Save as" from the page writes in the working folder: the
// typed name as it is, ".rds" added when it lacks it. A name that would
// have to change to be one (a path, characters beyond letters, digits,
// space, ". - _", a leading dot or space, a trailing space or dot, more than
// 80 characters) is refused: the reason, naming what is wrong.
struct SaveAsChoice {
    std::optional<std::string> name;
    std::string refusal;
};
SaveAsChoice SaveAsName(std::string_view typed);

// Whether anything (a file, a folder, a link) is at `path`.
bool FileThere(const std::string& path);

// Why station-file bytes from outside (an upload) will not be taken, or
// nothing: text without NUL bytes, at least one line this program knows,
// feed files only by name in the working folder, no EXIT=1.
std::optional<std::string> UploadProblem(std::string_view text);

}  // namespace vaxo
