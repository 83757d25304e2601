#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vaxo {

// The part of RTF that a help text needs, as a word processor writes it:
// groups, paragraphs, bold, italic, underline, font sizes, the font and
// colour tables, \'hh bytes in the font's code page (Windows-1250 for the
// Central European charset), \uN, and the destinations to skip. Plain C++,
// so that it can be fuzzed without a toolkit. Any bytes are accepted; the
// work is linear in the input.

struct RtfCharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int font = -1;   // index into the font table
    int colour = 0;  // index into the colour table; 0 is the automatic colour

    bool operator==(const RtfCharFormat&) const = default;
};

struct RtfRun {
    std::u32string text;  // '\n' for a line break inside the paragraph, '\t' for a tab
    RtfCharFormat format;
};

enum class RtfAlignment { Left, Centre, Right, Justify };

struct RtfParagraph {
    std::vector<RtfRun> runs;
    RtfAlignment alignment = RtfAlignment::Left;
    int leftIndentTwips = 0;
    int spaceBeforeTwips = 0;
    int spaceAfterTwips = 0;
};

struct RtfFont {
    int number = 0;
    int charset = 0;
    std::string name;  // UTF-8
};

struct RtfDocumentModel {
    // A font table longer than a word processor would ever write is cut here,
    // and so is a font name: memory follows what is kept, not what is read.
    static constexpr std::size_t kFontLimit = 4096;
    static constexpr std::size_t kFontNameLimit = 256;

    std::vector<RtfParagraph> paragraphs;
    std::vector<RtfFont> fonts;
    std::vector<std::optional<std::uint32_t>> colours;  // 0xRRGGBB; empty entry: automatic
};

RtfDocumentModel ParseRtf(std::string_view bytes);

// The font of each number, the first entry winning, as a look-up table.
std::unordered_map<int, const RtfFont*> FontsByNumber(const RtfDocumentModel& model);

}  // namespace vaxo
