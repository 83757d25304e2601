#include "web/station_files.h"

#include <algorithm>
#include <filesystem>

#include "base/code_page.h"
#include "base/text_lines.h"
#include "stations/field_changes.h"

namespace vaxo {
namespace {

bool Printable(const std::string& name) {
    return Utf8ToWindows1250(name).has_value() &&
           std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

std::vector<std::string> StationFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name;
        try {
            name = entry.path().filename().string();
        } catch (const std::exception&) {
            continue;  // a name Windows' code page cannot hold: no load could name it either
        }
        std::error_code kind;
        // A link (symbolic or hard) could lead out of the folder.
        if (std::filesystem::is_regular_file(entry.symlink_status(kind)) &&
            entry.hard_link_count(kind) == 1 && name.size() > 4 && name.ends_with(".rds") &&
            name.front() != '.' && Printable(name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string SafeStem(std::string_view fileName) {
    const auto slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    std::string stem;
    for (const char c : fileName.substr(0, 80)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == ' ' || c == '.' || c == '-' || c == '_') {
            stem += c;
        }
    }
    if (stem.size() >= 4 && stem.ends_with(".rds")) {
        stem.resize(stem.size() - 4);
    }
    const auto first = stem.find_first_not_of(". ");
    return first == std::string::npos ? "" : stem.substr(first);
}

}  // namespace

SaveAsChoice SaveAsName(std::string_view typed) {
    constexpr std::size_t kLongest = 80;
    const auto refused = [](const std::string& why) {
        return SaveAsChoice{std::nullopt, "a name of letters, digits, space, . - _: " + why};
    };
    std::string_view stem = typed;
    if (stem.size() > 4 && stem.ends_with(".rds")) {
        stem.remove_suffix(4);
    }
    if (stem.empty()) {
        return refused("no name given");
    }
    if (typed.size() > kLongest) {
        return refused("at most " + std::to_string(kLongest) + " characters");
    }
    if (typed.find_first_of("/\\") != std::string_view::npos) {
        return refused("a name, not a path: no / or \\");
    }
    for (const char c : stem) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == ' ' || c == '.' || c == '-' || c == '_')) {
            const bool printable = c > ' ' && c < 0x7F;
            return refused(printable ? "no '" + std::string(1, c) + "'" : "only these characters");
        }
    }
    if (stem.front() == '.' || stem.front() == ' ') {
        return refused("not beginning with a dot or a space");
    }
    if (stem.back() == ' ' || stem.back() == '.') {
        return refused("not ending with a space or a dot");
    }
    return {std::string(stem) + ".rds", ""};
}

bool FileThere(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
           std::filesystem::file_type::not_found;
}

std::string UploadedStationName(const std::string& folder, std::string_view fileName) {
    std::string stem = SafeStem(fileName);
    stem = stem.empty() ? "uploaded" : stem;
    std::string name = stem + ".rds";
    for (int n = 2;; ++n) {
        if (!FileThere((std::filesystem::path(folder) / name).string())) {
            return name;
        }
        name = stem + "-" + std::to_string(n) + ".rds";
    }
}

std::optional<std::string> FeedNameProblem(const std::string& name) {
    const bool allowed = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == '*' || c == '?';
    });
    if (name.empty() || name.size() > 100 || !allowed || name.front() == '.') {
        return "a feed is a file name in the working folder: letters, digits, . - _ * ?, "
               "not beginning with a dot";
    }
    return std::nullopt;
}

std::optional<std::string> UploadProblem(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return "not a station file: it holds NUL bytes";
    }
    std::optional<std::string> problem;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        const std::string value(equals == std::string_view::npos ? "" : line.substr(equals + 1));
        if ((key == "RTSF" || key == "DPSSF") && !value.empty()) {
            if (const auto why = FeedNameProblem(value)) {
                problem = std::string(key) + ": " + *why;
            }
        } else if (key == "EXIT" && value == "1") {
            problem = "EXIT=1 would end the program after its next send";
        }
        return !problem;
    });
    if (problem) {
        return problem;
    }
    if (CountStationLines(text) == 0) {
        return "not a station file: no line of it is a field this program knows";
    }
    return std::nullopt;
}

}  // namespace vaxo
