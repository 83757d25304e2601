// The one door for changes: typed values checked against their fields, all
// or none, and the set tidied as the send reads it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "stations/field_changes.h"
#include "stations/station_file.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

StrictReading Strictly(const std::string& line, char separator = '.') {
    const std::size_t equals = line.find('=');
    const StationField* field = FindField(line.substr(0, equals));
    EXPECT_NE(field, nullptr) << line;
    return ReadStrict(*field, line.substr(equals + 1), separator);
}

// Values the lenient reader would quietly turn into something else are refused.
TEST(StrictFields, RefuseWhatTheReaderWouldHaveChanged) {
    const char* refused[] = {"PTY=45",       "PTY=x",          "PTY=007",   "PTY=",      "DPSP=3",
                             "DPSP=66",      "RTSAT=0",        "RTSAT=31",  "SELRT=5",   "SELRT=0",
                             "PI=GGGG",      "PI=D3C",         "PI=D3C22",  "DI=101",    "DI=2000",
                             "MS=2",         "TP=yes",         "TA= 1",     "STB=3",     "RTFF=on",
                             "PS=TOO LONG!", "DPS1=NINECHARS", "EFCHAR=#+", "AF1=87.5",  "AF2=108",
                             "AF3=876",      "AF4=87,6",       "AF5=87.60", "PS=TAB\tIN"};
    for (const char* line : refused) {
        const StrictReading reading = Strictly(line);
        EXPECT_FALSE(reading.value) << line;
        EXPECT_FALSE(reading.refusal.empty()) << line;
    }
}

TEST(StrictFields, TakeEveryValueAWriterWrites) {
    RdsParameterSet set;
    set.PS = "ROCK";
    set.PI = "d3c2";
    set.PTY = 31;
    set.AF[0] = "87.6";
    set.AF[1] = "107.9";
    set.RT = std::string(64, 'x');
    set.STB = 2;
    set.DPSP = 65;
    set.EFCHAR = "";
    RdsParameterSet copy;
    ForEachStationField([&](const StationField& field) {
        const std::string line = FieldLine(set, field);
        if (line.starts_with("RTAB=")) {
            return;  // not a reader's key
        }
        const StrictReading reading = Strictly(line);
        ASSERT_TRUE(reading.value) << line;
        EXPECT_FALSE(ApplyFieldValues(copy, {{field.id, *reading.value}}, '.').refused) << line;
    });
    EXPECT_EQ(StationFileText(copy), StationFileText(set));
}

TEST(StrictFields, AfTextsAreReadWithTheSeparatorTheSendUses) {
    EXPECT_TRUE(Strictly("AF1=87,6", ',').value);
    const StrictReading dot = Strictly("AF2=87.6", ',');
    EXPECT_FALSE(dot.value);
    EXPECT_EQ(dot.refusal, "AF2 takes a frequency from 87,6 to 107,9 MHz, or nothing");
    EXPECT_TRUE(Strictly("AF1=", ',').value);
}

TEST(FieldValues, AllOrNone) {
    RdsParameterSet set;
    const AppliedValues refused = ApplyFieldValues(
        set,
        {{FieldId::PS, std::string("ONE")}, {FieldId::PTY, 99}, {FieldId::RT, std::string("two")}},
        '.');
    EXPECT_TRUE(refused.refused);
    ASSERT_EQ(refused.outcomes.size(), 3u);
    EXPECT_TRUE(refused.outcomes[0].Accepted());
    EXPECT_EQ(refused.outcomes[1].refusal, "PTY takes a number from 0 to 31");
    EXPECT_TRUE(refused.changed.Empty());
    EXPECT_EQ(set.PS, "FM RADIO") << "nothing changed";

    const AppliedValues taken = ApplyFieldValues(
        set, {{FieldId::PS, std::string("ONE")}, {FieldId::RT, std::string("two")}}, '.');
    EXPECT_FALSE(taken.refused);
    EXPECT_THAT(taken.changed.Keys(), ElementsAre("RT", "PS")) << "in the station file's order";
}

TEST(FieldValues, ATypedValueOfTheWrongKindOrRangeIsRefused) {
    RdsParameterSet set;
    for (const FieldAssignment& wrong :
         {FieldAssignment{FieldId::PS, 5}, FieldAssignment{FieldId::TA, 1},
          FieldAssignment{FieldId::PI, 0x10000}, FieldAssignment{FieldId::PI, std::string("D3C2")},
          FieldAssignment{FieldId::AF1, 875}, FieldAssignment{FieldId::AF1, 1080},
          FieldAssignment{FieldId::STB, 2}, FieldAssignment{FieldId::SELRT, 0},
          FieldAssignment{FieldId::RT, std::string("line\nbreak")},
          FieldAssignment{FieldId::PS, std::string("NINE CHRS")}}) {
        const AppliedValues applied = ApplyFieldValues(set, {wrong}, '.');
        EXPECT_TRUE(applied.refused) << Field(wrong.field).key;
    }
    EXPECT_EQ(StationFileText(set), StationFileText(RdsParameterSet{}));
}

TEST(FieldValues, NumbersBecomeTheTextsTheSetKeeps) {
    RdsParameterSet set;
    EXPECT_FALSE(ApplyFieldValues(set,
                                  {{FieldId::PI, 0xD3C2},
                                   {FieldId::AF1, 876},
                                   {FieldId::AF2, 1079},
                                   {FieldId::STB, Bank::Two},
                                   {FieldId::PORT, PortChoice::Lpt2}},
                                  ',')
                     .refused);
    EXPECT_EQ(set.PI, "D3C2");
    EXPECT_EQ(set.AF[0], "87,6");
    EXPECT_EQ(set.AF[1], "107,9");
    EXPECT_EQ(set.STB, 2);
    EXPECT_EQ(set.PORT, 1);
    EXPECT_TRUE(ApplyFieldValues(set, {{FieldId::AF1, 0}}, ',').changed.Count() > 0);
    EXPECT_EQ(set.AF[0], "107,9") << "no frequency: the list closes up";
    EXPECT_EQ(set.AF[1], "");
}

TEST(FieldValues, OnlyRealChangesAreTold) {
    RdsParameterSet set;
    EXPECT_TRUE(
        ApplyFieldValues(set, {{FieldId::PS, std::string("FM RADIO")}, {FieldId::PI, 0xFFFF}}, '.')
            .changed.Empty());
}

TEST(Tidy, PiAndTheAfListAsTheSendReadsThem) {
    RdsParameterSet set;
    set.PI = "D3:2";
    for (const auto& [i, text] :
         {std::pair{1, "87.6"}, std::pair{2, "abc"}, std::pair{3, "99.0"}}) {
        set.AF[static_cast<std::size_t>(i)] = text;
    }
    TidyStation(set, '.');
    EXPECT_EQ(set.PI, "FFFF");
    EXPECT_EQ(set.AF[0], "87.6");
    EXPECT_EQ(set.AF[1], "99.0");
    EXPECT_EQ(set.AF[2], "");
}

TEST(StationLines, LenientlyAsAStationFileIsRead) {
    RdsParameterSet set;
    const StationChange change =
        ApplyStationLines(set, "PTY=45\nPS=TOO LONG!\nEXIT=1\nnonsense\nPORT=1\nSEND=1", '.');
    EXPECT_EQ(set.PTY, 0);
    EXPECT_EQ(set.PS, "TOO LONG");
    EXPECT_TRUE(set.EXAL);
    EXPECT_EQ(set.PORT, 0) << "the port is no station field";
    EXPECT_EQ(change.sendAfterLoad, true) << "a SEND line asks for a send";
    EXPECT_THAT(change.changed.Keys(), ElementsAre("PS", "SEND", "EXIT"));
    EXPECT_EQ(ApplyStationLines(set, "SEND=0", '.').sendAfterLoad, false) << "SEND=0 cancels it";
}

TEST(StationLines, CountsTheLinesAStationFileWouldTake) {
    EXPECT_EQ(CountStationLines("PS=A\r\nnonsense\r\nGEN=x\r\nTOOLONGKEY=1\r\nPORT=1\r\nRT=b"), 2u);
    EXPECT_EQ(CountStationLines("hello\nworld"), 0u);
}

}  // namespace
}  // namespace vaxo
