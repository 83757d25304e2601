#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "encoding/receiver_view.h"
#include "netcontrol/text_commands.h"
#include "tests/support/field_lines.h"
#include "tests/support/running_program.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class TextCommandsTest : public ::testing::Test {
  protected:
    std::string Reply(std::string_view line) {
        return HandleTextCommand(*program_, line, {Origin::Kind::TextClient, "text 192.0.2.7:4000"})
            .value_or("(none)");
    }
    const RdsParameterSet& Set() { return program_->View().Station(); }

    test::RunningProgram program_;
};

TEST_F(TextCommandsTest, EachReplyOfTheTable) {
    EXPECT_EQ(Reply("PS=NEWS FM"), "+");
    EXPECT_EQ(Set().PS, "NEWS FM");
    EXPECT_EQ(Reply("PTY=45"), "-");
    EXPECT_EQ(Reply("NOSUCH=1"), "!");
    EXPECT_EQ(Reply("hello"), "!");
    EXPECT_EQ(Reply("=1"), "!");
    EXPECT_EQ(Reply(""), "(none)") << "an empty line is no command";
    EXPECT_EQ(Reply("TEXT=" + std::string(70, 'x')), "/") << "cut to 61 and \"...\"";
    EXPECT_EQ(Set().RT, std::string(61, 'x') + "...");
    EXPECT_EQ(Reply("SEND"), "+");
    EXPECT_EQ(Reply("PS?"), "PS=NEWS FM");
    EXPECT_EQ(Reply("PTY?"), "PTY=0");
    EXPECT_EQ(Reply("DI?"), "DI=0000");
    EXPECT_EQ(Reply("NOSUCH?"), "!");
    EXPECT_THAT(Reply("STATUS?"), StartsWith("port LPT1: simulated encoder; "));
}

// What the station-file reader would turn into a default is refused, and
// changes nothing.
TEST_F(TextCommandsTest, ValuesAreTakenOnlyAsTheyStand) {
    const RdsParameterSet before = Set();
    for (const char* line : {"PTY=45", "PTY=x", "DPSP=3", "DPSP=66", "PS=\x01", "PI=GGGG",
                             "PI=12345", "TP=2", "DI=16", "AF1=120.0", "AF1=87.5",
                             "RT="
                             "\x01",
                             "SELRT=5", "STB=3", "RTSAT=31", "EFCHAR=ab"}) {
        EXPECT_EQ(Reply(line), "-") << line;
    }
    EXPECT_EQ(Set().PS, before.PS);
    EXPECT_EQ(Set().PTY, before.PTY);
    EXPECT_EQ(Set().PI, before.PI);
    EXPECT_EQ(Set().AF[0], before.AF[0]);
    EXPECT_EQ(program_.Refusals().size(), 16u);
    EXPECT_THAT(program_.Refusals()[0], HasSubstr("PTY takes a number from 0 to 31"));
    for (const char* line :
         {"PTY=31", "DPSP=7", "PS=EIGHT CH", "PI=c201", "AF1=107.9", "AF1=", "STB=2", "SELRT=4"}) {
        EXPECT_NE(Reply(line), "-") << line;
    }
}

TEST_F(TextCommandsTest, NothingReceivedNamesAFileOrEndsTheProgram) {
    const std::string feed = Set().RTFILE;
    EXPECT_EQ(Reply("RTSF=/etc/shadow"), "!");
    EXPECT_EQ(Reply("DPSSF=/etc/shadow"), "!");
    EXPECT_EQ(Reply("EXIT=1"), "!");
    EXPECT_EQ(Reply("RTSF?"), "!");
    EXPECT_EQ(Set().RTFILE, feed);
    EXPECT_THAT(program_.Refusals(),
                ElementsAre("RTSF is not settable from here", "DPSSF is not settable from here",
                            "EXIT is not settable from here", "no field to ask for"));
}

TEST_F(TextCommandsTest, TextsAreUtf8OrWindows1250LineByLine) {
    EXPECT_EQ(Reply("PS=\xC5\xBD"
                    "ELEZ"),
              "+");  // "ŽELEZ" in UTF-8: Ž goes on air as itself
    EXPECT_EQ(Set().PS,
              "\x8E"
              "ELEZ");
    EXPECT_EQ(Reply("PS=\x8A"
                    "KODA"),
              "+");  // "ŠKODA" in Windows-1250
    EXPECT_EQ(Set().PS, "\x8AKODA");
    test::Do(*program_, SetFields{{{FieldId::PS, std::string("\x8A"
                                                             "KODA")}}});
    EXPECT_EQ(Reply("PS?"), "PS=\xC5\xA0KODA") << "answered in UTF-8";
    EXPECT_EQ(Reply("TEXT=Caf\xC3\xA9 \xE6\x97\xA5"), "/") << "a character lost on the way";
}

// What playout systems send: titles as PS, cut with "/", a letter the RDS
// table lacks with "/"; DI as a number; the keys of what other encoders
// carry named.
TEST_F(TextCommandsTest, PlayoutDialectsAreTakenAsTheySendThem) {
    EXPECT_EQ(Reply("PS=\xC3\x9C"
                    "ber den Wolken"),
              "/");  // "Über den Wolken" in UTF-8
    EXPECT_EQ(Set().PS,
              "\xDC"
              "ber den");
    EXPECT_EQ(Reply("PS=\xC5\x81\xC3\xB3\x64\xC5\xBA"), "/") << "Łódź: Ł goes on air as L";
    EXPECT_EQ(Set().PS,
              "\xA3\xF3"
              "d\x9F")
        << "the station keeps its letters";
    EXPECT_EQ(Reply("PS=\xC4\x8C"
                    "esk\xC3\xA1"),
              "+")
        << "Česká: the RDS table has every letter";
    const auto onAir = [&] {
        const MemoryDump memory = program_->View().Preview();
        return DecodeEncoderMemory(memory.area1, memory.area2).ps.Shown();
    };
    EXPECT_EQ(onAir(), "\u010Cesk\u00E1   ");
    EXPECT_EQ(Reply("PS=\xA3\xF3"
                    "d\x9F"),
              "/")
        << "Łódź in Windows-1250";
    EXPECT_EQ(onAir(), "L\u00F3d\u017A    ");
    EXPECT_EQ(Reply("DPS3=ABCDEFGHIJ"), "/");
    EXPECT_EQ(Set().DPS[2], "ABCDEFGH");
    EXPECT_EQ(Reply("RT2=" + std::string(70, 'r')), "/");
    EXPECT_EQ(Set().RT2, std::string(64, 'r'));
    EXPECT_EQ(Reply("PS=\xE6\x97\xA5"), "/") << "a character Windows-1250 lacks";
    EXPECT_EQ(Reply("DI=3"), "+");
    EXPECT_EQ(Reply("DI?"), "DI=0011") << "stereo and artificial head, dynamic PTY first";
    EXPECT_EQ(Reply("DI=1001"), "+");
    EXPECT_EQ(Reply("DI=16"), "-");
    const Origin page{Origin::Kind::WebSession, "web 192.0.2.7"};
    EXPECT_EQ(AnswerTextCommand(*program_, "PS=NINE CHAR", page)->line, "-") << "typed, not cut";
    EXPECT_EQ(AnswerTextCommand(*program_,
                                "PS=\xC3\x9C"
                                "BER",
                                page)
                  ->line,
              "+");
    EXPECT_EQ(Set().PS,
              "\xDC"
              "BER")
        << "a letter typed on the page stays";
    for (const char* line : {"PTYN=ROCK", "CT=1", "DATE=2026-12-09", "UTC=1", "AF8=99.0"}) {
        EXPECT_EQ(Reply(line), "!") << line;
        EXPECT_THAT(program_.Refusals().back(), HasSubstr("not carried by this encoder"));
    }
    for (const std::string& line :
         {std::string("hello\xFF"), std::string("X\0Y", 3), std::string("NOPE=\xE6\x97\xA5")}) {
        EXPECT_EQ(Reply(line), "!") << "no command, whatever its characters";
    }
}

// The aliases do what the feeds do with a line of their file.
TEST_F(TextCommandsTest, AliasesProcessAsTheFeeds) {
    EXPECT_EQ(Reply("TEXT=Artist - Title   "), "+");
    EXPECT_EQ(Set().RT, "Artist - Title");
    EXPECT_EQ(Reply("DPS=ONE TWO THREE"), "+");
    EXPECT_EQ(Set().DPS[0], "ONE TWO ");
    EXPECT_EQ(Set().DPS[1], "THREE");
    EXPECT_EQ(Set().DPS[2], "");
}

TEST_F(TextCommandsTest, ChangesAreToldWithTheirClientAndCommand) {
    EXPECT_EQ(Reply("PS=TOLD"), "+");
    ASSERT_EQ(program_.remote.size(), 1u);
    EXPECT_EQ(program_.remote[0].origin, "text 192.0.2.7:4000");
    EXPECT_EQ(program_.remote[0].command, "PS=TOLD");
    EXPECT_THAT(program_.remote[0].changed.Keys(), ElementsAre("PS"));
    EXPECT_EQ(Reply("PS=TOLD"), "+");
    EXPECT_EQ(program_.remote.size(), 1u) << "the same value is no change";
    EXPECT_EQ(Reply("PS=\x1B[2J"), "-");
    EXPECT_EQ(program_.remote.back().command, "PS=\\x1B[2J")
        << "no control character reaches a log";
    EXPECT_EQ(Reply("\x1B[2J=1"), "!");
    EXPECT_EQ(program_.remote.back().refused, "no field has the key \\x1B[2J");
    EXPECT_EQ(Reply(std::string("PS=AB\0CD", 8)), "-") << "a NUL cuts nothing short";
    EXPECT_EQ(Set().PS, "TOLD");
}

}  // namespace
}  // namespace vaxo
