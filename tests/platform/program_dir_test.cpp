#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/program_dir.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::TempDir;

TEST(ProgramDir, OnlyAPortableCopyKeepsItsFilesBesideTheProgram) {
    TempDir data, portable, installed;
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const std::string user = data.path().string() + "/vaxow/";
    EXPECT_EQ(ProgramDirFor(portable.path().string()), portable.path().string() + "/");
    EXPECT_EQ(ProgramDirFor("/usr/local/bin"), user) << "never a system folder, also for root";
    EXPECT_EQ(ProgramDirFor("/usr/bin/"), user);
    std::filesystem::create_directories(installed / "bin");
    std::filesystem::create_directories(installed / "share/vaxow");
    EXPECT_EQ(ProgramDirFor(installed / "bin"), user) << "an installed layout";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(portable.path().c_str(), 4321, 4321), 0);
        EXPECT_EQ(ProgramDirFor(portable.path().string()), user) << "another user's folder";
    }
    EXPECT_TRUE(std::filesystem::is_directory(user));
    ::unsetenv("XDG_DATA_HOME");
}

TEST(ProgramDir, TheManualIsTheInstalledOneElseTheOneBesideTheProgram) {
    TempDir tree;
    const auto bin = tree.path() / "bin";
    const auto installed = tree.path() / "share/doc/vaxow/manual.html";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(installed.parent_path());
    EXPECT_EQ(ManualPathFor(bin.string()), installed.string()) << "nothing there yet";
    { std::ofstream(bin / "manual.html") << "built"; }
    EXPECT_EQ(ManualPathFor(bin.string()), (bin / "manual.html").string());
    { std::ofstream(installed) << "installed"; }
    EXPECT_EQ(ManualPathFor(bin.string() + "/"), installed.string());
}

}  // namespace
}  // namespace vaxo
