#include <gtest/gtest.h>

#include <sstream>

#include "stations/station_file.h"
#include "tests/support/temp_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

using test::TempDir;
using test::WriteBytes;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Show(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = ShowCommand(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(ShowCommand, PrintsWhatSavingTheLoadedSetWouldWrite) {
    TempDir dir;
    WriteBytes(dir / "partial.rds", "PS=JAZZ\nPI=abcd\nSELRT=9\n");
    const Outcome shown = Show({"--decimal-separator", ",", dir / "partial.rds"});
    EXPECT_EQ(shown.code, 0);
    RdsParameterSet expected;
    expected.PS = "JAZZ";
    expected.PI = "ABCD";
    expected.SELRT = 4;
    EXPECT_EQ(shown.out, StationFileText(expected)) << "applied onto the New set";
}

TEST(ShowCommand, MissingFileGivesTheNewSetAndAnUnreadableOneFails) {
    TempDir dir;
    EXPECT_EQ(Show({dir / "none.rds"}).out, StationFileText(RdsParameterSet{}));
    const Outcome failed = Show({dir.path().string()});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "Cannot open file " + dir.path().string() + "\n");
}

TEST(ShowCommand, RejectsMisuse) {
    EXPECT_THROW(Show({}), UsageError);
    EXPECT_THROW(Show({"a.rds", "b.rds"}), UsageError);
    EXPECT_THROW(Show({"--bogus", "a.rds"}), UsageError);
    EXPECT_THROW(Show({"a.rds", "--decimal-separator"}), UsageError);
}

}  // namespace
}  // namespace vaxo::ctl
