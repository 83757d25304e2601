#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaxo {

// Splits file text into lines. CR LF, a lone CR and a lone LF each end a
// line; a final line end adds no empty line; a zero byte ends the text.
std::vector<std::string> SplitLines(std::string_view text);

// Each line followed by CR LF, the last one included. A NUL, CR or LF inside
// a line is written as a space, so that the file keeps its lines.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace vaxo
