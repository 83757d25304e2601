#include "formats/language_file.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "base/text_lines.h"

namespace vaxo {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lowered;
}

}  // namespace

// One pass over the lines; the first value of each key is kept in a table,
// so the work grows with the file, and the memory with the entries kept.
std::vector<std::string> ReadIniSection(std::string_view text, std::string_view section) {
    std::vector<std::pair<std::string, std::string>> entries;  // key, lowered key
    std::unordered_map<std::string, std::string> firstValues;
    std::size_t namesBytes = 1;  // the final terminating byte
    bool inSection = false;
    ForEachLine(text, [&](std::string_view raw) {
        const std::string_view line = Trimmed(raw);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        SameIgnoringCase(Trimmed(line.substr(1, close - 1)), section);
            return true;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || line.empty() || line.front() == ';' || equals == std::string_view::npos) {
            return true;
        }
        const std::string_view key = Trimmed(line.substr(0, equals));
        if (key.empty()) {
            return true;
        }
        namesBytes += key.size() + 1;
        if (namesBytes > kIniKeyNamesLimit) {
            return false;
        }
        std::string lowered = Lowered(key);
        const std::string_view value = Unquoted(Trimmed(line.substr(equals + 1)));
        firstValues.emplace(lowered, value.substr(0, kIniValueLimit));
        entries.emplace_back(std::string(key), std::move(lowered));
        return true;
    });
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (const auto& [key, lowered] : entries) {
        result.push_back(key + "=" + firstValues.at(lowered));
    }
    return result;
}

TranslationEntry SplitTranslationEntry(std::string_view entry) {
    TranslationEntry result;
    const std::size_t equals = entry.find('=');
    const std::string_view key = entry.substr(0, equals);
    if (equals != std::string_view::npos) {
        const std::string_view value = entry.substr(equals + 1);
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value.compare(i, 2, "~~") == 0) {
                result.value += "\r\n";
                ++i;
            } else {
                result.value += value[i];
            }
        }
    }
    const std::size_t firstDot = key.find('.');
    if (firstDot == std::string_view::npos) {
        return result;
    }
    result.form = key.substr(0, firstDot);
    const std::string_view rest = key.substr(firstDot + 1);
    const std::size_t secondDot = rest.find('.');
    if (secondDot == std::string_view::npos) {
        return result;
    }
    result.control = rest.substr(0, secondDot);
    result.property = rest.substr(secondDot + 1);
    return result;
}

}  // namespace vaxo
