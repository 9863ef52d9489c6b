// Task requests of the adapter-initiated FIB (700): job descriptions, progress
// reports and one task's report, checked byte for byte against their layouts,
// and seeded tasks through the state file.
#include "RawFibTest.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/state/Controller.h"

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;
constexpr size_t kRecords = kPayload + 8;

// Drive verify on 0:2, mirror rebuild of container 0 half done, adapter
// verify, a suspended zeroing of container 0 and a finished task.
const char* kTasks =
    "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\n"
    "ld0 = raid1 0:0,0:1\n"
    "[adapter0.task7]\njob = 3\nobject = 0x2\ntotal = 600\n"
    "[adapter0.task8]\njob = 110\nobject = 0\ntotal = 0x1000000000\ndone = 0x800000000\nspecific = 5,6\n"
    "[adapter0.task9]\njob = 400\ntotal = 60\n"
    "[adapter0.task10]\njob = 101\nobject = 0\nstatus = 101\ntotal = 100\ndone = 40\n"
    "[adapter0.task11]\njob = 3\nobject = 0x1\nstatus = 1\ntotal = 10\ndone = 10\n";

class TasksTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> ask(int fd, uint32_t request, uint32_t argument = 0, uint32_t word3 = 0)
    {
        std::vector<uint8_t> fib(512, 0xA5);
        putLe32(fib.data(), 33);
        putLe16(fib.data() + 4, 700);
        fib[6] = 1;
        putLe16(fib.data() + 8, 72);
        putLe16(fib.data() + 10, 512);
        putLe32(fib.data() + kPayload, request);
        putLe32(fib.data() + kPayload + 8, argument);
        putLe32(fib.data() + kPayload + 12, word3);
        return send(fd, fib);
    }
    static uint32_t at(const std::vector<uint8_t>& fib, size_t offset) { return getLe32(fib.data() + offset); }
    static uint64_t at64(const std::vector<uint8_t>& fib, size_t offset)
    {
        return at(fib, offset) | static_cast<uint64_t>(at(fib, offset + 4)) << 32;
    }
};

TEST_F(TasksTest, JobDescriptionsOfEveryUnfinishedTask)
{
    const int fd = openAdapter(kTasks);
    const std::vector<uint8_t> fib = ask(fd, 100);
    EXPECT_EQ(at(fib, kPayload + 4), 1u);
    ASSERT_EQ(getLe16(fib.data() + 8), 40u + 4 * 16);
    const uint32_t expected[4][4] = {{7, 3, 2, 0}, {8, 110, 0, 0}, {9, 400, 0, 0}, {10, 101, 0, 0}};
    for (size_t i = 0; i < 4; ++i)
        for (size_t w = 0; w < 4; ++w)
            EXPECT_EQ(at(fib, kRecords + 16 * i + 4 * w), expected[i][w]) << i << "," << w;
    EXPECT_EQ(at(fib, kRecords + 64), 0u);
}

TEST_F(TasksTest, ProgressReportsOfOneObject)
{
    const int fd = openAdapter(kTasks);
    // Container 0: the rebuild and the suspended zeroing, not the drive jobs.
    std::vector<uint8_t> fib = ask(fd, 101, 0);
    ASSERT_EQ(getLe16(fib.data() + 8), 40u + 2 * 48);
    EXPECT_EQ(at(fib, kRecords + 0), 8u);
    EXPECT_EQ(at(fib, kRecords + 4), 110u);
    // Running reports 102, suspended 101.
    EXPECT_EQ(at(fib, kRecords + 16), 102u);
    EXPECT_EQ(at64(fib, kRecords + 24), 0x1000000000u);
    EXPECT_EQ(at64(fib, kRecords + 32), 0x800000000u);
    EXPECT_EQ(at(fib, kRecords + 40), 5u);
    EXPECT_EQ(at(fib, kRecords + 44), 6u);
    EXPECT_EQ(at(fib, kRecords + 48), 10u);
    EXPECT_EQ(at(fib, kRecords + 48 + 16), 101u);
    // Drive 0:2 (handle 2): its verify only; drive 0:1's verify has ended.
    fib = ask(fd, 102, 2);
    ASSERT_EQ(getLe16(fib.data() + 8), 40u + 48);
    EXPECT_EQ(at(fib, kRecords), 7u);
    EXPECT_EQ(getLe16(ask(fd, 102, 1).data() + 8), 40u);
}

TEST_F(TasksTest, OneTaskReportOrWhyThereIsNone)
{
    const int fd = openAdapter(kTasks);
    std::vector<uint8_t> fib = ask(fd, 103, 9);
    EXPECT_EQ(at(fib, kPayload + 4), 1u);
    EXPECT_EQ(getLe16(fib.data() + 8), 88u);
    EXPECT_EQ(at(fib, kRecords), 9u);
    EXPECT_EQ(at(fib, kRecords + 4), 400u);
    EXPECT_EQ(at64(fib, kRecords + 24), 60u);
    EXPECT_EQ(at(ask(fd, 103, 11), kPayload + 4), 5u);
    EXPECT_EQ(at(ask(fd, 103, 12), kPayload + 4), 4u);
    // An unknown request is a bad command.
    EXPECT_EQ(at(ask(fd, 199), kPayload + 4), 3u);
}

TEST_F(TasksTest, RunningTasksFollowTheSimulatedClock)
{
    const int fd = openAdapter(kTasks);
    sim().setSleepScale(0);
    // The adapter verify lasts 60 s by default: 1 unit a second.
    sim().io().sleepMs(30000);
    std::vector<uint8_t> fib = ask(fd, 103, 9);
    EXPECT_EQ(at64(fib, kRecords + 32), 30u);
    // The suspended zeroing stands still.
    EXPECT_EQ(at64(ask(fd, 103, 10), kRecords + 32), 40u);
    sim().io().sleepMs(30000);
    EXPECT_EQ(at(ask(fd, 103, 9), kPayload + 4), 5u);
}

// Counts a description gives at their largest saturate instead of wrapping
// back to a small done count.
TEST_F(TasksTest, HugeCountsReachTheirTotal)
{
    const int fd = openAdapter("[adapter0.task1]\njob = 400\ntotal = 0xFFFFFFFFFFFFFFFF\n"
                               "[adapter0.task2]\njob = 400\ntotal = 1000\nrate = 0xFFFFFFFFFFFFFFFF\n");
    sim().setSleepScale(0);
    sim().io().sleepMs(1000);
    const std::vector<uint8_t> first = ask(fd, 103, 1);
    EXPECT_GE(at64(first, kRecords + 32), 0xFFFFFFFFFFFFFFFFull / 60);
    EXPECT_EQ(at(ask(fd, 103, 2), kPayload + 4), 5u);
}

TEST_F(TasksTest, ManyTasksAreCutToWhatTheReplyHolds)
{
    std::string text = "hostsim.persist = 0\nadapters = 1\n";
    for (int t = 1; t <= 40; ++t)
        text += "[adapter0.task" + std::to_string(t) + "]\njob = 101\nobject = 3\ntotal = 100\n";
    const int fd = openAdapter(text);
    EXPECT_EQ(getLe16(ask(fd, 100).data() + 8), 40u + 29 * 16);
    EXPECT_EQ(getLe16(ask(fd, 101, 3).data() + 8), 40u + 9 * 48);
}

TEST_F(TasksTest, SeededTasksSurviveTheStateFile)
{
    Description desc;
    std::string error;
    ASSERT_TRUE(desc.parse(kTasks, "test", error)) << error;
    ControllerState first = ControllerState::fromDescription(desc, 0);
    first.tasks[8].atMs = 1234;
    Description again;
    ASSERT_TRUE(again.parse(first.toText(1), "state", error)) << error;
    const ControllerState second = ControllerState::fromDescription(again, 0);
    ASSERT_EQ(second.tasks.size(), 5u);
    const ControllerState::Task& t = second.tasks.at(8);
    EXPECT_EQ(t.job, 110u);
    EXPECT_EQ(t.object, 0u);
    EXPECT_EQ(t.status, 102u);
    EXPECT_EQ(t.total, 0x1000000000u);
    EXPECT_EQ(t.done, 0x800000000u);
    EXPECT_EQ(t.specific[1], 6u);
    EXPECT_EQ(t.atMs, 1234u);
    EXPECT_EQ(second.tasks.at(10).status, 101u);
}

// State files of earlier builds kept a running task as status 101 and a
// suspended one as 102; a description's status is the one the reports give.
TEST_F(TasksTest, AnEarlierStateFilesStatusesAreReadTheOtherWayRound)
{
    const struct {
        const char* text;
        uint32_t status;
    } cases[] = {
        {"[adapter0.task1]\njob = 3\nstatus = 101\n[hostsim]\nseed = 1\n", 102},
        {"[adapter0.task1]\njob = 3\nstatus = 102\n[hostsim]\nseed = 1\n", 101},
        {"[adapter0.task1]\njob = 3\nstatus = 1\n[hostsim]\nseed = 1\n", 1},
        {"[adapter0.task1]\njob = 3\nreport_status = 101\n[hostsim]\nseed = 1\n", 101},
        {"[adapter0.task1]\njob = 3\nstatus = 101\n", 101},
        {"[adapter0.task1]\njob = 3\n", 102},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Description desc;
        std::string error;
        ASSERT_TRUE(desc.parse(c.text, "state", error)) << error;
        EXPECT_EQ(ControllerState::fromDescription(desc, 0).tasks.at(1).status, c.status);
    }
}

}  // namespace

namespace {

TEST_F(TasksTest, TerminateSuspendAndResumeAnswerInWordOne)
{
    const int fd = openAdapter(kTasks);
    struct Case {
        uint32_t request;
        uint32_t task;
        uint32_t answer;
    };
    // 104 terminate, 105 suspend, 106 resume; answers 1 done, 4 no such
    // task, 5 finished, 6 already suspended, 7 already running.
    const Case cases[] = {
        {105, 8, 1}, {105, 8, 6}, {106, 8, 1}, {106, 8, 7}, {106, 10, 1},
        {105, 11, 5}, {104, 7, 1}, {104, 7, 5}, {105, 99, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.request) + " on " + std::to_string(c.task));
        const std::vector<uint8_t> fib = ask(fd, c.request, c.task);
        EXPECT_EQ(at(fib, kPayload + 4), c.answer);
        EXPECT_EQ(getLe16(fib.data() + 8), 40u);
    }
    const ControllerState& s = sim().controller(0);
    EXPECT_EQ(s.tasks.at(7).status, 1u);
    EXPECT_EQ(s.tasks.at(8).status, 102u);
    EXPECT_EQ(s.tasks.at(10).status, 102u);
    // A suspended task does not advance with the clock.
    ask(fd, 105, 10);
    const uint64_t done = sim().controller(0).tasks.at(10).done;
    sim().setSleepScale(0);
    hostIo().sleepMs(30000);
    EXPECT_EQ(at64(ask(fd, 103, 10), kRecords + 32), done);
}

// Finishing a job (110, word 3 the finish code): word 0 stays 0, word 1 says
// how it went; the job's finish code is kept.
TEST_F(TasksTest, FinishJobAnswersInWordOne)
{
    const int fd = openAdapter(kTasks);
    const struct {
        uint32_t task, answer;
    } cases[] = {{8, 1}, {8, 5}, {10, 1}, {11, 5}, {99, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.task);
        const std::vector<uint8_t> fib = ask(fd, 110, c.task, 3);
        EXPECT_EQ(at(fib, kPayload), 0u);
        EXPECT_EQ(at(fib, kPayload + 4), c.answer);
        EXPECT_EQ(getLe16(fib.data() + 8), 40u);
        EXPECT_EQ(at(fib, kRecords), 0u);
    }
    const ControllerState& s = sim().controller(0);
    EXPECT_EQ(s.tasks.at(8).finishCode, 3u);
    EXPECT_EQ(s.tasks.at(8).status, 1u);
    EXPECT_EQ(s.tasks.at(10).finishCode, 3u);
    EXPECT_EQ(s.tasks.at(11).finishCode, 0u);
}

// A job a command ended leaves the lists at once but still answers 103 with
// its final report (status 1) for one simulated second; then it is finished.
TEST_F(TasksTest, AnEndedJobReportsItsEndForOneSecond)
{
    const int fd = openAdapter(kTasks);
    sim().setSleepScale(0);
    ask(fd, 104, 8);
    ask(fd, 110, 10, 3);
    EXPECT_EQ(getLe16(ask(fd, 101, 0).data() + 8), 40u);
    EXPECT_EQ(getLe16(ask(fd, 100).data() + 8), 40u + 2 * 16);
    sim().io().sleepMs(999);
    for (uint32_t id : {8u, 10u}) {
        SCOPED_TRACE(id);
        const std::vector<uint8_t> fib = ask(fd, 103, id);
        EXPECT_EQ(at(fib, kPayload + 4), 1u);
        ASSERT_EQ(getLe16(fib.data() + 8), 88u);
        EXPECT_EQ(at(fib, kRecords), id);
        EXPECT_EQ(at(fib, kRecords + 16), 1u);
    }
    // The final report is still half done for the suspended zeroing.
    EXPECT_EQ(at64(ask(fd, 103, 10), kRecords + 32), 40u);
    sim().io().sleepMs(1);
    EXPECT_EQ(at(ask(fd, 103, 8), kPayload + 4), 5u);
    EXPECT_EQ(at(ask(fd, 103, 10), kPayload + 4), 5u);
    // The end survives the state file.
    Description again;
    std::string error;
    ASSERT_TRUE(again.parse(sim().controller(0).toText(1), "state", error)) << error;
    const ControllerState reread = ControllerState::fromDescription(again, 0);
    EXPECT_EQ(reread.tasks.at(10).finishCode, 3u);
    EXPECT_EQ(reread.tasks.at(10).finalUntilMs, sim().controller(0).tasks.at(10).finalUntilMs);
}

}  // namespace
