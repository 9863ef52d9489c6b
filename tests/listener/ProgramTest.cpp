#include "AenTestSupport.h"
#include "ProgramSupport.h"

#include "listener/AenDaemon.h"

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <string>

namespace {

using namespace std::chrono_literals;

// Bounds a hang only; a passing run never waits this long.
constexpr std::chrono::seconds kDeadline{30};

TEST(LauncherVerdict, FirstSignalFromTheChildDecides)
{
    // Each case in a fresh process: the verdict is kept once set.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        int first;
        int second;
        int status;
    };
    for (const Case& c : {Case{SIGALRM, SIGUSR1, 1}, Case{SIGCHLD, SIGUSR1, 1}, Case{SIGUSR1, SIGALRM, 0}}) {
        EXPECT_EXIT(
            {
                child_handler(c.first);
                child_handler(c.second);
                std::_Exit(exit_status);
            },
            ::testing::ExitedWithCode(c.status), "")
            << c.first << " then " << c.second;
    }
}

class ProgramTest : public aentest::AenDaemonTest {
protected:
    void SetUp() override
    {
        AenDaemonTest::SetUp();
        aentest::becomeSubreaper();
    }
};

TEST_F(ProgramTest, WithoutPlugInsTheDaemonStartsThenStopsCleanly)
{
    writeInstallFile("PlugInConfig.txt", "# no plug-in configured\n");
    const pid_t launcher = aentest::spawnProgram(VYNLISTEND_PATH, {});
    ASSERT_GT(launcher, 0);
    // Status 0 is the daemon's word (SIGUSR1, logged below) arriving before
    // the launcher's 4-second alarm. How much sooner depends on the load of
    // the machine, so no clock is read here.
    EXPECT_EQ(aentest::waitExit(launcher, kDeadline), 0);

    // The detached daemon is now this process's child: it ends by itself.
    int status = 0;
    pid_t daemon = -1;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while ((daemon = ::waitpid(-1, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // The launcher shares the log; its closing lines may land after the
    // daemon's, since the daemon stops at once here.
    std::vector<std::string> log = daemonLog();
    while (!log.empty() && (log.back().find("] daemonize - Leaving daemonize") != std::string::npos ||
                            log.back().find("] child_handler - ") != std::string::npos))
        log.pop_back();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("AEN_DAEMON: bye bye "), std::string::npos) << log.back();
    EXPECT_EQ(log.back().substr(log.back().size() - 20), "AEN_DAEMON: bye bye ");
    EXPECT_TRUE(logHas("--- Initailizing Vyn Event Listener Daemon ---"));
    EXPECT_TRUE(logHas("<version>      : 1.0.0.0"));
    EXPECT_TRUE(logHas("CHILD_HANDLER: received SIGUSR1"));
    EXPECT_TRUE(logHas("No Plugin found, exiting the daemon.."));
    EXPECT_TRUE(logHas("PlugIn Loading fails, Closing down Aen Daemon"));
    EXPECT_TRUE(logHas("AEN_DAEMON: closing shop "));
    const std::string stopLog = vyntest::readFile(hostFile("/var/log/vynconf.log"));
    EXPECT_NE(stopLog.find("ENTER:AenTerminateMonitor - waiting for Aen Monitor End"), std::string::npos);
    EXPECT_NE(stopLog.find("ENTER:AenTerminateMonitor - EXIT:AenTerminateMonitor"), std::string::npos);
}

TEST_F(ProgramTest, DelayedStartLeavesTheLauncherWithOneAfterFourSeconds)
{
    writeInstallFile("PlugInConfig.txt", "# no plug-in configured\n");
    const auto started = std::chrono::steady_clock::now();
    const pid_t launcher = aentest::spawnProgram(VYNLISTEND_PATH, {"delayed"});
    ASSERT_GT(launcher, 0);
    EXPECT_EQ(aentest::waitExit(launcher, kDeadline), 1);
    const auto waited = std::chrono::steady_clock::now() - started;
    // The alarm, not the daemon's 60-second sleep, ended the wait; the upper
    // bound leaves a busy machine room.
    EXPECT_GE(waited, 3900ms);
    EXPECT_LT(waited, 20s);
    EXPECT_TRUE(logHas("CHILD_HANDLER: received SIGALRM"));

    // The daemon is still in its 60-second sleep: end it by its pid.
    const pid_t daemon = aentest::findChild(launcher, kDeadline);
    ASSERT_GT(daemon, 0);
    ::kill(daemon, SIGKILL);
    EXPECT_EQ(aentest::waitExit(daemon, kDeadline), -2);
}

TEST_F(ProgramTest, StartedByProcessOneEndsAtOnceWithOne)
{
    // In a new pid namespace the shell is process 1 and the program its child.
    const std::string statusFile = root() + "/status";
    const pid_t runner = aentest::spawnProgram(
        "/usr/bin/unshare", {"--pid", "--fork", "/bin/sh", "-c", "\"$0\"; echo $? > \"$1\"", VYNLISTEND_PATH, statusFile});
    ASSERT_GT(runner, 0);
    aentest::waitExit(runner, 10s);
    if (!vyntest::fileExists(statusFile))
        GTEST_SKIP() << "no new pid namespace can be made here (unshare --pid)";
    EXPECT_EQ(vyntest::readFile(statusFile), "1\n");
    EXPECT_TRUE(logHas("--- Initailizing Vyn Event Listener Daemon ---"));
    EXPECT_FALSE(logHas("CHILD_HANDLER"));
    EXPECT_FALSE(logHas("aenMonitorThread"));
}

}  // namespace
