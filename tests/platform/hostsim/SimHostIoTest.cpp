#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>

namespace {

using namespace vyn::hostsim;

class SimHostIoTest : public vyntest::SimulatorTest {
protected:
    static bool contains(const std::vector<std::string>& lines, const std::string& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // A 512-byte FIB as the library builds it.
    static void buildFib(uint8_t* fib, uint16_t command, uint32_t xfer = 1, uint16_t sender = 512)
    {
        std::memset(fib, 0, 512);
        putLe32(fib + 0, xfer);
        putLe16(fib + 4, command);
        fib[6] = 1;
        putLe16(fib + 8, 4);
        putLe16(fib + 10, sender);
    }
};

TEST_F(SimHostIoTest, NodesAreRegisteredWithPlaceholdersAndBindToControllers)
{
    startSimulator("adapters = 1\n");
    HostIo& io = hostIo();
    EXPECT_EQ(io.open("/dev/ulb0", O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_TRUE(contains(sim().nodeLines(), "/dev/ulb0 c 250 0"));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/dev/ulb0")));

    struct stat st;
    ASSERT_EQ(io.stat("/dev/ulb0", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(major(st.st_rdev), 250u);
    EXPECT_EQ(minor(st.st_rdev), 0u);

    const int fd = io.open("/dev/ulb0", O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sim().openNodeCount(), 1u);
    EXPECT_EQ(io.close(fd), 0);
    EXPECT_EQ(sim().openNodeCount(), 0u);

    // another major, or a minor without controller, gives ENXIO
    ASSERT_EQ(io.mknod("/dev/ulb1", S_IFCHR, makedev(250, 1)), 0);
    ASSERT_EQ(io.mknod("/dev/ulb2", S_IFCHR, makedev(99, 0)), 0);
    for (const char* path : {"/dev/ulb1", "/dev/ulb2"}) {
        EXPECT_EQ(io.open(path, O_RDWR), -1) << path;
        EXPECT_EQ(errno, ENXIO) << path;
    }
    EXPECT_EQ(io.unlink("/dev/ulb1"), 0);
    EXPECT_EQ(io.unlink("/dev/ulb1"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/dev/ulb1")));
}

TEST_F(SimHostIoTest, ProvisionsBothRoadsOnlyWhereAbsent)
{
    vyntest::writeFile(hostFile("/proc/devices"), "Character devices:\n240 ulbraid\n");
    startSimulator("adapters = 2\n");
    EXPECT_EQ(vyntest::readFile(hostFile("/proc/devices")), "Character devices:\n240 ulbraid\n");
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_host/host0/proc_name")), "sim_other\n");
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_host/host1/proc_name")), "ulbraid\n");
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_host/host2/proc_name")), "ulbraid\n");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/sys/class/scsi_host/host3")));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/sys/bus/pci/drivers/ulbraid")));
}

TEST_F(SimHostIoTest, ProcfsRoadHasNoSysfsDriver)
{
    startSimulator("adapters = 1\n[driver]\nsysfs = 0\nfirst_host = 3\n");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/sys/bus/pci/drivers/ulbraid")));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/proc/scsi/ulbraid/3")));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/proc/scsi/ulbraid/2")));
    EXPECT_EQ(vyntest::readFile(hostFile("/proc/devices")),
              "Character devices:\n  1 mem\n250 ulbraid\n 21 sg\n\nBlock devices:\n  8 sd\n");
}

TEST_F(SimHostIoTest, IdentityFibsAnswerFromTheStateAndUnknownsAreStable)
{
    startSimulator("adapters = 1\n[adapter0]\nserial = 0x11,0x22\npcba_serial = 0x33\ntype_text = \"ABC\"\n");
    HostIo& io = hostIo();
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    const int fd = io.open("/dev/ulb0", O_RDONLY);
    ASSERT_GE(fd, 0);
    uint8_t fib[512];

    buildFib(fib, 703);
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    EXPECT_EQ(getLe32(fib + 32 + 68), 0x11u);
    EXPECT_EQ(getLe32(fib + 32 + 72), 0x22u);
    EXPECT_EQ(getLe32(fib + 32 + 80), 0x000D0820u);
    EXPECT_EQ(fib[32 + 31], 5);
    EXPECT_EQ(fib[32 + 30], 2);

    buildFib(fib, 706);
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(fib + 32), "ABC");
    EXPECT_EQ(getLe32(fib + 32 + 28), 16u);
    EXPECT_EQ(getLe32(fib + 32 + 32), 11u);
    EXPECT_EQ(getLe32(fib + 32 + 36), 0x0EB797DCu);

    buildFib(fib, 906, 0x21);
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 1u);
    EXPECT_EQ(getLe32(fib + 36), 0x11u);
    EXPECT_EQ(getLe32(fib + 40), 0x22u);
    EXPECT_EQ(getLe32(fib + 44), 0x33u);

    // an unknown FIB command: the ioctl succeeds with status 10004
    buildFib(fib, 999);
    fib[40] = 0x55;
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 10004u);
    EXPECT_EQ(fib[40], 0);
    // an unknown container class: transport failure, word 1 echoed
    buildFib(fib, 500);
    putLe32(fib + 32, 77);
    putLe32(fib + 36, 5);
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 1u);
    EXPECT_EQ(getLe32(fib + 36), 5u);
    // a wrong sender size is refused
    buildFib(fib, 703, 1, 256);
    EXPECT_EQ(io.ioctl(fd, 0x42008, fib), -1);
    EXPECT_EQ(errno, EINVAL);
    // an unknown request
    uint32_t word = 0;
    EXPECT_EQ(io.ioctl(fd, 0x4299C, &word), -1);
    EXPECT_EQ(errno, ENOTTY);

    const std::vector<std::string> lines = sim().requestLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512");
    EXPECT_EQ(lines[2], "ulb0 0x42008 cmd=906 xfer=0x00000021 size=4 sender=512");
    EXPECT_EQ(lines[3], "ulb0 0x42008 cmd=999 xfer=0x00000001 size=4 sender=512 unhandled");
    EXPECT_EQ(lines[4], "ulb0 0x42008 cmd=500 xfer=0x00000001 size=4 sender=512 class=77 ct=5 unhandled");
    EXPECT_EQ(lines[5], "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=256 rejected=sender_size errno=22");
    EXPECT_EQ(lines[6], "ulb0 0x4299c unhandled errno=25");
    sim().clearRequests();
    EXPECT_TRUE(sim().requests().empty());
    io.close(fd);
}

TEST_F(SimHostIoTest, DriverRequestsAnswerFromTheState)
{
    startSimulator("adapters = 1\n[adapter0]\npci_bus = 9\npci_slot = 4\ndriver_revision = 5.2-0 18000\n"
                   "code_version_status = 2\n");
    HostIo& io = hostIo();
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    const int fd = io.open("/dev/ulb0", O_RDWR);
    uint8_t rev[12] = {4};
    ASSERT_EQ(io.ioctl(fd, 0x420EC, rev), 0);
    EXPECT_EQ(getLe32(rev), 1u);
    EXPECT_EQ(rev[7], 5);
    EXPECT_EQ(rev[6], 2);
    EXPECT_EQ(getLe32(rev + 8), 18000u);
    uint8_t pci[8] = {};
    ASSERT_EQ(io.ioctl(fd, 0x4211C, pci), 0);
    EXPECT_EQ(getLe32(pci), 9u);
    EXPECT_EQ(getLe32(pci + 4), 4u);
    uint8_t verdict[4] = {};
    ASSERT_EQ(io.ioctl(fd, 0x42164, verdict), 0);
    EXPECT_EQ(getLe32(verdict), 2u);
    io.close(fd);
}

TEST_F(SimHostIoTest, FaultsActAfterSkipForTheirTimes)
{
    startSimulator("adapters = 1\n[adapter0.fault0]\non = open /dev/ulb0\nerrno = 5\nskip = 1\n");
    HostIo& io = hostIo();
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    int fd = io.open("/dev/ulb0", O_RDWR);
    EXPECT_GE(fd, 0);
    io.close(fd);
    EXPECT_EQ(io.open("/dev/ulb0", O_RDWR), -1);
    EXPECT_EQ(errno, 5);
    fd = io.open("/dev/ulb0", O_RDWR);
    EXPECT_GE(fd, 0);

    EXPECT_FALSE(sim().addFault(0, Fault{"ioctl", "errno = 5"}));
    EXPECT_FALSE(sim().addFault(0, Fault{"ioctl 0x42008", "status = 5"}));
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 16", 0, 2}));
    uint8_t fib[512];
    for (int i = 0; i < 3; ++i) {
        buildFib(fib, 703);
        EXPECT_EQ(io.ioctl(fd, 0x42008, fib), i < 2 ? -1 : 0) << i;
    }
    const std::vector<std::string> lines = sim().requestLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512 fault=1 errno=16");
    io.close(fd);
}

TEST_F(SimHostIoTest, FaultCountersAreSharedThroughTheState)
{
    const std::string desc = "adapters = 1\n[adapter0.fault2]\non = ioctl 0x42008\nerrno = 5\ntimes = 1\n";
    uint8_t fib[512];
    for (int run = 0; run < 2; ++run) {
        Simulator s(desc);
        ASSERT_TRUE(s.ok()) << s.message();
        s.install();
        if (run == 0) {
            ASSERT_EQ(hostIo().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
        }
        const int fd = hostIo().open("/dev/ulb0", O_RDWR);
        ASSERT_GE(fd, 0);
        buildFib(fib, 703);
        // the fault acts once in all, not once per simulator
        EXPECT_EQ(hostIo().ioctl(fd, 0x42008, fib), run == 0 ? -1 : 0) << run;
        hostIo().close(fd);
        if (run == 0) {
            EXPECT_EQ(s.requestLines().front(), "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512 fault=2 errno=5");
        }
    }
    EXPECT_NE(vyntest::readFile(hostFile("/var/lib/hostsim/adapter0.state")).find("fault2.acted = 1"),
              std::string::npos);
}

TEST_F(SimHostIoTest, AnIncompleteFaultRejectsTheDescription)
{
    Simulator s("adapters = 1\n[adapter0.fault0]\non = ioctl 0x42008\n");
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.controllerCount(), 0u);
    EXPECT_NE(s.message().find("fault 0 of adapter 0"), std::string::npos) << s.message();
}

TEST_F(SimHostIoTest, TraceFileGetsOneLinePerIoctl)
{
    const std::string trace = root() + "/trace.txt";
    ::setenv("VYN_SIMULATOR_TRACE", trace.c_str(), 1);
    startSimulator("adapters = 1\n");
    ::unsetenv("VYN_SIMULATOR_TRACE");
    HostIo& io = hostIo();
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    const int fd = io.open("/dev/ulb0", O_RDWR);
    uint8_t fib[512];
    buildFib(fib, 703);
    ASSERT_EQ(io.ioctl(fd, 0x42008, fib), 0);
    io.close(fd);
    EXPECT_EQ(vyntest::readFile(trace), "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512\n");
}

TEST_F(SimHostIoTest, SleepsAdvanceTheClockAndScaleRealTime)
{
    startSimulator("adapters = 1\n");
    sim().setSleepScale(0);
    hostIo().sleepMs(120000);
    hostIo().sleepMs(50);
    EXPECT_EQ(sim().clockMs(), 120050u);
}

TEST_F(SimHostIoTest, TwoSimulatorsOverOneRootSeeEachOthersNodes)
{
    Simulator a("adapters = 1\n");
    Simulator b("adapters = 1\n");
    ASSERT_EQ(a.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_TRUE(contains(b.nodeLines(), "/dev/ulb0 c 250 0"));
    EXPECT_EQ(b.io().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), -1);
    EXPECT_EQ(errno, EEXIST);
    const int fd = b.io().open("/dev/ulb0", O_RDWR);
    EXPECT_GE(fd, 0);
    b.io().close(fd);
    ASSERT_EQ(b.io().unlink("/dev/ulb0"), 0);
    EXPECT_FALSE(contains(a.nodeLines(), "/dev/ulb0 c 250 0"));
}

TEST_F(SimHostIoTest, TwoProcessesMakingNodesAtOnceLoseNone)
{
    constexpr int kPerProcess = 40;
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            SimHostIo io("adapters = 1\n", "child");
            int failures = 0;
            for (int i = 0; i < kPerProcess; ++i) {
                const std::string path = "/dev/p" + std::to_string(p) + "n" + std::to_string(i);
                failures += io.mknod(path.c_str(), S_IFCHR, makedev(250, i)) != 0;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Simulator s("adapters = 1\n");
    EXPECT_EQ(s.nodeLines().size(), 2u * kPerProcess);
}

TEST_F(SimHostIoTest, StateSurvivesAnUnchangedDescriptionAndAChangedOneReseeds)
{
    const std::string desc = "adapters = 1\n[adapter0]\ntype_text = \"FIRST\"\n";
    {
        Simulator s(desc);
        EXPECT_EQ(s.controller(0).typeText, "FIRST");
    }
    const std::string state = hostFile("/var/lib/hostsim/adapter0.state");
    std::string text = vyntest::readFile(state);
    ASSERT_NE(text.find("type_text = \"FIRST\""), std::string::npos) << text;
    ASSERT_NE(text.find("seed = 0x"), std::string::npos);
    // what an earlier run changed
    text.replace(text.find("\"FIRST\""), 7, "\"EDITED\"");
    vyntest::writeFile(state, text);
    {
        Simulator s(desc);
        EXPECT_EQ(s.controller(0).typeText, "EDITED");
    }
    {
        Simulator s(desc + "pci_bus = 4\n");
        EXPECT_EQ(s.controller(0).typeText, "FIRST");
        EXPECT_EQ(s.controller(0).pciBus, 4u);
    }
    EXPECT_NE(vyntest::readFile(state).find("pci_bus = 4"), std::string::npos);
}

TEST_F(SimHostIoTest, ResetReturnsToTheDescription)
{
    startSimulator("adapters = 1\n[adapter0]\npci_bus = 5\n");
    sim().controller(0).pciBus = 9;
    ASSERT_TRUE(sim().addFault(Fault{"open /dev/ulb0", "errno = 5", 0, 0}));
    sim().setSleepScale(0);
    hostIo().sleepMs(10);
    ASSERT_EQ(hostIo().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_EQ(hostIo().open("/dev/ulb0", O_RDWR), -1);
    sim().reset();
    EXPECT_EQ(sim().controller(0).pciBus, 5u);
    EXPECT_EQ(sim().clockMs(), 0u);
    const int fd = hostIo().open("/dev/ulb0", O_RDWR);
    EXPECT_GE(fd, 0);
    hostIo().close(fd);
    EXPECT_TRUE(contains(sim().nodeLines(), "/dev/ulb0 c 250 0"));  // nodes are never reseeded
}

TEST_F(SimHostIoTest, PersistOffWritesNoState)
{
    startSimulator("adapters = 1\n[hostsim]\npersist = 0\n");
    ASSERT_EQ(hostIo().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    EXPECT_TRUE(contains(sim().nodeLines(), "/dev/ulb0 c 250 0"));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/lib/hostsim")));
}

TEST_F(SimHostIoTest, FixtureFilesLoad)
{
    startFixture("two_adapters.conf");
    EXPECT_TRUE(sim().ok()) << sim().message();
    EXPECT_EQ(sim().controllerCount(), 2u);
}

}  // namespace
