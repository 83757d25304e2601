#include <gtest/gtest.h>

#include "base/code_page.h"
#include "formats/rtf_parser.h"

namespace vaxo {
namespace {

std::string PlainText(const RtfDocumentModel& model) {
    std::string text;
    for (const RtfParagraph& paragraph : model.paragraphs) {
        for (const RtfRun& run : paragraph.runs) {
            text += ToUtf8(run.text);
        }
        text += "|";
    }
    return text;
}

// As WordPad on a Central European system saves a short note.
constexpr const char* kWordPadCzech =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\nouicompat\\deflang1029{\\fonttbl{\\f0\\fnil\\fcharset238 "
    "Calibri;}}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\b\\f0\\fs22\\lang5 P\\'f8\\'edli\\'9a\\b0  "
    "\\'9elu\\'9dou\\'e8k\\'fd "
    "k\\'f9\\'f2\\par\r\n"
    "\\i \\'fap\\'ecl\\i0  \\ul \\'ef\\'e1belsk\\'e9\\ulnone  \\'f3dy\\par\r\n}\r\n";

TEST(RtfParser, WordPadTextWithCentralEuropeanLetters) {
    const RtfDocumentModel model = ParseRtf(kWordPadCzech);
    EXPECT_EQ(PlainText(model), "Příliš žluťoučký kůň|úpěl ďábelské ódy|");
    ASSERT_EQ(model.paragraphs.size(), 2u);
    const auto& first = model.paragraphs[0].runs;
    EXPECT_TRUE(first[0].format.bold);
    EXPECT_EQ(first[0].format.halfPoints, 22);
    EXPECT_FALSE(first[1].format.bold);
    const auto& second = model.paragraphs[1].runs;
    EXPECT_TRUE(second[0].format.italic);
    EXPECT_TRUE(second[2].format.underline);
    EXPECT_FALSE(second[3].format.underline);
    ASSERT_EQ(model.fonts.size(), 1u);
    EXPECT_EQ(model.fonts[0].name, "Calibri");
    EXPECT_EQ(model.fonts[0].charset, 238);
}

// As a word processor writes Unicode with a Windows-1252 fallback.
TEST(RtfParser, UnicodeEscapesSkipTheirFallback) {
    const char* text =
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\\uc1"
        "\\f0 Stra\\u223?e \\u8364\\'80 \\uc2\\u8211\\'96\\'96 end\\par}";
    EXPECT_EQ(PlainText(ParseRtf(text)), "Straße € – end|");
}

TEST(RtfParser, GroupsRestoreFormattingAndTablesGiveFontsAndColours) {
    const char* text =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}{\\f1\\fmodern Courier;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}"
        "\\pard\\qc plain {\\b\\cf1 red bold {\\i\\f1 inner}} back\\line next\\tab tab\\par}";
    const RtfDocumentModel model = ParseRtf(text);
    ASSERT_EQ(model.colours.size(), 3u);
    EXPECT_FALSE(model.colours[0].has_value());
    EXPECT_EQ(*model.colours[1], 0xFF0000u);
    EXPECT_EQ(*model.colours[2], 0x000080u);
    ASSERT_EQ(model.fonts.size(), 2u);
    EXPECT_EQ(model.fonts[1].name, "Courier");
    ASSERT_EQ(model.paragraphs.size(), 1u);
    const RtfParagraph& paragraph = model.paragraphs[0];
    EXPECT_EQ(paragraph.alignment, RtfAlignment::Centre);
    EXPECT_EQ(PlainText(model), "plain red bold inner back\nnext\ttab|");
    EXPECT_EQ(paragraph.runs[1].format.colour, 1);
    EXPECT_TRUE(paragraph.runs[2].format.italic && paragraph.runs[2].format.bold);
    EXPECT_EQ(paragraph.runs[2].format.font, 1);
    EXPECT_FALSE(paragraph.runs[3].format.bold) << "the group's formatting ends with it";
}

TEST(RtfParser, SkippedDestinationsShowNothing) {
    const char* text =
        "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}{\\author Someone}}"
        "{\\*\\unknowndestination hidden}{\\pict\\pngblip 89504e470d0a}"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt shown}} text\\par}";
    EXPECT_EQ(PlainText(ParseRtf(text)), "shown text|");
}

TEST(RtfParser, EscapesAndSymbols) {
    const char* text =
        "{\\rtf1 a\\{b\\}c\\\\d\\~e\\endash f\\emdash g\\bullet\\lquote q\\rquote\\par}";
    EXPECT_EQ(PlainText(ParseRtf(text)), "a{b}c\\d\u00A0e–f—g•‘q’|");
}

TEST(RtfParser, BrokenInputEndsQuietly) {
    EXPECT_EQ(PlainText(ParseRtf("{\\rtf1 unclosed {\\b group")), "unclosed group|");
    EXPECT_EQ(PlainText(ParseRtf("}}} stray\\")), " stray|");
    EXPECT_EQ(PlainText(ParseRtf("\\'4")), "\x04|");
    EXPECT_EQ(PlainText(ParseRtf("{\\rtf1\\fs99999999999999999999 big\\u-4000?}")).substr(0, 3),
              "big");
    EXPECT_TRUE(ParseRtf("").paragraphs.empty());
    const std::string deep = std::string(100000, '{') + "deep" + std::string(100000, '}');
    EXPECT_EQ(PlainText(ParseRtf(deep)), "");
    const std::string wide = "{\\rtf1 " + std::string(200000, 'x') + "}";
    EXPECT_EQ(PlainText(ParseRtf(wide)).size(), 200001u);
}

}  // namespace
}  // namespace vaxo
