#include "AenTestSupport.h"
#include "ProgramSupport.h"
#include "StandinBroker.h"

#include "listener/osal/Tov.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <cstring>
#include <string>

namespace {

using namespace std::chrono_literals;

// Bounds a hang only; a passing run never waits this long.
constexpr std::chrono::seconds kDeadline{30};

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool hostHasNonLoopbackIPv4()
{
    TovHostAddressList list;
    std::memset(&list, 0, sizeof list);
    if (TovGetHostIPAddress(&list) != 0)
        return false;
    for (unsigned i = 0; i < list.count; ++i) {
        if (std::strncmp(list.address[i], "127.0.0", 7) != 0)
            return true;
    }
    return false;
}

// Kills the daemon when a failed assertion leaves it running: it would wait
// for SIGTERM for ever, long after the test.
class DaemonGuard {
public:
    explicit DaemonGuard(pid_t pid) : pid_(pid) {}
    ~DaemonGuard()
    {
        int status = 0;
        // 0 only while the child still runs; once reaped its pid may be reused.
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    DaemonGuard(const DaemonGuard&) = delete;
    DaemonGuard& operator=(const DaemonGuard&) = delete;

private:
    pid_t pid_;
};

class ProgramEndToEndTest : public aentest::AenDaemonTest {};

TEST_F(ProgramEndToEndTest, IndicationReachesThePlugInAndSigtermLeavesTheBrokerEmpty)
{
    if (!hostHasNonLoopbackIPv4())
        GTEST_SKIP() << "the daemon subscribes with the machine's first non-loopback IPv4 address, and this "
                        "machine has none; the in-process cases cover the same path through the address seam";
    aentest::becomeSubreaper();
    cimstandin::StandinBroker broker;
    broker.start();
    const int listenerPort = freePort();
    writeInstallFile("VMCIMOMConfig.txt", credentialFile("127.0.0.1", std::to_string(broker.port()), "user", "pass"));
    writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=" + std::to_string(listenerPort) + "\n");
    writeInstallFile("PlugInConfig.txt", "PLUGIN=notifyfile\nSTATE=ON\n");

    const pid_t launcher = aentest::spawnProgram(VYNLISTEND_PATH, {});
    ASSERT_GT(launcher, 0);
    // Status 0: the daemon reported its start before the launcher's
    // 4-second alarm (how much sooner depends on the machine's load).
    EXPECT_EQ(aentest::waitExit(launcher, kDeadline), 0);
    EXPECT_TRUE(logHas("CHILD_HANDLER: received SIGUSR1"));
    const pid_t daemon = aentest::findChild(launcher, kDeadline);
    ASSERT_GT(daemon, 0);
    const DaemonGuard guard(daemon);

    ASSERT_TRUE(broker.waitForRequests(6, kDeadline));
    EXPECT_EQ(broker.instanceCount(), 3u);
    // The listener may come up just after the subscription.
    std::vector<cimstandin::HttpAnswer> answers;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
        answers = broker.deliver(cimstandin::sampleIndication("disk 0,3 failed"));
        if ((answers.size() == 1 && answers[0].status == 200) || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200);
    ASSERT_TRUE(waitForPluginLines(2, kDeadline));
    const std::vector<std::string> lines = pluginLines();
    EXPECT_EQ(lines[0], "init");
    EXPECT_NE(lines[1].find("|disk 0,3 failed|"), std::string::npos);

    ASSERT_EQ(::kill(daemon, SIGTERM), 0);
    EXPECT_EQ(aentest::waitExit(daemon, kDeadline), 0);
    const std::vector<std::string> log = daemonLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(log.back().size() - 20), "AEN_DAEMON: bye bye ");
    EXPECT_EQ(broker.instanceCount(), 0u);
    EXPECT_EQ(pluginLines().size(), 2u);
    broker.stop();
}

}  // namespace
