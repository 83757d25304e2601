#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netcontrol/line_splitter.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Split(const std::vector<std::string>& pieces, std::size_t limit = 8,
                               bool datagram = false) {
    std::vector<std::string> lines;
    LineSplitter splitter(limit);
    const auto line = [&](std::string_view text) { lines.emplace_back(text); };
    for (const std::string& piece : pieces) {
        splitter.Feed(piece, line, [&] { lines.emplace_back("(too long)"); });
    }
    if (datagram) {
        splitter.Finish(line);
    }
    return lines;
}

TEST(LineSplitter, CrLfAndCrLfOrCrEndLinesWhereverThePiecesBreak) {
    EXPECT_THAT(Split({"A\rB\nC\r\nD\n\rE"}), ElementsAre("A", "B", "C", "D", ""))
        << "LF CR is two ends; the unended E waits";
    EXPECT_THAT(Split({"PS=A", "B\r", "\nPTY=1\r"}), ElementsAre("PS=AB", "PTY=1"));
    EXPECT_THAT(Split({"\r\n\r\n"}), ElementsAre("", ""));
    EXPECT_THAT(Split({"last"}, 8, true), ElementsAre("last")) << "a datagram ends its line";
}

TEST(LineSplitter, ALongLineIsToldOnceAndItsRestDropped) {
    EXPECT_THAT(Split({"12345678\r\n"}), ElementsAre("12345678"));
    EXPECT_THAT(Split({"123456789", std::string(5000, 'x'), "\r\nnext\n"}),
                ElementsAre("(too long)", "next"));
    EXPECT_THAT(Split({"123456789"}, 8, true), ElementsAre("(too long)"));
}

}  // namespace
}  // namespace vaxo
