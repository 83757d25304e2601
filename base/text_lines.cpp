#include "base/text_lines.h"

namespace vaxo {

std::size_t CountLines(std::string_view text, std::size_t limit) {
    std::size_t count = 0;
    ForEachLine(text, [&](std::string_view) { return ++count < limit; });
    return count;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        for (char c : line) {
            text += c == '\0' || c == '\r' || c == '\n' ? ' ' : c;
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace vaxo
