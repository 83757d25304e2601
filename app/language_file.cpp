#include "app/language_file.h"

#include <algorithm>
#include <cctype>

#include "app/text_lines.h"

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

struct RawEntry {
    std::string key;
    std::string value;
};

std::vector<RawEntry> SectionLines(std::string_view text, std::string_view section) {
    std::vector<RawEntry> entries;
    bool inSection = false;
    for (const std::string& raw : SplitLines(text)) {
        const std::string_view line = Trimmed(raw);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        SameIgnoringCase(Trimmed(line.substr(1, close - 1)), section);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || line.empty() || line.front() == ';' || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trimmed(line.substr(0, equals));
        if (!key.empty()) {
            const std::string_view value = Unquoted(Trimmed(line.substr(equals + 1)));
            entries.push_back({std::string(key), std::string(value.substr(0, kIniValueLimit))});
        }
    }
    return entries;
}

}  // namespace

std::vector<std::string> ReadIniSection(std::string_view text, std::string_view section) {
    const std::vector<RawEntry> lines = SectionLines(text, section);
    std::vector<std::string> entries;
    std::size_t namesBytes = 1;  // the final terminating byte
    for (const RawEntry& line : lines) {
        namesBytes += line.key.size() + 1;
        if (namesBytes > kIniKeyNamesLimit) {
            break;
        }
        const auto first = std::find_if(lines.begin(), lines.end(), [&](const RawEntry& other) {
            return SameIgnoringCase(other.key, line.key);
        });
        entries.push_back(line.key + "=" + first->value);
    }
    return entries;
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
