#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaxo {

// Calls `line` with each line of file text, in order, without copying: CR LF,
// a lone CR and a lone LF each end a line; a final line end adds no empty
// line; a zero byte ends the text. `line` returns false to stop early.
template <typename Line>
void ForEachLine(std::string_view text, Line line) {
    text = text.substr(0, text.find('\0'));
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        if (!line(text.substr(start, i - start))) {
            return;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        line(text.substr(start));
    }
}

// The number of lines, counting no further than `limit`.
std::size_t CountLines(std::string_view text, std::size_t limit);

// The lines of file text, as ForEachLine finds them.
std::vector<std::string> SplitLines(std::string_view text);

// Each line followed by CR LF, the last one included. A NUL, CR or LF inside
// a line is written as a space, so that the file keeps its lines.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace vaxo
