#include "app/text_lines.h"

namespace vaxo {

std::vector<std::string> SplitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
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
