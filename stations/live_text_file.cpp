#include "stations/live_text_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "app/file_io.h"
#include "encoding/code_page.h"

namespace vaxo {
namespace {

constexpr char kEndOfFile = 26;  // Ctrl-Z

struct Candidate {
    std::string path;
    timespec modified{};
};

bool Newer(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// The newest regular file in `folder` whose name matches; the first listed
// among equally new ones.
std::optional<Candidate> NewestMatch(const std::string& folder, const std::string& pattern) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) {
        return std::nullopt;
    }
    std::optional<Candidate> newest;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchesWildcard(name, pattern)) {
            continue;
        }
        const std::string path = folder + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
            continue;
        }
        if (!newest || Newer(info.st_mtim, newest->modified)) {
            newest = Candidate{path, info.st_mtim};
        }
    }
    return newest;
}

std::string LastNonEmptyLine(std::string_view text) {
    std::string last;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty()) {
                last = line;
            }
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return line.empty() ? last : line;
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

LiveTextRead ReadLiveTextFile(const std::string& sourceName, const std::string& programDir) {
    std::error_code ignored;
    if (!programDir.empty()) {
        std::filesystem::current_path(programDir, ignored);
    }
    const std::size_t slash = sourceName.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : sourceName.substr(0, slash + 1);
    const std::string pattern = sourceName.substr(folder.size());
    const auto newest = NewestMatch(folder, pattern);
    if (!newest) {
        return {};
    }
    std::optional<std::string> content;
    try {
        content = ReadFileIfExists(newest->path);
    } catch (const FileError&) {
    }
    if (!content) {  // locked, unreadable, or gone since it was listed
        return {LiveTextRead::Outcome::Unreadable, ""};
    }
    std::string text = std::move(*content);
    text = text.substr(0, text.find(kEndOfFile));
    if (!IsAscii(text)) {
        text = Utf8ToWindows1250(text).value_or(text);
    }
    return {LiveTextRead::Outcome::Read, LastNonEmptyLine(text)};
}

}  // namespace vaxo
