#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#else
#define WEXITSTATUS(status) (status)
#endif

#include <cstdlib>
#include <sstream>

#include "stations/station_file.h"
#include "tests/support/command_outcome.h"
#include "tests/support/temp_dir.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace vaxo::ctl {
namespace {

using test::TempDir;
using test::WriteBytes;

using Outcome = test::CommandOutcome;

Outcome Show(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = ShowCommand(args, out, err);
    return {code, out.str(), err.str()};
}

TEST(ShowCommand, PrintsWhatSavingTheLoadedSetWouldWrite) {
    TempDir dir;
    WriteBytes(dir / "partial.rds", "PS=JAZZ\nPI=abcd\nSELRT=9\n");
    const Outcome shown = Show({dir / "partial.rds"});
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
    EXPECT_THROW(Show({"--decimal-separator", ",", "a.rds"}), UsageError) << "it would be ignored";
}

}  // namespace
}  // namespace vaxo::ctl

namespace vaxo::ctl {
namespace {

// The program itself: its exit status and what it printed.
Outcome Vaxoctl(const std::string& arguments) {
    TempDir dir;
    const int status = std::system(
        (std::string(VAXOCTL_PATH) + " " + arguments + " >" + dir / "out" + " 2>" + dir / "err")
            .c_str());
    return {WEXITSTATUS(status), test::ReadBytes(dir / "out"), test::ReadBytes(dir / "err")};
}

TEST(Vaxoctl, EveryCommandHasItsOwnUsageAndTheProgramItsHelpAndVersion) {
    EXPECT_EQ(Vaxoctl("--version").out, "vaxoctl 3.60\n");
    const Outcome help = Vaxoctl("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* command : {"show", "image", "send", "run"}) {
        EXPECT_NE(help.out.find(std::string("vaxoctl ") + command), std::string::npos) << command;
        const Outcome own = Vaxoctl(std::string(command) + " --help");
        EXPECT_EQ(own.code, 0);
        EXPECT_EQ(own.out.rfind(std::string("usage: vaxoctl ") + command, 0), 0u) << own.out;
    }
    const Outcome misuse = Vaxoctl("image --ab 7 x.rds");
    EXPECT_EQ(misuse.code, 2);
    EXPECT_EQ(misuse.err.rfind("vaxoctl: --ab takes 0 or 1\nusage: vaxoctl image", 0), 0u);
    EXPECT_EQ(Vaxoctl("frobnicate").code, 2);
}

}  // namespace
}  // namespace vaxo::ctl
