// Suspending, resuming and terminating tasks: the refusals by task function,
// the format and snapshot-update tasks ended by finishing their job, the poll
// after a suspend or resume, the reply word's statuses, and the tasks ended
// before a container goes.
#include "ContainerTest.h"
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container_intern.h"

#include <gtest/gtest.h>

#include <string>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::Fault;

constexpr uint32_t kRunning = 102;
constexpr uint32_t kSuspended = 101;
constexpr uint32_t kEnded = 1;

// A verify of drive 0:2, a format (job 300) and a scrub (job 105) of the
// stripe (number 2), a rebuild of the mirror (job 110, number 0).
const char* kTasks = "[adapter0.task7]\njob = 3\nobject = 0x2\ntotal = 600\n"
                     "[adapter0.task8]\njob = 300\nobject = 2\ntotal = 600\n"
                     "[adapter0.task9]\njob = 110\nobject = 0\ntotal = 600\n"
                     "[adapter0.task10]\njob = 105\nobject = 2\ntotal = 600\n";

class TaskControlTest : public vyntest::ContainerTest {
protected:
    FSAAPI_CONTEXT* openTasks(const std::string& tasks = kTasks)
    {
        FSAAPI_CONTEXT* ctx = open(tasks, FSA_ACC_READ_WRITE);
        if (ctx != nullptr)
            sim().setSleepScale(0);
        return ctx;
    }
    vyn::hostsim::ControllerState::Task& task(uint32_t id) { return sim().controller(0).tasks.at(id); }
    unsigned aifRequests()
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            n += r.isFib && r.command == 700 ? 1 : 0;
        return n;
    }
    // Requests that met a fault: armed on a request that must not be sent,
    // it tells whether it was.
    unsigned faulted()
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            n += r.fault >= 0 ? 1 : 0;
        return n;
    }
};

TEST_F(TaskControlTest, DriveTasksAreNeitherSuspendedNorResumed)
{
    ASSERT_NE(openTasks(), nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 105", "errno = 5", 0, 0}));
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 106", "errno = 5", 0, 0}));
    EXPECT_EQ(FsaTask(handle(), 7, 0), 155u);
    EXPECT_EQ(FsaTask(handle(), 7, 1), 155u);
    // Only the details were read each time.
    EXPECT_EQ(aifRequests(), 2u);
    EXPECT_EQ(faulted(), 0u);
    EXPECT_EQ(task(7).status, kRunning);
}

TEST_F(TaskControlTest, RefusalsByFunctionAndOperation)
{
    ASSERT_NE(openTasks(), nullptr);
    for (uint32_t request : {104u, 105u, 106u, 110u})
        ASSERT_TRUE(sim().addFault(0, Fault{"aif " + std::to_string(request), "errno = 5", 0, 0}));
    const struct {
        uint32_t task, operation;
        FSA_STATUS status;
    } cases[] = {
        {8, 0, 367},   // a format is neither suspended
        {8, 1, 367},   // nor resumed
        {9, 2, 176},   // a rebuild is not terminated
        {10, 3, 92},   // no such operation: nothing is read
        {12, 0, 100},  // no such task
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.task) + "/" + std::to_string(c.operation));
        EXPECT_EQ(FsaTask(handle(), c.task, c.operation), c.status);
    }
    EXPECT_EQ(aifRequests(), 4u);
    EXPECT_EQ(faulted(), 0u);
    EXPECT_EQ(task(8).status, kRunning);
    EXPECT_EQ(task(9).status, kRunning);
    // Commands change tasks: a read-only session is refused them.
    ASSERT_NE(open(kTasks), nullptr);
    EXPECT_EQ(FsaTask(handle(), 10, 2), 122u);
}

TEST_F(TaskControlTest, AFormatIsEndedByFinishingItsJob)
{
    ASSERT_NE(openTasks(), nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 104", "errno = 5", 0, 0}));
    EXPECT_EQ(FsaTask(handle(), 8, 2), FSA_STS_SUCCESS);
    EXPECT_EQ(faulted(), 0u);
    EXPECT_EQ(task(8).status, kEnded);
    EXPECT_EQ(task(8).finishCode, 3u);
    // Once ended there is nothing left to finish.
    EXPECT_EQ(FsaTask(handle(), 8, 2), 6u);
}

TEST_F(TaskControlTest, FinishingAJobAnswersByTheReply)
{
    ASSERT_NE(openTasks("[adapter0.task8]\njob = 300\nobject = 2\ntotal = 600\n"
                        "[adapter0.task9]\njob = 302\nobject = 2\ntotal = 600\n"
                        "[adapter0.task11]\njob = 301\nobject = 2\nstatus = 1\ntotal = 600\n"),
              nullptr);
    EXPECT_EQ(FtaFinishJob(handle(), 12, 3), 3u);  // no such task
    EXPECT_EQ(FtaFinishJob(handle(), 11, 3), 5u);  // already finished
    EXPECT_EQ(FtaFinishJob(handle(), 8, 4), 1u);
    EXPECT_EQ(task(8).finishCode, 4u);
    // Word 0 of the reply set: the request was refused, whatever word 1 says.
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 110", "status = 2", 0, 1}));
    EXPECT_EQ(FtaFinishJob(handle(), 9, 3), 4u);
    // A failed send is thrown.
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 110", "errno = 5", 0, 1}));
    EXPECT_NE(thrownBy([&] { FtaFinishJob(handle(), 9, 3); }), FSA_STS_SUCCESS);
}

TEST_F(TaskControlTest, SuspendThenResumeEachWaitForOnePoll)
{
    ASSERT_NE(openTasks(), nullptr);
    uint64_t before = sim().clockMs();
    EXPECT_EQ(FsaTask(handle(), 10, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(task(10).status, kSuspended);
    EXPECT_EQ(sim().clockMs(), before + 1000);
    const uint64_t done = task(10).done;
    before = sim().clockMs();
    EXPECT_EQ(FsaTask(handle(), 10, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(task(10).status, kRunning);
    EXPECT_EQ(sim().clockMs(), before + 1000);
    // Running again, it follows the clock.
    sim().io().sleepMs(10000);
    FSA_TASK_INFO info;
    ASSERT_EQ(FsaGetTaskDetails(handle(), 10, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(info.bytes + 36), 0u);
    EXPECT_GT(task(10).done, done);
}

// A controller slow to follow a suspend or a resume is asked ten times, a
// second apart: the poll ends once the task's report has left the state it
// had before the command (102, running, before a suspend; 101, suspended,
// before a resume).
TEST_F(TaskControlTest, APollLooksUntilTheTaskLeftItsStateOrTenTimes)
{
    ASSERT_NE(openTasks(), nullptr);
    const struct {
        uint32_t operation;
        const char* reported;  // the status every report of the scrub gives
        unsigned polls;
    } cases[] = {
        {0, "102", 10},  // the suspend has not taken yet
        {1, "101", 10},  // nor has the resume
        {0, "101", 1},
        {1, "102", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.operation) + " " + c.reported);
        sim().clearRequests();
        // The details read before the command and every look of the poll.
        ASSERT_TRUE(sim().addFault(0, Fault{"aif 103", std::string("poke = 24:4=") + c.reported, 0, 1 + c.polls}));
        const uint64_t before = sim().clockMs();
        FsaTask(handle(), 10, c.operation);
        EXPECT_EQ(sim().clockMs(), before + 1000 * c.polls);
        EXPECT_EQ(aifRequests(), 2 + c.polls);
    }
    // A failing read ends the poll: the details read before the command
    // passes, the first look fails.
    sim().clearRequests();
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 103", "errno = 5", 1, 1}));
    EXPECT_EQ(FsaTask(handle(), 10, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(aifRequests(), 3u);
}

TEST_F(TaskControlTest, ReplyWordGivesTheStatus)
{
    ASSERT_NE(openTasks(), nullptr);
    const uint32_t table[][2] = {{1, 1},   {4, 100}, {5, 111}, {6, 112}, {7, 113},
                                 {0, 6},   {2, 6},   {3, 6},   {99, 6}};
    for (const auto& row : table) {
        SCOPED_TRACE(row[0]);
        ASSERT_TRUE(sim().addFault(0, Fault{"aif 106", "poke = 4:4=" + std::to_string(row[0]), 0, 1}));
        EXPECT_EQ(FsaTask(handle(), 10, 1), row[1]);
    }
    // Unpoked, a resume of a running task is already running.
    EXPECT_EQ(FsaTask(handle(), 10, 1), 113u);
}

TEST_F(TaskControlTest, AWaitRightAfterATerminateReturnsAtOnce)
{
    ASSERT_NE(openTasks(), nullptr);
    for (uint32_t id : {10u, 8u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(FsaTask(handle(), id, 2), FSA_STS_SUCCESS);
        const uint64_t before = sim().clockMs();
        EXPECT_EQ(FsaWaitForTaskComplete(handle(), id, nullptr, nullptr), FSA_STS_SUCCESS);
        EXPECT_EQ(sim().clockMs(), before);
        // Ended, it has left the lists; a second on, its details are gone too.
        const tag_FSA_CONTAINER stripe{2, 0, 0};
        FSA_TASK_DESCRIPTOR out[4];
        uint32_t count = 9;
        ASSERT_EQ(FsaGetTaskList(handle(), nullptr, &stripe, out, &count, sizeof out), FSA_STS_SUCCESS);
        for (uint32_t i = 0; i < count; ++i)
            EXPECT_NE(out[i].taskId, id);
        FSA_TASK_INFO info;
        ASSERT_EQ(FsaGetTaskDetails(handle(), id, &info), FSA_STS_SUCCESS);
        EXPECT_EQ(faGetLe32(info.bytes + 36), 2u);
        EXPECT_EQ(faGetLe32(info.bytes + 40), 1000u);
        sim().io().sleepMs(1000);
        EXPECT_EQ(FsaGetTaskDetails(handle(), id, &info), 111u);
        EXPECT_EQ(FsaTask(handle(), id, 2), 111u);
    }
}

TEST_F(TaskControlTest, TasksBeforeAContainerGoesAreEndedOneAfterTheOther)
{
    FSAAPI_CONTEXT* ctx = openTasks("[adapter0.task20]\njob = 300\nobject = 2\ntotal = 600\n"
                                    "[adapter0.task21]\njob = 301\nobject = 2\ntotal = 600\n"
                                    "[adapter0.task22]\njob = 110\nobject = 2\ntotal = 600\n"
                                    "[adapter0.task23]\njob = 302\nobject = 2\ntotal = 600\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"aif 104", "errno = 5", 0, 0}));
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(thrownBy([&] { EndAllApiTasksOnContainer(ctx, 2, 1); }), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().clockMs(), before + 3000);
    // Each was ended a second after the one before it.
    uint64_t endedAt = before;
    for (uint32_t id : {20u, 21u, 23u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(task(id).status, kEnded);
        EXPECT_EQ(task(id).finishCode, 3u);
        EXPECT_EQ(task(id).finalUntilMs, endedAt + 1000);
        endedAt += 1000;
    }
    EXPECT_EQ(task(22).status, kRunning);
    EXPECT_EQ(faulted(), 0u);
}

}  // namespace
