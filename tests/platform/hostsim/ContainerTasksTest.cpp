// Checks, zeroing and rebuilds on the simulated controller: the tasks they
// start, what they leave when they end on the simulated clock, which hot
// spare a failed member is rebuilt onto, and a clock that adds up over
// simulators sharing one root.
#include "RawFibTest.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTasks.h"

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t W0 = 32;
uint32_t word(const std::vector<uint8_t>& fib, size_t n) { return getLe32(fib.data() + W0 + 4 * n); }

const char* kDrives = "[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\n";

class ContainerTasksTest : public vyntest::RawFibTest {
protected:
    uint32_t ct(int fd, uint32_t code, uint32_t p0, uint32_t p1 = 0)
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + W0 + 8, p0);
        putLe32(fib.data() + W0 + 12, p1);
        return word(send(fd, fib), 2);
    }
    ControllerState& state() { return sim().controller(0); }
    // The one unfinished task, or null.
    const ControllerState::Task* running(uint32_t job)
    {
        for (const auto& [id, t] : state().tasks)
            if (t.job == job && !taskFinished(t))
                return &t;
        return nullptr;
    }
};

TEST_F(ContainerTasksTest, ChecksStartATaskOfTheContainersKind)
{
    const int fd = openAdapter(std::string(kDrives) +
                               "drive3 = 0:3 sas 146G\nld0 = raid5 0:0,0:1,0:2\nld1 = raid1 0:3,0:2\n"
                               "drive4 = 0:4 sas 146G\nld2 = raid0 0:4\n");
    struct Case {
        uint32_t code, container, status, job, checkOnly;
    };
    const Case cases[] = {
        {141, 0, 163, 107, 2},  // a check without repair says so
        {141, 0, 176, 0, 0},    // one task at a time
        {61, 1, 163, 105, 0},   // a mirror's check with repair
        {142, 2, 176, 0, 0},    // nothing to check on a stripe
        {67, 9, 194, 0, 0},     // no such container
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.code * 100 + k.container);
        const size_t before = state().tasks.size();
        EXPECT_EQ(ct(fd, k.code, k.container), k.status);
        if (k.job == 0) {
            EXPECT_EQ(state().tasks.size(), before);
            continue;
        }
        ASSERT_EQ(state().tasks.size(), before + 1);
        const ControllerState::Task& t = state().tasks.rbegin()->second;
        EXPECT_EQ(t.job, k.job);
        EXPECT_EQ(t.object, k.container);
        EXPECT_EQ(t.specific[1], k.checkOnly);
    }
    // Every task runs for about sixty simulated seconds and ends.
    sim().advanceClock(30000);
    ASSERT_NE(running(107), nullptr);
    EXPECT_GT(running(107)->done * 100, running(107)->total * 49);
    // A rate rounded up runs at most one unit a second ahead of half.
    EXPECT_LE(running(107)->done * 2, running(107)->total + 60);
    sim().advanceClock(31000);
    EXPECT_EQ(running(107), nullptr);
    EXPECT_EQ(running(105), nullptr);
}

TEST_F(ContainerTasksTest, AZeroingTakesTheDataAndGivesTheDiskBackWhenItEnds)
{
    vyntest::writeFile(root() + "/disk.img", std::string(4096, 'x'));
    const int fd = openAdapter(std::string(kDrives) + "ld0 = raid1 0:0,0:1 image=disk.img\n");
    EXPECT_EQ(ct(fd, 59, 0, 64), 153u);  // the file-system area only: no task
    EXPECT_EQ(running(101), nullptr);
    EXPECT_EQ(ct(fd, 59, 0, 0xFFFFFFFF), 159u);
    ASSERT_NE(running(101), nullptr);
    EXPECT_EQ(state().objects.at("ld0").find("image="), std::string::npos);
    EXPECT_EQ(ct(fd, 59, 0, 0xFFFFFFFF), 0u);  // one zeroing at a time
    EXPECT_EQ(ct(fd, 61, 0), 176u);            // nor a check meanwhile
    // The library takes the disk from the host after its request.
    uint8_t record[8] = {};
    putLe32(record + 4, 0);
    ASSERT_EQ(hostIo().ioctl(fd, 0x163, record), 0);
    EXPECT_EQ(sim().diskOf(0, 0), "");

    sim().advanceClock(61000);
    EXPECT_EQ(running(101), nullptr);
    EXPECT_NE(state().objects.at("ld0").find("host=exposed"), std::string::npos);
    EXPECT_NE(sim().diskOf(0, 0), "");
    EXPECT_TRUE(state().containerSettings[0].clearHost.empty());
}

// Which drive a failed member is rebuilt onto, if any.
TEST_F(ContainerTasksTest, AFailedMemberIsRebuiltOntoASuitableSpare)
{
    struct Case {
        const char* name;
        const char* extra;
        const char* member;  // the drive in the failed member's place ("" when none took it)
        uint32_t job;
    };
    const Case cases[] = {
        {"global", "drive3 = 0:3 sas 146G spare=global\nld0 = raid5 0:0,0:1,0:2\n", "0:3", 106},
        {"dedicated first", "drive3 = 0:3 sas 300G spare=global\ndrive4 = 0:4 sas 146G spare=0\n"
                            "ld0 = raid5 0:0,0:1,0:2\n", "0:4", 106},
        {"mirror", "drive3 = 0:3 sas 146G spare=global\nld0 = raid1 0:0,0:1\n", "0:3", 110},
        {"too small", "drive3 = 0:3 sas 73G spare=global\nld0 = raid5 0:0,0:1,0:2\n", "", 0},
        {"failover off", "auto_failover = 0\ndrive3 = 0:3 sas 146G spare=global\nld0 = raid5 0:0,0:1,0:2\n",
         "", 0},
        {"not redundant", "drive3 = 0:3 sas 146G spare=global\nld0 = raid0 0:0,0:1\n", "", 0},
        {"spare of another", "drive3 = 0:3 sas 146G spare=1\nld0 = raid5 0:0,0:1,0:2\nld1 = raid1 0:2,0:1\n",
         "", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        startSimulator(std::string("hostsim.persist = 0\n") + kDrives + k.extra);
        const uint64_t size = configurationOf(state()).logDevs[0].blocks;
        ASSERT_TRUE(sim().failDrive(0, 0, 0));
        EXPECT_FALSE(sim().failDrive(0, 0, 0));  // it failed already
        const std::string line = state().objects.at("ld0");
        if (k.job == 0) {
            EXPECT_NE(line.find("0:0,"), std::string::npos) << line;
            EXPECT_TRUE(state().tasks.empty());
            continue;
        }
        EXPECT_NE(line.find(std::string(k.member) + ","), std::string::npos) << line;
        ASSERT_EQ(state().tasks.size(), 1u);
        const ControllerState::Task& t = state().tasks.begin()->second;
        EXPECT_EQ(t.job, k.job);
        EXPECT_EQ(t.object, 0u);
        const LogDevView l = configurationOf(state()).logDevs[0];
        EXPECT_EQ(l.blocks, size);
        EXPECT_EQ(segmentFlags(state(), l, l.members[0]), 0x2u);
        EXPECT_TRUE(taskWritesDrive(state(), state().tasks.begin()->first, l.members[0].phy));
        // The spare is a spare no more; once rebuilt, the member is whole.
        sim().advanceClock(61000);
        EXPECT_TRUE(taskFinished(state().tasks.begin()->second));
        const LogDevView after = configurationOf(state()).logDevs[0];
        EXPECT_EQ(segmentFlags(state(), after, after.members[0]), 0u);
        EXPECT_EQ(state().containerSettings[0].rebuildDrive, 0xFFFFFFFFu);
        for (const DeviceView& d : devicesOf(state())) {
            if (d.key == "drive3" && std::string(k.member) == "0:3") {
                EXPECT_EQ(d.pair("spare"), "");
            }
        }
    }
}

// Enabling a failed member that nothing replaced rebuilds the container onto
// the member itself; a failure of the drive being rebuilt ends the rebuild.
TEST_F(ContainerTasksTest, AMemberThatComesBackIsRebuilt)
{
    const int fd = openAdapter(std::string("hostsim.persist = 0\n") + kDrives + "ld0 = raid5 0:0,0:1,0:2\n");
    auto driveState = [&](uint32_t what) {
        // Class 3, sub-command 80 on drive 0:0: {request, 0}.
        std::vector<uint8_t> fib = request(3, 9);
        putLe32(fib.data() + W0 + 12, 0);
        putLe32(fib.data() + W0 + 16, 80);
        putLe32(fib.data() + W0 + 20, what);
        EXPECT_EQ(word(send(fd, fib), 0), 0u);
    };
    driveState(6);  // forced down: no spare, so nothing rebuilds
    EXPECT_TRUE(state().tasks.empty());
    driveState(5);
    ASSERT_EQ(state().tasks.size(), 1u);
    EXPECT_EQ(state().tasks.begin()->second.job, 106u);
    EXPECT_EQ(state().containerSettings[0].rebuildDrive, 0u);
    ASSERT_TRUE(sim().failDrive(0, 0, 0));
    EXPECT_EQ(state().tasks.begin()->second.status, 2u);
    EXPECT_EQ(state().containerSettings[0].rebuildDrive, 0xFFFFFFFFu);
}

TEST_F(ContainerTasksTest, TheClockAddsUpOverSimulatorsOfOneRoot)
{
    const std::string text = std::string(kDrives) + "ld0 = raid5 0:0,0:1,0:2\n[adapter0.task1]\njob = 107\ntotal = 60\n";
    startSimulator(text);
    sim().setSleepScale(0);
    sim().advanceClock(20000);
    EXPECT_EQ(sim().controller(0).clockMs, 20000u);
    EXPECT_EQ(sim().controller(0).tasks.at(1).done, 20u);
    // The next one goes on from there, by its own sleeps.
    Simulator next(text);
    next.setSleepScale(0);
    next.io().sleepMs(10000);
    next.advanceClock(0);
    EXPECT_EQ(next.controller(0).clockMs, 30000u);
    EXPECT_EQ(next.controller(0).tasks.at(1).done, 30u);
}

}  // namespace
