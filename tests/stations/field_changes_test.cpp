// The one door for changes: lenient as a station file is read, strict as a
// network command is taken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "stations/field_changes.h"
#include "stations/station_file.h"

namespace vaxo {
namespace {

using ::testing::ElementsAre;

const FieldPolicy kStrict{.strict = true, .feedFilesAndExit = false};

FieldOutcome Strictly(RdsParameterSet& set, const std::string& line) {
    const FieldChanges changes = ApplyFieldLines(set, line, kStrict);
    return changes.outcomes.at(0);
}

// Values the lenient reader would quietly turn into something else are refused.
TEST(StrictFields, RefuseWhatTheReaderWouldHaveChangedAndChangeNothing) {
    const char* refused[] = {"PTY=45",       "PTY=x",          "PTY=007",   "PTY=",      "DPSP=3",
                             "DPSP=66",      "RTSAT=0",        "RTSAT=31",  "SELRT=5",   "SELRT=0",
                             "PI=GGGG",      "PI=D3C",         "PI=D3C22",  "DI=101",    "DI=2000",
                             "MS=2",         "TP=yes",         "TA= 1",     "STB=3",     "RTFF=on",
                             "PS=TOO LONG!", "DPS1=NINECHARS", "EFCHAR=#+", "AF1=87.5",  "AF2=108",
                             "AF3=876",      "AF4=87,6",       "AF5=87.60", "PS=TAB\tIN"};
    for (const char* line : refused) {
        RdsParameterSet set;
        const std::string before = StationFileText(set);
        const FieldOutcome outcome = Strictly(set, line);
        EXPECT_EQ(outcome.verdict, FieldVerdict::InvalidValue) << line;
        EXPECT_FALSE(outcome.reason.empty()) << line;
        EXPECT_EQ(StationFileText(set), before) << line << " changed something";
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
    for (const StationField& field : StationFields()) {
        const std::string line = StationFieldLine(set, field);
        if (line.starts_with("RTAB=") || line.starts_with("RTSF=") || line.starts_with("DPSSF=") ||
            line.starts_with("EXIT=")) {
            continue;  // not a reader's key, or not for every caller
        }
        EXPECT_EQ(Strictly(copy, line).verdict, FieldVerdict::Accepted) << line;
    }
    EXPECT_EQ(copy.PI, "D3C2");
    EXPECT_EQ(copy.STB, 2);
    EXPECT_EQ(Strictly(copy, "STB=2").verdict, FieldVerdict::Accepted);
    EXPECT_EQ(copy.STB, 2);
}

TEST(StrictFields, AfTextsAreReadWithTheSeparatorTheSendUses) {
    RdsParameterSet set;
    const FieldPolicy comma{.strict = true, .decimalSeparator = ','};
    EXPECT_EQ(ApplyFieldLines(set, "AF1=87,6", comma).outcomes[0].verdict, FieldVerdict::Accepted);
    const FieldChanges dot = ApplyFieldLines(set, "AF2=87.6", comma);
    EXPECT_EQ(dot.outcomes[0].verdict, FieldVerdict::InvalidValue);
    EXPECT_EQ(dot.outcomes[0].reason, "AF2 takes a frequency from 87,6 to 107,9 MHz, or nothing");
    EXPECT_EQ(ApplyFieldLines(set, "AF1=", comma).outcomes[0].verdict, FieldVerdict::Accepted);
}

TEST(FieldDoor, AnswersEachLineAndAppliesTheOthersAfterARefusal) {
    RdsParameterSet set;
    const FieldChanges changes =
        ApplyFieldLines(set, "PS=ONE\r\nPTY=99\r\nnonsense\r\nGEN=x\r\nEXIT=1\r\nRT=two", kStrict);
    std::vector<FieldVerdict> verdicts;
    for (const auto& outcome : changes.outcomes) {
        verdicts.push_back(outcome.verdict);
    }
    EXPECT_THAT(verdicts, ElementsAre(FieldVerdict::Accepted, FieldVerdict::InvalidValue,
                                      FieldVerdict::UnknownKey, FieldVerdict::UnknownKey,
                                      FieldVerdict::NotAllowed, FieldVerdict::Accepted));
    EXPECT_THAT(changes.changed, ElementsAre("RT", "PS")) << "in the station file's order";
    EXPECT_FALSE(set.EXAL);
}

TEST(FieldDoor, SendOneAsksForASendAndOnlyRealChangesAreTold) {
    RdsParameterSet set;
    const FieldChanges same = ApplyFieldLines(set, "PS=FM RADIO\nPI=ffff", kStrict);
    EXPECT_TRUE(same.changed.empty()) << "the values it had";
    const FieldChanges send = ApplyFieldLines(set, "SEND=1", kStrict);
    EXPECT_TRUE(send.sendAsked);
    EXPECT_TRUE(set.SendPending);
    EXPECT_FALSE(ApplyFieldLines(set, "SEND=0", kStrict).sendAsked);
    EXPECT_FALSE(set.SendPending) << "as a station file's SEND=0 cancels it";
}

TEST(FieldDoor, LenientlyAsAStationFileIsRead) {
    RdsParameterSet set;
    const FieldChanges changes = ApplyFieldLines(set, "PTY=45\nPS=TOO LONG!\nEXIT=1", {});
    for (const auto& outcome : changes.outcomes) {
        EXPECT_EQ(outcome.verdict, FieldVerdict::Accepted);
    }
    EXPECT_EQ(set.PTY, 0);
    EXPECT_EQ(set.PS, "TOO LONG");
    EXPECT_TRUE(set.EXAL);
}

}  // namespace
}  // namespace vaxo
