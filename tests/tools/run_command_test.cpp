// vaxoctl run as a real process: live-text sends, hand-over from a later
// start, what it prints, and its saves when a signal ends it. Real time.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>

#include "base/text_lines.h"
#include "stations/station_file.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::HasSubstr;
using ::testing::Not;

// How a process is started: as the test's child, as a service manager
// starts one (a session of its own, no terminal), or in a terminal of its own.
enum class Session { Inherited, Service, Terminal };

// A vaxoctl process started in `folder`, standard output and error into
// files; killed if the test leaves it running.
class Process {
  public:
    Process(const std::vector<std::string>& command, const std::string& folder,
            const std::string& out, const std::string& err, Session session = Session::Inherited) {
        std::vector<char*> argv;
        for (const auto& part : command) {
            argv.push_back(const_cast<char*>(part.c_str()));
        }
        argv.push_back(nullptr);
        if (session == Session::Terminal) {
            pid_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
            if (pid_ == 0) {
                if (::chdir(folder.c_str()) != 0) {
                    ::_exit(126);
                }
                ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
                ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
                ::execve(argv[0], argv.data(), environ);
                ::_exit(127);
            }
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (session == Session::Service) {
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        }
        const auto here = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
        std::filesystem::current_path(here);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        if (terminal_ >= 0) {
            ::close(terminal_);
        }
    }
    void Signal(int signal) { ::kill(pid_, signal); }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int terminal_ = -1;
};

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

// Whether the file came to hold the text; the limit only guards against a hang.
bool WaitForText(const std::string& path, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (ReadBytes(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A portable copy of vaxoctl in its own folder, with its own runtime folder.
class RunCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        std::filesystem::copy_file(VAXOCTL_PATH, program_);
    }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    TempDir runtime_, dir_;
    const std::string program_ = dir_ / "vaxoctl";
};

TEST_F(RunCommandTest, FollowsTheRadiotextFileTakesHandOversAndSavesOnSigterm) {
    WriteBytes(dir_ / "st.rds", "CLEAR\r\nRTFF=1\r\nRTSF=rt.txt\r\nPS=TEST FM\r\n");
    WriteBytes(dir_ / "rt.txt", "first text\n");
    WriteBytes(dir_ / "other.rds", "RT=Handed over\r\nRTFF=0\r\nSEND=1\r\n");
    const std::string log = dir_ / "log.txt";

    Process first({program_, "run", "--simulate", "st.rds"}, dir_.path(), log, dir_ / "err.txt");
    ASSERT_TRUE(WaitForLines(log, 2, 60s)) << "the file's text is sent at the first tick";
    EXPECT_THAT(ReadBytes(log), HasSubstr(" port LPT1: simulated encoder\n"));
    EXPECT_THAT(ReadBytes(log), HasSubstr(" ok bank 1 RT=\"first text\""));
    std::this_thread::sleep_for(4s);
    EXPECT_EQ(Lines(log), 2u) << "an unchanged file sends nothing";

    // The next tick or the one after (a file written in its last moments
    // waits) starts the send; the core's tests time that on virtual time.
    WriteBytes(dir_ / "rt.txt", "second text\n");
    ASSERT_TRUE(WaitForLines(log, 3, 60s));
    EXPECT_THAT(ReadBytes(log), HasSubstr("RT=\"second text\""));

    // Listeners cannot be handed over: such a start says so and changes nothing.
    Process listening({program_, "run", "--text-tcp", "127.0.0.1:0", "other.rds"}, dir_.path(),
                      dir_ / "listening.txt", dir_ / "listening-err.txt");
    EXPECT_EQ(listening.Wait(), 1);
    EXPECT_THAT(ReadBytes(dir_ / "listening-err.txt"),
                HasSubstr("add these options to its vaxow.listen"));
    EXPECT_THAT(ReadBytes(dir_ / "listening-err.txt"), HasSubstr("nothing was handed over"));

    const std::string folder = dir_ / "elsewhere";
    std::filesystem::create_directory(folder);
    std::filesystem::rename(dir_ / "other.rds", folder + "/other.rds");
    Process later({program_, "run", "other.rds"}, folder, dir_ / "later.txt",
                  dir_ / "later-err.txt");
    EXPECT_EQ(later.Wait(), 0);
    EXPECT_THAT(ReadBytes(dir_ / "later-err.txt"),
                HasSubstr(" handed " + folder + "/other.rds to the running copy\n"))
        << "a relative name means the folder of the start that named it";
    ASSERT_TRUE(WaitForLines(log, 4, 60s)) << "the handed-over file asked for a send";
    EXPECT_THAT(ReadBytes(log), HasSubstr("RT=\"Handed over\""));

    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0);
    const auto settings = SplitLines(ReadBytes(dir_ / "vaxow.dat"));
    ASSERT_EQ(settings.size(), 65u);
    EXPECT_EQ(settings[0], dir_ / "st.rds") << "the remembered file, not the handed-over one";
    EXPECT_EQ(settings[2], "second text");
    EXPECT_EQ(ReadBytes(dir_ / "later.txt"), "") << "the later start only handed over";
}

// Feeds rewritten the ways playout software writes them, on LPT2 from the
// settings, then a hang-up: both files read back complete.
TEST_F(RunCommandTest, OddFeedsAndAHangUpLoseNothing) {
    std::vector<std::string> settings{"st.rds", "", "", "", "0", "1", "1", "0", "0"};
    settings.resize(65);
    WriteBytes(dir_ / "vaxow.dat", JoinLinesCrLf(settings));
    WriteBytes(dir_ / "st.rds", "CLEAR\r\nRTFF=1\r\nDPSE=1\r\nDPSFF=1\r\nPS=ODD FM\r\n");
    const std::string log = dir_ / "log.txt", err = dir_ / "err.txt";
    Process run({program_, "run", "--simulate"}, "/", log, err, Session::Terminal);

    const std::vector<std::pair<std::string, std::string>> rewrites{
        {"in place", "Plain text\n"},
        {"utf-16", std::string("\xFF\xFEU\0T\0F\0-\0"
                               "1\0"
                               "6\0 \0\x59\x01\n\0",
                               20)},
        {"zero-filled", std::string("Power cut\n") + std::string(64, '\0')},
    };
    std::size_t expected = 1;
    for (const auto& [how, bytes] : rewrites) {
        WriteBytes(dir_ / "rt.txt", bytes);  // truncated and written in place
        WriteBytes(dir_ / "dps.txt.new", "DPS " + how);
        std::filesystem::rename(dir_ / "dps.txt.new", dir_ / "dps.txt");
        ASSERT_TRUE(WaitForLines(log, ++expected, 60s)) << how;
    }
    const std::string sent = ReadBytes(log);
    EXPECT_THAT(sent, HasSubstr(" port LPT2: simulated encoder"));
    EXPECT_THAT(sent, HasSubstr("RT=\"Plain text\""));
    EXPECT_THAT(sent, HasSubstr("RT=\"UTF-16 r\"")) << "decoded, then its letter reduced";
    EXPECT_THAT(sent, HasSubstr("RT=\"Power cut\""));
    EXPECT_THAT(sent, Not(HasSubstr("RT=\"        \""))) << "no blank radiotext";

    run.Signal(SIGHUP);  // its terminal hung up
    EXPECT_EQ(run.Wait(), 0) << ReadBytes(err);
    const auto saved = SplitLines(ReadBytes(dir_ / "vaxow.dat"));
    ASSERT_EQ(saved.size(), 65u);
    EXPECT_EQ(saved[0], "st.rds");
    EXPECT_EQ(saved[2], "Power cut");
    EXPECT_EQ(saved[5], "1") << "LPT2 kept";
    EXPECT_EQ(saved[6], "1") << "Auto Save kept";
    EXPECT_EQ(SplitLines(ReadBytes(dir_ / "st.rds")).size(), 47u);
    EXPECT_THAT(ReadBytes(dir_ / "st.rds"), HasSubstr("\r\nRT=Power cut\r\n"));
}

// As a service, a hang-up reads the station and the settings again (a
// changed station goes on air) and ends nothing.
TEST_F(RunCommandTest, AsAServiceAHangUpReadsTheStationAgain) {
    WriteBytes(dir_ / "st.rds", "CLEAR\r\nSEND=1\r\nRT=Before\r\n");
    const std::string log = dir_ / "log.txt", err = dir_ / "err.txt";
    Process run({program_, "run", "--simulate", "st.rds"}, dir_.path(), log, err, Session::Service);
    ASSERT_TRUE(WaitForLines(log, 2, 60s));
    WriteBytes(dir_ / "st.rds", "CLEAR\r\nRT=After\r\n");
    run.Signal(SIGHUP);
    ASSERT_TRUE(WaitForLines(log, 3, 60s)) << ReadBytes(err);
    EXPECT_THAT(ReadBytes(log), HasSubstr("RT=\"After\""));
    EXPECT_THAT(ReadBytes(err), HasSubstr(" SIGHUP: reading the settings and "));
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 0);
}

// A station that cannot be read leaves a service nothing to put on air: it
// says so and ends, so that its manager tries again and shows the trouble.
TEST_F(RunCommandTest, AStationThatCannotBeReadEndsTheStartWithItsReason) {
    std::filesystem::create_directory(dir_ / "st.rds");
    Process run({program_, "run", "--simulate", "st.rds"}, dir_.path(), dir_ / "log.txt",
                dir_ / "err.txt");
    EXPECT_EQ(run.Wait(), 1);
    EXPECT_THAT(ReadBytes(dir_ / "err.txt"),
                HasSubstr(" cannot run: the station file " + dir_ / "st.rds" + " cannot be read"));
}

// The first tick's send waits for an encoder that never answers; a stop
// abandons it and the saves still happen, at once.
TEST_F(RunCommandTest, AStopDuringASendToADeadEncoderEndsAtOnceWithItsSaves) {
    WriteBytes(dir_ / "st.rds", "CLEAR\r\nSEND=1\r\nPS=NO ANSWER\r\n");
    const std::string log = dir_ / "log.txt";
    Process run({program_, "run", "--simulate=stuck-high", "st.rds"}, dir_.path(), log,
                dir_ / "err.txt");
    std::this_thread::sleep_for(5s);  // the tick at 3 s started it; its wait lasts 5 s or more
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_THAT(ReadBytes(log), Not(HasSubstr(" ok "))) << "nothing was confirmed";
    EXPECT_EQ(SplitLines(ReadBytes(dir_ / "vaxow.dat")).size(), 65u);
}

TEST_F(RunCommandTest, SaysWhatItDoesAndWhyItCannot) {
    Process quiet({program_, "run", "--simulate", "new.rds"}, dir_.path(), "/dev/null",
                  dir_ / "err.txt");
    EXPECT_TRUE(WaitForText(
        dir_ / "err.txt", " station file " + dir_ / "new.rds" + " does not exist: a new station"));
    quiet.Signal(SIGTERM);
    EXPECT_EQ(quiet.Wait(), 0);
    EXPECT_EQ(SplitLines(ReadBytes(dir_ / "vaxow.dat")).size(), 65u);

    // A settings "file" that is a pipe cannot be read: it is told at start,
    // the station still runs, and the pipe is not written over at the end.
    std::filesystem::remove(dir_ / "vaxow.dat");
    ASSERT_EQ(::mkfifo((dir_ / "vaxow.dat").c_str(), 0600), 0);
    const std::string unreadErr = dir_ / "err-unread.txt";
    Process unread({program_, "run", "--simulate"}, dir_.path(), "/dev/null", unreadErr);
    ASSERT_TRUE(WaitForText(unreadErr, "Cannot open file"));  // stops come after its start
    unread.Signal(SIGTERM);
    EXPECT_EQ(unread.Wait(), 0);
    EXPECT_THAT(ReadBytes(unreadErr), HasSubstr(" Cannot open file " + dir_ / "vaxow.dat" + "\n"));
    EXPECT_THAT(ReadBytes(unreadErr), HasSubstr(" The settings file " + dir_ / "vaxow.dat" +
                                                " is left alone: it could not be read at start\n"));

    // Settings that may not be written cannot be saved.
    std::filesystem::remove(dir_ / "vaxow.dat");
    WriteBytes(dir_ / "vaxow.dat", "");
    std::filesystem::permissions(dir_ / "vaxow.dat", std::filesystem::perms::owner_read);
    const std::string failingErr = dir_ / "err-failing.txt";
    Process failing({program_, "run", "--simulate"}, dir_.path(), "/dev/null", failingErr);
    ASSERT_TRUE(WaitForText(failingErr, "a new station"));
    failing.Signal(SIGTERM);
    EXPECT_EQ(failing.Wait(), 1) << "its exit save failed";
    EXPECT_THAT(ReadBytes(failingErr), HasSubstr(" Cannot create file "));

    // A running copy that holds the hand-over lock and does not let go.
    const auto hold = [&](const char* name) {
        const int fd = ::open((runtime_ / name).c_str(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        return fd;
    };
    const int block = hold("{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}");
    const int lock = hold("{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}");
    Process stuck({program_, "run", "x.rds"}, dir_.path(), "/dev/null", dir_ / "err.txt");
    EXPECT_EQ(stuck.Wait(), 1);
    EXPECT_THAT(ReadBytes(dir_ / "err.txt"),
                HasSubstr(" cannot start: the running copy did not free the hand-over lock "
                          "within 250 ms\n"));
    ::close(block);
    ::close(lock);
}

// The wear ledger as the service keeps it: vaxoctl wear reads it with the
// endurance of the settings; the run's options are refused outside their
// ranges before anything starts.
TEST_F(RunCommandTest, WearShowsTheLedgerAndTheOptionsAreChecked) {
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    std::string ledger = "since " + std::to_string(now - 8 * 86400) + "\r\n";
    ledger += "A0 365 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n";
    ledger += "day " + std::to_string(now - 7 * 86400);
    for (int count = 0; count < 64; ++count) {
        ledger += count == 0 ? " 15" : " 0";
    }
    WriteBytes(dir_ / "vaxow.wear", ledger + "\r\n");
    WriteBytes(dir_ / "vaxow.ini", "ENDURANCE=3650\r\n");
    Process wear({program_, "wear", "--json"}, dir_.path(), dir_ / "wear.txt", dir_ / "err.txt");
    ASSERT_EQ(wear.Wait(), 0) << ReadBytes(dir_ / "err.txt");
    // 350 writes in 7 days: 50 a day; 3285 left of 3650 last 65.7 days.
    const auto json = nlohmann::json::parse(ReadBytes(dir_ / "wear.txt"));
    EXPECT_EQ(json["endurance"], 3650);
    EXPECT_EQ(json["blocks"]["A0"][0], 365);
    EXPECT_EQ(json["blocks"]["A6"].size(), 16u);
    EXPECT_NEAR(json["years_left"].get<double>(), 0.18, 0.001);

    Process text({program_, "wear"}, dir_.path(), dir_ / "wear.txt", dir_ / "err.txt");
    ASSERT_EQ(text.Wait(), 0);
    EXPECT_THAT(ReadBytes(dir_ / "wear.txt"),
                HasSubstr("busiest page: page 0 of A0, 365 writes; 0.2 years left"));

    for (const char* wrong : {"--min-send-interval=0", "--wear-target-years=101", "--endurance=12",
                              "--min-send-interval=x"}) {
        Process refused({program_, "run", "--simulate", wrong}, dir_.path(), "/dev/null",
                        dir_ / "err.txt");
        EXPECT_EQ(refused.Wait(), 2) << wrong;
        EXPECT_THAT(ReadBytes(dir_ / "err.txt"), HasSubstr("takes a number from")) << wrong;
    }
}

}  // namespace
}  // namespace vaxo
