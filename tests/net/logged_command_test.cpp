#include <gtest/gtest.h>

#include "base/visible_text.h"
#include "net/logged_command.h"

namespace vaxo {
namespace {

// What a client sent reads in the log as it was sent: nothing in it can
// turn the text around, break the line, hide a part or steer a terminal.
TEST(LoggedCommand, InvisibleCharactersAreWrittenOut) {
    EXPECT_EQ(LoggedCommand("PS=\u202EDCBA"), "PS=\\u{202E}DCBA") << "right-to-left override";
    EXPECT_EQ(LoggedCommand("RT=a\u2066b\u2069c\u200Fd"), "RT=a\\u{2066}b\\u{2069}c\\u{200F}d");
    EXPECT_EQ(LoggedCommand("RT=one\u2028two\u2029"), "RT=one\\u{2028}two\\u{2029}");
    EXPECT_EQ(LoggedCommand("PS=A\u200BB\uFEFF\u00AD"), "PS=A\\u{200B}B\\u{FEFF}\\u{AD}");
    EXPECT_EQ(LoggedCommand("PS=\x1B[2J\r\n\t\u0085"), "PS=\\x1B[2J\\x0D\\x0A\\x09\\x85");
    EXPECT_EQ(LoggedCommand("RT=\U000E0041tag"), "RT=\\u{E0041}tag");
}

TEST(LoggedCommand, LettersStayAndOtherBytesAreTheStationsCodePage) {
    EXPECT_EQ(LoggedCommand("RT=Žluťoučký kůň 🎵"), "RT=Žluťoučký kůň 🎵");
    EXPECT_EQ(LoggedCommand("PS=\x8A\xE8"), "PS=Šč") << "not UTF-8: Windows-1250";
    EXPECT_EQ(LoggedCommand(std::string(200, 'R')), std::string(80, 'R'));
}

TEST(WithInvisiblesShown, BytesThatAreNoUtf8AreShownAndEscapesStayAsTheyAre) {
    EXPECT_EQ(WithInvisiblesShown("a\xFF\xC3"), "a\\xFF\\xC3");
    const std::string once = WithInvisiblesShown("x\u202Ey");
    EXPECT_EQ(WithInvisiblesShown(once), once);
}

}  // namespace
}  // namespace vaxo
