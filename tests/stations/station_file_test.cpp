#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "stations/field_changes.h"
#include "stations/station_file.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;

RdsParameterSet Loaded(std::string_view text, RdsParameterSet set = {}) {
    static_cast<void>(ApplyStationText(set, text, '.'));
    return set;
}

StationChange Change(std::string_view text, RdsParameterSet set = {}) {
    return ApplyStationText(set, text, '.');
}

TEST(SaveStation, WritesTheFortySevenLinesOfTheNewSet) {
    const std::string expected =
        "CLEAR\r\nPTY=0\r\nMS=1\r\nTP=1\r\nTA=0\r\nPI=FFFF\r\nDI=0000\r\nRT=\r\nRT2=\r\nRT3=\r\n"
        "RT4=\r\nSELRT=1\r\nRTAB=0\r\nRTFF=0\r\nRTSC=1\r\nAF1=\r\nAF2=\r\nAF3=\r\nAF4=\r\n"
        "AF5=\r\nAF6=\r\nAF7=\r\nPS=FM RADIO\r\nDPSE=0\r\nDPSFF=0\r\nDPSSC=1\r\nDPSP=13\r\n"
        "DPSSA=1\r\nDPSEF=0\r\nDPS1=\r\nDPS2=\r\nDPS3=\r\nDPS4=\r\nDPS5=\r\nDPS6=\r\nDPS7=\r\n"
        "DPS8=\r\nRTSF=rt.txt\r\nRTSAT=5\r\nRTSA=0\r\nDPSSF=dps.txt\r\nEFCHAR=*\r\nSTB=1\r\n"
        "MBS=0\r\nSEND=0\r\nEXIT=0\r\nGEN=VAXO for Windows 3\r\n";
    const std::string text = StationFileText(RdsParameterSet{});
    EXPECT_EQ(text, expected);
    EXPECT_EQ(SplitLines(text).size(), 47u);
}

// A station that uses no fallback keeps the file every reader knows; one
// that does gets the lines it set, and reads them back.
TEST(SaveStation, WritesTheFallbackLinesOnlyWhenSet) {
    RdsParameterSet set;
    set.RTSTALE = 10;
    set.RTFB = "Rock FM - the best rock";
    const std::string text = StationFileText(set);
    EXPECT_EQ(SplitLines(text).size(), 49u);
    EXPECT_NE(text.find("EFCHAR=*\r\nRTFB=Rock FM - the best rock\r\nRTSTALE=10\r\nSTB=1"),
              std::string::npos);
    RdsParameterSet read;
    read.DPSSTALE = 3;
    static_cast<void>(ApplyStationText(read, text, '.'));
    EXPECT_EQ(read.RTSTALE, 10);
    EXPECT_EQ(read.RTFB.str(), "Rock FM - the best rock");
    EXPECT_EQ(read.DPSSTALE, 0) << "CLEAR resets what the file leaves out";
}

TEST(SaveStation, WritesSelectionUseAbAndBankInTheirOwnForms) {
    RdsParameterSet set;
    set.SELRT = 0;
    set.ABSW = true;
    set.STB = 2;
    set.DI = {true, false, false, true};
    set.MS = 0;
    const auto lines = SplitLines(StationFileText(set));
    EXPECT_EQ(lines[11], "SELRT=4") << "no selection is written as 4";
    EXPECT_EQ(lines[12], "RTUSAB=1");
    EXPECT_EQ(lines[42], "STB=0");
    EXPECT_EQ(lines[6], "DI=1001");
    EXPECT_EQ(lines[2], "MS=0");
}

TEST(LoadStation, ClearResetsOnlyAsTheExactFirstLineOfAShortFile) {
    RdsParameterSet base;
    base.PS = "KEEP ME";
    EXPECT_EQ(Loaded("CLEAR\r\n", base).PS, "        ");
    EXPECT_TRUE(Change("CLEAR", base).cleared);
    EXPECT_EQ(Change("CLEAR", base).sendAfterLoad, false) << "a reset asks for no send";
    for (const char* text : {"cleaR\r\n", "CLEAR \r\n", " CLEAR\r\n", "TP=1\r\nCLEAR\r\n"}) {
        const auto set = Loaded(text, base);
        EXPECT_EQ(set.PS, "KEEP ME") << text;
        EXPECT_FALSE(Change(text, base).cleared) << text;
    }
    std::string longFile = "CLEAR\r\n";
    for (int i = 1; i < 129; ++i) {
        longFile += "X=1\r\n";
    }
    longFile += "TA=1\r\n";  // 130 lines
    const auto set = Loaded(longFile, base);
    EXPECT_EQ(set.PS, "KEEP ME") << "130 lines are never reset";
    EXPECT_EQ(set.TA, 1) << "but their lines apply";

    std::string limitFile = "CLEAR\r\n";
    for (int i = 1; i < 127; ++i) {
        limitFile += "X=1\r\n";
    }
    EXPECT_EQ(Loaded(limitFile, base).PS, "        ") << "127 lines still reset";
    EXPECT_EQ(Loaded(limitFile + "X=1\r\n", base).PS, "KEEP ME") << "128 lines do not";
}

TEST(LoadStation, PartialFileChangesOnlyWhatItNames) {
    RdsParameterSet base;
    base.PS = "OLD PS";
    const auto set = Loaded("RT=Hello\r\nSEND=1\r\n", base);
    EXPECT_EQ(set.RT, "Hello");
    EXPECT_TRUE(set.SEND);
    EXPECT_EQ(Change("RT=Hello\r\nSEND=1\r\n", base).sendAfterLoad, true) << "asks for one send";
    EXPECT_FALSE(Change("RT=Hello\r\nSEND=1\r\n", base).cleared);
    EXPECT_EQ(set.PS, "OLD PS");
    EXPECT_EQ(Change("SEND=0", set).sendAfterLoad, false) << "SEND=0 asks for none";
    EXPECT_EQ(Change("RT=Only", set).sendAfterLoad, std::nullopt) << "nor says anything";
}

TEST(LoadStation, ValuesKeepEqualsSignsAndSpaces) {
    EXPECT_EQ(Loaded("RT=a=b").RT, "a=b");
    EXPECT_EQ(Loaded("PS=        ").PS, "        ");
    EXPECT_EQ(Loaded("RT= x ").RT, " x ");
    EXPECT_EQ(Loaded("RTSF=C:\\feeds\\now playing.txt").RTFILE, "C:\\feeds\\now playing.txt");
}

TEST(LoadStation, SmallNumbersAcceptOneOrTwoDigitsInRange) {
    struct Case {
        const char* value;
        int pty;
    };
    for (const Case c :
         {Case{"31", 31}, Case{"07", 7}, Case{"7", 7}, Case{"32", 0}, Case{"x", 0}, Case{"007", 0},
          Case{"", 0}, Case{" 7", 0}, Case{"+7", 0}, Case{"7 ", 0}, Case{"1x", 0}}) {
        RdsParameterSet base;
        base.PTY = 9;
        EXPECT_EQ(Loaded(std::string("PTY=") + c.value, base).PTY, c.pty) << c.value;
    }
    EXPECT_EQ(Loaded("DPSP=66").DPSP, 13);
    EXPECT_EQ(Loaded("DPSP=6").DPSP, 13);
    EXPECT_EQ(Loaded("DPSP=65").DPSP, 65);
    EXPECT_EQ(Loaded("DPSP=07").DPSP, 7);
    EXPECT_EQ(Loaded("RTSAT=0").RTSAT, 5);
    EXPECT_EQ(Loaded("RTSAT=31").RTSAT, 5);
    EXPECT_EQ(Loaded("RTSAT=30").RTSAT, 30);
}

TEST(LoadStation, FlagsAreOnOnlyForExactlyOne) {
    RdsParameterSet on;
    on.UPCH = on.DPSA = true;
    EXPECT_FALSE(Loaded("RTSC=1 ", on).UPCH);
    EXPECT_FALSE(Loaded("RTSC= 1", on).UPCH);
    EXPECT_FALSE(Loaded("DPSSA=true", on).DPSA);
    EXPECT_FALSE(Loaded("DPSSA=", on).DPSA);
    EXPECT_TRUE(Loaded("RTFF=1").RTFF);
    EXPECT_EQ(Loaded("MS=2").MS, 0) << "anything but 1 is Speech";
    EXPECT_EQ(Loaded("STB=2").STB, 2) << "only 1 means bank 1";
    EXPECT_EQ(Loaded("STB=1").STB, 1);
}

TEST(LoadStation, UseAbIsReadFromRtusabOnly) {
    RdsParameterSet on;
    on.ABSW = true;
    EXPECT_TRUE(Loaded("RTAB=0", on).ABSW) << "RTAB is not a key of the reader";
    EXPECT_FALSE(Loaded("CLEAR\r\nRTAB=0", on).ABSW) << "a complete file clears it by reset";
    EXPECT_TRUE(Loaded("RTUSAB=1").ABSW);
}

TEST(LoadStation, DecoderIdNeedsExactlyFourCharacters) {
    RdsParameterSet all;
    all.DI = {true, true, true, true};
    EXPECT_EQ(Loaded("DI=101", all).DI, (DecoderId{false, false, false, false}));
    EXPECT_EQ(Loaded("DI=1001", all).DI, (DecoderId{true, false, false, true}));
    EXPECT_EQ(Loaded("DI=1x0y", all).DI, (DecoderId{false, false, false, true}));
    EXPECT_EQ(Loaded("DI=00001", all).DI, (DecoderId{false, false, false, false}));
}

TEST(LoadStation, SelectionOutsideOneToFourLeavesNoRadiotext) {
    const auto set = Loaded("RT=one\r\nSELRT=5");
    EXPECT_EQ(set.SELRT, 0);
    EXPECT_EQ(set.ActualRT(), "");
    EXPECT_EQ(Loaded("SELRT=3").SELRT, 3);
    EXPECT_EQ(Loaded("SELRT=03").SELRT, 0);
}

TEST(LoadStation, TextsAreCutAndPiIsCapitalised) {
    const auto set = Loaded("RT=" + std::string(64, 'r') +
                            "TAIL\r\nPS=123456789\r\nAF1=107.95\r\n"
                            "DPS2=ABCDEFGHI\r\nEFCHAR=#+\r\nPI=a1b2c3");
    EXPECT_EQ(set.RT, std::string(64, 'r'));
    EXPECT_EQ(set.PS, "12345678");
    EXPECT_EQ(set.AF[0], "107.9");
    EXPECT_EQ(set.DPS[1], "ABCDEFGH");
    EXPECT_EQ(set.EFCHAR, "#");
    EXPECT_EQ(set.PI, "A1B2");
    EXPECT_EQ(Loaded("EFCHAR=").EFCHAR, "") << "an empty effect character stays empty";
}

// A PI that is no four hexadecimal digits and AF entries that are no
// frequencies are taken as the send's check makes them, so that the set
// holds what goes on air.
TEST(LoadStation, PiAndFrequenciesAreTakenAsTheyGoOnAir) {
    const auto set = Loaded("PI=D3C\r\nAF1=\r\nAF2=87.6\r\nAF3=abc\r\nAF4= 99.0\r\nAF5=108");
    EXPECT_EQ(set.PI, "FFFF");
    EXPECT_EQ(set.AF[0], "87.6");
    EXPECT_EQ(set.AF[1], " 99.0") << "a valid entry keeps its text";
    for (std::size_t i = 2; i < 7; ++i) {
        EXPECT_EQ(set.AF[i], "") << i;
    }
    EXPECT_EQ(Loaded("AF1=87,6").AF[0], "") << "not with a point as the separator";
    RdsParameterSet comma;
    ApplyStationText(comma, "AF1=87,6", ',');
    EXPECT_EQ(comma.AF[0], "87,6");
}

TEST(LoadStation, KeysAreExactAndMalformedLinesIgnored) {
    RdsParameterSet base;
    const auto set = Loaded(
        "ps=lower\r\nPS =space\r\n=PS=x\r\nP\r\n\r\nNOKEY\r\nTOOLONGKEY=1\r\n"
        "CLEAR\r\nGEN=anything",
        base);
    EXPECT_EQ(StationFileText(set), StationFileText(base));
}

TEST(LoadStation, AnyLineEndWorksAndAZeroByteEndsTheText) {
    EXPECT_EQ(Loaded("TA=1\rTP=0\nPTY=4\r\nMS=0").TA, 1);
    const auto set = Loaded("TA=1\rTP=0\nPTY=4\r\nMS=0");
    EXPECT_EQ(set.TP, 0);
    EXPECT_EQ(set.PTY, 4);
    EXPECT_EQ(set.MS, 0);
    const auto cut = Loaded(std::string("TA=1\r\nPS=AB\0CD\r\nTP=0", 21));
    EXPECT_EQ(cut.PS, "AB");
    EXPECT_EQ(cut.TP, 1) << "nothing after the zero byte is read";
}

TEST(LoadStation, LaterLinesOverrideEarlierOnes) {
    EXPECT_EQ(Loaded("PS=FIRST\r\nPS=SECOND").PS, "SECOND");
}

// Random sets with every byte a text may hold (all but CR, LF and NUL).
RdsParameterSet RandomSet(std::mt19937& random) {
    auto text = [&](std::size_t maxLength) {
        std::string s(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), ' ');
        for (char& c : s) {
            do {
                c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
            } while (c == '\r' || c == '\n' || c == '\0');
        }
        return s;
    };
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto flag = [&] { return number(0, 1) == 1; };
    RdsParameterSet s;
    s.PI = text(4);
    s.PS = text(8);
    s.PTY = number(0, 31);
    s.TP = number(0, 1);
    s.TA = number(0, 1);
    s.MS = number(0, 1);
    for (auto& bit : s.DI)
        bit = flag();
    for (auto& af : s.AF)
        af = text(5);
    s.RT = text(64);
    s.RT2 = text(64);
    s.RT3 = text(64);
    s.RT4 = text(64);
    for (auto& dps : s.DPS)
        dps = text(8);
    s.SELRT = number(0, 4);
    s.ABSW = flag();
    s.RTFF = flag();
    s.RTFILE = text(200);
    s.UPCH = flag();
    s.RTSA = flag();
    s.RTSAT = number(1, 30);
    s.ENDPS = flag();
    s.PSFF = flag();
    s.PSFILE = text(200);
    s.UPCHPS = flag();
    s.DPSA = flag();
    s.DPSC = flag();
    s.EFCHAR = text(1);
    s.DPSP = number(7, 65);
    s.STB = number(1, 2);
    s.AUTBSW = flag();
    s.SEND = flag();
    s.EXAL = flag();
    return s;
}

TEST(StationRoundTrip, SaveThenLoadGivesTheSameSetBack) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 500; ++round) {
        const RdsParameterSet original = RandomSet(random);
        RdsParameterSet loaded;
        loaded.PS = "OTHER";
        loaded.SEND = !original.SEND;
        const StationChange change = ApplyStationText(loaded, StationFileText(original), '.');

        // What the program holds: PI and the AF list as they go on air.
        RdsParameterSet expected = original;
        TidyStation(expected, '.');
        if (expected.SELRT == 0) {
            expected.SELRT = 4;
        }
        ASSERT_EQ(StationFileText(loaded), StationFileText(expected)) << "round " << round;
        ASSERT_EQ(loaded.SELRT, expected.SELRT);
        ASSERT_EQ(loaded.ABSW, original.ABSW);
        ASSERT_EQ(change.sendAfterLoad, original.SEND);
    }
}

TEST(StationFiles, LoadAndSaveWorkOnTheNamedFile) {
    TempDir dir;
    RdsParameterSet set;
    const std::string name = dir / "missing.rds";
    EXPECT_TRUE(LoadStationFile(set, name, '.').change.changed.Empty());
    EXPECT_EQ(set.PS, "FM RADIO") << "a missing file changes nothing";

    set.PS = "SAVED";
    static_cast<void>(SaveStationFile(set, name));
    EXPECT_EQ(ReadBytes(name), StationFileText(set));

    RdsParameterSet other;
    const StationLoad load = LoadStationFile(other, name, '.');
    EXPECT_THAT(load.change.changed.Keys(), ElementsAre("PS")) << "only PS differs";
    EXPECT_TRUE(load.change.cleared);
    EXPECT_EQ(load.fingerprint, ContentFingerprint(ReadBytes(name)));
    EXPECT_EQ(other.PS, "SAVED");
}

TEST(StationFiles, UnreadableFileChangesNothingAndReportsItsName) {
    TempDir dir;
    RdsParameterSet set;
    const std::string folder = dir.path().string();
    EXPECT_THROW(
        {
            try {
                static_cast<void>(LoadStationFile(set, folder, '.'));
            } catch (const FileError& error) {
                EXPECT_EQ(std::string(error.what()), "Cannot open file " + folder);
                throw;
            }
        },
        FileError);
    EXPECT_EQ(set.PS, "FM RADIO");
    EXPECT_THROW(static_cast<void>(SaveStationFile(set, dir / "missing-folder/a.rds")), FileError);
}

}  // namespace
}  // namespace vaxo
