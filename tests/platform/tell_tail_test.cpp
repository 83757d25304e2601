#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/tell_tail.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::TempDir;

// Each test gets its own runtime folder, so its instances meet only each other.
class TellTailTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    static void Configure(TTellTail& tail) {
        tail.MapFileName = "{block}";
        tail.MutexName = "{lock}";
    }

    // Runs `child` in a forked process and returns its exit code.
    template <typename Child>
    static int InChild(Child child) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::_exit(child());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A later start with these arguments; 0 when it handed over as it should
    // to the first instance `firstId` (by default this test process).
    static int LaterStart(std::vector<std::string> arguments,
                          std::uint32_t firstId = static_cast<std::uint32_t>(::getpid())) {
        return InChild([arguments, firstId] {
            TTellTail later;
            Configure(later);
            later.Arguments = arguments;
            bool terminated = false;
            later.OnTerminate = [&] { terminated = true; };
            const bool first = later.Activate();
            return !first && terminated && later.FirstInstanceId() == firstId ? 0 : 1;
        });
    }

    TempDir runtime_;
};

TEST_F(TellTailTest, LaterStartHandsItsCommandLineToTheFirstInstance) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    EXPECT_TRUE(first.IsFirstInstance());
    EXPECT_FALSE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "(empty)");
    EXPECT_EQ(first.ReceivedDirectory(), "(unknown)");

    ASSERT_EQ(LaterStart({"/radio/my station.rds"}), 0);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "\"/radio/my station.rds\"");
    EXPECT_EQ(first.ReceivedDirectory(), std::filesystem::current_path().string());
    EXPECT_FALSE(first.CheckForData()) << "taken once";

    ASSERT_EQ(LaterStart({}), 0);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "(empty)");
}

TEST_F(TellTailTest, NewestOfTwoQuickHandOversWins) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    ASSERT_EQ(LaterStart({"one.rds"}), 0);
    ASSERT_EQ(LaterStart({"two.rds"}), 0);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "two.rds");
    EXPECT_FALSE(first.CheckForData());
}

TEST_F(TellTailTest, KilledFirstInstanceLeavesNoObstacle) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        TTellTail crashed;
        Configure(crashed);
        const char flag = crashed.Activate() ? '1' : '0';
        (void)!::write(ready[1], &flag, 1);
        ::pause();
        ::_exit(0);
    }
    char flag = 0;
    EXPECT_EQ(::read(ready[0], &flag, 1), 1);
    EXPECT_EQ(flag, '1');
    EXPECT_EQ(LaterStart({"pending.rds"}, static_cast<std::uint32_t>(pid)), 0)
        << "a hand-over the crashed instance never took";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    TTellTail next;
    Configure(next);
    EXPECT_TRUE(next.Activate()) << "the next start is the first instance";
    EXPECT_FALSE(next.CheckForData()) << "and does not take the stale hand-over";
}

TEST_F(TellTailTest, ManySimultaneousStartsGiveExactlyOneFirstInstance) {
    constexpr int kStarts = 12;
    int go[2], done[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(done), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kStarts; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(go[1]);
            ::close(done[1]);
            char byte;
            (void)!::read(go[0], &byte, 1);  // all start together when the pipe closes
            TTellTail tail;
            Configure(tail);
            tail.MutexTimeOut = 5000;
            const bool first = tail.Activate();
            (void)!::read(done[0], &byte, 1);  // stay alive until all have started
            ::_exit(first ? 10 : tail.LastError() == 0 ? 20 : 30);
        }
        children.push_back(pid);
    }
    ::close(go[0]);
    ::close(done[0]);
    ::close(go[1]);
    ::usleep(300000);
    ::close(done[1]);
    int firsts = 0, later = 0;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        firsts += WEXITSTATUS(status) == 10 ? 1 : 0;
        later += WEXITSTATUS(status) == 20 ? 1 : 0;
    }
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(later, kStarts - 1);
}

TEST_F(TellTailTest, LockWaitTimeOutNeitherHandsOverNorEnds) {
    const std::string lockPath = TTellTail::RuntimeFolder() + "{lock}";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const int code = InChild([] {
        TTellTail tail;
        Configure(tail);
        bool terminated = false;
        tail.OnTerminate = [&] { terminated = true; };
        const bool first = tail.Activate();
        return !first && !terminated && tail.LastError() == TTellTail::kLockTimedOut ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    ::close(fd);
}

TEST_F(TellTailTest, ReadsNeverTrustAMissingTerminator) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    const std::string blockPath = TTellTail::RuntimeFolder() + "{block}";
    const int fd = ::open(blockPath.c_str(), O_RDWR);
    auto* block = static_cast<unsigned char*>(
        ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    std::memset(block + 8, 'x', 1024);  // command line and directory without any zero
    std::memset(block + 4, 0xFF, 4);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), std::string(511, 'x'));
    EXPECT_EQ(first.ReceivedDirectory(), std::string(511, 'x'));
    ::munmap(block, 4096);
    ::close(fd);
}

TEST_F(TellTailTest, ABlockCutShortOrGarbledByAnotherProcessCrashesNothing) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    const std::string blockPath = TTellTail::RuntimeFolder() + "{block}";
    ASSERT_EQ(::truncate(blockPath.c_str(), 0), 0);
    EXPECT_FALSE(first.CheckForData());
    ASSERT_EQ(::truncate(blockPath.c_str(), 6), 0);
    EXPECT_FALSE(first.CheckForData());
    ASSERT_EQ(LaterStart({"after.rds"}, 0), 0) << "the identifier went with the cut";
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "after.rds");
}

// Names of their own, so that these starts meet no other test's instances in
// the folders every start of the user shares.
TEST(TellTailFolders, AStartWithoutARuntimeVariableMeetsOneWithIt) {
    const std::string userRuntime = "/run/user/" + std::to_string(::getuid());
    ::mkdir(userRuntime.c_str(), 0700);
    if (::access(userRuntime.c_str(), W_OK) != 0) {
        GTEST_SKIP() << userRuntime << " cannot be made here";
    }
    const std::string block = "{meet-" + std::to_string(::getpid()) + "}";
    ::setenv("XDG_RUNTIME_DIR", userRuntime.c_str(), 1);
    TTellTail first;
    first.MapFileName = block;
    first.MutexName = block + "-lock";
    ASSERT_TRUE(first.Activate());
    ::unsetenv("XDG_RUNTIME_DIR");
    const pid_t pid = ::fork();
    if (pid == 0) {  // as cron or ssh starts it
        TTellTail later;
        later.MapFileName = block;
        later.MutexName = block + "-lock";
        later.Arguments = {"/stations/cron.rds"};
        ::_exit(!later.Activate() && later.HandedOver() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "/stations/cron.rds");
    ::unlink((userRuntime + "/" + block).c_str());
    ::unlink((userRuntime + "/" + block + "-lock").c_str());
}

TEST(TellTailFolders, ARuntimeFolderOpenToOthersIsRefusedWithAMessage) {
    TempDir open;
    ::chmod(open.path().c_str(), 0777);
    ::setenv("XDG_RUNTIME_DIR", open.path().c_str(), 1);
    EXPECT_NE(TTellTail::RuntimeFolder(), open.path().string() + "/");
    TTellTail tail;
    tail.MapFileName = "{open-" + std::to_string(::getpid()) + "}";
    tail.MutexName = tail.MapFileName + "-lock";
    const bool first = tail.Activate();
    ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(tail.Warnings().size(), 1u);
    EXPECT_EQ(tail.Warnings()[0], "The runtime folder " + open.path().string() +
                                      " is not used: other users may use it");
    EXPECT_FALSE(std::filesystem::exists(open / tail.MapFileName)) << "nothing written there";
    if (first) {
        const std::string used = TTellTail::RuntimeFolder();
        ::unlink((used + tail.MapFileName).c_str());
        ::unlink((used + tail.MutexName).c_str());
    }
}

// The runtime folder deleted and made again (as a logout does), or a start
// with another one: the user's instance is held all the same.
TEST_F(TellTailTest, AStartInAnotherRuntimeFolderIsNoSecondInstance) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    TempDir other;
    ::setenv("XDG_RUNTIME_DIR", other.path().c_str(), 1);
    const int code = InChild([] {
        TTellTail second;
        Configure(second);
        second.Arguments = {"/stations/second.rds"};
        const bool becameFirst = second.Activate();
        return !becameFirst && !second.HandedOver() &&
                       second.LastError() == TTellTail::kRunningElsewhere
                   ? 0
                   : 1;
    });
    EXPECT_EQ(code, 0);
}

// Started where there is no runtime folder (cron, su), a copy registers in
// the user's own state folder: a /tmp folder another user made first cannot
// keep it from starting.
TEST(TellTailFolders, WithoutARuntimeFolderTheUsersStateFolderServes) {
    TempDir home;
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    const auto folders = TTellTail::UsableRuntimeFolders();
    const auto state = std::find(folders.begin(), folders.end(), home / "state/vaxow/");
    ASSERT_NE(state, folders.end());
    const auto shared =
        std::find(folders.begin(), folders.end(), "/tmp/vaxow-" + std::to_string(::getuid()) + "/");
    EXPECT_TRUE(shared == folders.end() || state < shared) << "before the folder in /tmp";
    struct stat info {};
    ASSERT_EQ(::stat((home / "state/vaxow").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ::unsetenv("XDG_STATE_HOME");
}

TEST_F(TellTailTest, LongCommandLinesAreCutAt511Characters) {
    TTellTail first;
    Configure(first);
    ASSERT_TRUE(first.Activate());
    ASSERT_EQ(LaterStart({std::string(600, 'a')}), 0);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), std::string(511, 'a'));
}

TEST_F(TellTailTest, SharedDataEventsCarryExtraBytes) {
    TTellTail first;
    Configure(first);
    char received[16] = {};
    first.OnReadSharedData = [&](TTellTail&, void*& data, std::uint32_t& size, std::uint32_t max) {
        EXPECT_EQ(max, first.MaxSharedDataSize());
        data = received;
        size = sizeof received;
    };
    ASSERT_TRUE(first.Activate());
    EXPECT_EQ(first.MaxSharedDataSize(),
              static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE)) - 1032);
    const int code = InChild([] {
        TTellTail later;
        Configure(later);
        static char extra[] = "extra bytes";
        later.OnWriteSharedData = [](TTellTail&, void*& data, std::uint32_t& size, std::uint32_t) {
            data = extra;
            size = sizeof extra;
        };
        return later.Activate() ? 1 : 0;
    });
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(first.CheckForData());
    EXPECT_STREQ(received, "extra bytes");
}

TEST_F(TellTailTest, DisabledOrUnnamedComponentsReportTheirCodes) {
    TTellTail disabled;
    Configure(disabled);
    disabled.Enabled = false;
    EXPECT_FALSE(disabled.Activate());
    EXPECT_EQ(disabled.LastError(), TTellTail::kDisabled);
    EXPECT_FALSE(disabled.CheckForData());

    TTellTail unnamed;
    int mapFailures = 0;
    unnamed.OnMapFileFailure = [&](TTellTail&) { ++mapFailures; };
    EXPECT_FALSE(unnamed.Activate());
    EXPECT_EQ(unnamed.LastError(), TTellTail::kNameEmpty);
    EXPECT_EQ(mapFailures, 1);

    TTellTail noLock;
    noLock.MapFileName = "{block}";
    int lockFailures = 0;
    noLock.OnMutexFailure = [&](TTellTail&) { ++lockFailures; };
    EXPECT_FALSE(noLock.Activate());
    EXPECT_EQ(lockFailures, 1);
}

TEST(BuildCommandLine, QuotesArgumentsWithSpaces) {
    EXPECT_EQ(TTellTail::BuildCommandLine({}), "");
    EXPECT_EQ(TTellTail::BuildCommandLine({"a.rds"}), "a.rds");
    EXPECT_EQ(TTellTail::BuildCommandLine({"my file.rds", "b"}), "\"my file.rds\" b");
}

}  // namespace
}  // namespace vaxo
