// vaxoctl run as a real process: live-text sends, hand-over from a later
// start, and the exit saves on SIGTERM. Real time: about 20 s in all.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/text_lines.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::HasSubstr;

pid_t Spawn(const std::vector<std::string>& command, const std::string& output) {
    std::vector<char*> argv;
    for (const auto& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t Lines(const std::string& path) {
    return SplitLines(ReadBytes(path)).size();
}

bool WaitForLines(const std::string& path, std::size_t count, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Lines(path) < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

TEST(RunCommand, FollowsTheRadiotextFileTakesHandOversAndSavesOnSigterm) {
    TempDir dir, runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const std::string program = dir / "vaxoctl";
    std::filesystem::copy_file(VAXOCTL_PATH, program);  // a portable install in `dir`
    WriteBytes(dir / "st.rds", "CLEAR\r\nRTFF=1\r\nRTSF=rt.txt\r\nPS=TEST FM\r\n");
    WriteBytes(dir / "rt.txt", "first text\n");
    WriteBytes(dir / "other.rds", "RT=Handed over\r\nRTFF=0\r\nSEND=1\r\n");
    const std::string log = dir / "log.txt";

    const pid_t first = Spawn({program, "run", "--simulate", "st.rds"}, log);
    ASSERT_TRUE(WaitForLines(log, 2, 15s)) << "the file's text is sent at the first tick";
    EXPECT_THAT(ReadBytes(log), HasSubstr(" port LPT1: simulated encoder\n"));
    EXPECT_THAT(ReadBytes(log), HasSubstr(" ok bank 1 RT=\"first text\""));
    std::this_thread::sleep_for(4s);
    EXPECT_EQ(Lines(log), 2u) << "an unchanged file sends nothing";

    WriteBytes(dir / "rt.txt", "second text\n");
    const auto changed = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForLines(log, 3, 10s));
    // The next tick (at most 3 s) starts the send; calibration and writes take
    // up to 2.5 s more before the line is printed.
    EXPECT_LT(std::chrono::steady_clock::now() - changed, 3s + 3500ms);
    EXPECT_THAT(ReadBytes(log), HasSubstr("RT=\"second text\""));

    EXPECT_EQ(Wait(Spawn({program, "run", "other.rds"}, dir / "later.txt")), 0);
    ASSERT_TRUE(WaitForLines(log, 4, 10s)) << "the handed-over file asked for a send";
    EXPECT_THAT(ReadBytes(log), HasSubstr("RT=\"Handed over\""));

    ::kill(first, SIGTERM);
    EXPECT_EQ(Wait(first), 0);
    const auto settings = SplitLines(ReadBytes(dir / "vaxow.dat"));
    ASSERT_EQ(settings.size(), 65u);
    EXPECT_EQ(settings[0], "st.rds") << "the remembered file, not the handed-over one";
    EXPECT_EQ(settings[2], "second text");
    EXPECT_EQ(ReadBytes(dir / "later.txt"), "") << "the later start only handed over";
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace vaxo
