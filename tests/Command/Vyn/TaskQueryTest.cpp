// Task lists and one task's details over the adapter-initiated task requests,
// and the search for the running background-verify task.
#include "ContainerTest.h"
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_intern_ctr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

constexpr uint32_t kAdapterWord = 0x30315356;

// A verify of drive 0:2, a rebuild of the mirror (number 0), the adapter
// verify, a job code the library does not know and a finished verify.
const char* kTasks = "[adapter0.task7]\njob = 3\nobject = 0x2\ntotal = 600\n"
                     "[adapter0.task8]\njob = 110\nobject = 0\ntotal = 1000\ndone = 250\nspecific = 5,6\n"
                     "[adapter0.task9]\njob = 400\ntotal = 600\n"
                     "[adapter0.task10]\njob = 999\nobject = 2\ntotal = 600\n"
                     "[adapter0.task11]\njob = 3\nobject = 0x1\nstatus = 1\ntotal = 10\ndone = 10\n";

class TaskQueryTest : public vyntest::ContainerTest {
protected:
    unsigned aifRequests()
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            n += r.isFib && r.command == 700 ? 1 : 0;
        return n;
    }
};

TEST_F(TaskQueryTest, ListOfAllTasksNamesTheirFunctionsAndObjects)
{
    ASSERT_NE(open(kTasks), nullptr);
    FSA_TASK_DESCRIPTOR out[6];
    std::memset(out, 0xEE, sizeof out);
    uint32_t count = 0;
    ASSERT_EQ(FsaGetTaskList(handle(), nullptr, nullptr, out, &count, sizeof out), 1);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(aifRequests(), 1u);
    struct Expected {
        uint32_t id, function, deviceWord, target, container;
    };
    const Expected expected[] = {
        {7, FSA_TF_SD_VERIFY, 0, 2, 0xFFFFFFFFu},
        {8, FSA_TF_CTR_MREBUILD, 1, 0, 0},
        {9, FSA_TF_ADAPTER_VERIFY, 1, 0, 0xFFFFFFFFu},
        {10, FSA_TF_UNKNOWN, 1, 0, 0xFFFFFFFFu},
    };
    for (uint32_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(out[i].taskId, expected[i].id);
        EXPECT_EQ(out[i].function, expected[i].function);
        EXPECT_EQ(out[i].device.storageDeviceType, expected[i].deviceWord);
        EXPECT_EQ(out[i].device.targetId, expected[i].target);
        EXPECT_EQ(out[i].container.number, expected[i].container);
        EXPECT_EQ(out[i].adapterId, kAdapterWord);
    }
    // Drive jobs carry the adapter in their device record, container jobs in
    // their container record.
    EXPECT_EQ(out[0].device.adapterSerial, kAdapterWord);
    EXPECT_EQ(out[1].container.adapterWord, kAdapterWord);
    EXPECT_EQ(out[4].taskId, 0xEEEEEEEEu);
}

TEST_F(TaskQueryTest, ListsChooseTheirRequestAndReportWhatDidNotFit)
{
    ASSERT_NE(open(kTasks), nullptr);
    FSA_TASK_DESCRIPTOR out[3];
    std::memset(out, 0xEE, sizeof out);
    uint32_t count = 0;
    // Room for two of four.
    EXPECT_EQ(FsaGetTaskList(handle(), nullptr, nullptr, out, &count, 2 * sizeof out[0] + 35), 5);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(out[1].taskId, 8u);
    EXPECT_EQ(out[2].taskId, 0xEEEEEEEEu);
    // Only the count.
    EXPECT_EQ(FsaGetTaskList(handle(), nullptr, nullptr, nullptr, &count, 0), 1);
    EXPECT_EQ(count, 4u);
    // A container's tasks, a drive's tasks.
    const tag_FSA_CONTAINER mirror{0, 0, kAdapterWord};
    ASSERT_EQ(FsaGetTaskList(handle(), nullptr, &mirror, out, &count, sizeof out), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(out[0].taskId, 8u);
    FSA_STORAGE_DEVICE drive{0, 0, 2, 0, 0, kAdapterWord};
    ASSERT_EQ(FsaGetTaskList(handle(), &drive, nullptr, out, &count, sizeof out), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(out[0].taskId, 7u);
    EXPECT_EQ(out[0].device.targetId, 2u);
    // Both objects at once are refused before anything is sent.
    sim().clearRequests();
    EXPECT_EQ(FsaGetTaskList(handle(), &drive, &mirror, out, &count, sizeof out), 7);
    EXPECT_EQ(aifRequests(), 0u);
}

TEST_F(TaskQueryTest, DetailsOfOneTask)
{
    ASSERT_NE(open(kTasks), nullptr);
    FSA_TASK_INFO info;
    ASSERT_EQ(FsaGetTaskDetails(handle(), 8, &info), 1);
    EXPECT_EQ(faGetLe32(info.bytes + 0), 8u);
    EXPECT_EQ(faGetLe32(info.bytes + 4), uint32_t{FSA_TF_CTR_MREBUILD});
    EXPECT_EQ(faGetLe32(info.bytes + 36), 0u);    // running
    EXPECT_EQ(faGetLe32(info.bytes + 40), 250u);  // tenths of a percent
    EXPECT_EQ(faGetLe32(info.bytes + 44), 5u);
    EXPECT_EQ(faGetLe32(info.bytes + 48), 6u);
    EXPECT_EQ(faGetLe32(info.bytes + 52), kAdapterWord);
    EXPECT_EQ(FsaGetTaskDetails(handle(), 11, &info), 111);
    EXPECT_EQ(FsaGetTaskDetails(handle(), 12, &info), 100);
}

TEST_F(TaskQueryTest, FailedSendIsTheListsStatus)
{
    ASSERT_NE(open(kTasks), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    ASSERT_TRUE(sim().addFault(0, vyn::hostsim::Fault{"aif 100", "errno = 5", 0, 0}));
    uint8_t request[72] = {};
    faPutLe32(request, 100);
    const FSA_STATUS sent = AIF_SendFIB(ctx, request, sizeof request, nullptr, 0);
    EXPECT_NE(sent, 1);
    FSA_TASK_DESCRIPTOR out[29];
    EXPECT_EQ(thrownBy([&] { AIF_GetTaskListForAll(ctx, out); }), sent);
    uint32_t count = 7;
    EXPECT_EQ(FsaGetTaskList(handle(), nullptr, nullptr, out, &count, sizeof out), sent);
    // A request longer than a FIB can carry is refused unsent.
    sim().clearRequests();
    uint8_t tooLong[481] = {};
    EXPECT_EQ(AIF_SendFIB(ctx, tooLong, sizeof tooLong, nullptr, 0), 7);
    EXPECT_EQ(aifRequests(), 0u);
}

// A reply's Size decides the record count; one claiming more than the
// 512-byte block holds is cut to the block.
TEST_F(TaskQueryTest, ReplyRecordCountsStayInsideTheBlock)
{
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    _FIB reply;
    std::memset(&reply, 0, sizeof reply);
    FSA_TASK_DESCRIPTOR out[AIF_MAX_TASKS];
    const struct {
        uint16_t size;
        uint32_t descriptions, reports;
    } cases[] = {{0, 0, 0}, {39, 0, 0}, {40 + 16 * 3, 3, 1}, {40 + 48 * 2, 6, 2}, {0xFFFF, 29, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        reply.Header.Size = c.size;
        EXPECT_EQ(AIF_TranslateJDResponseFIB(ctx, &reply, out), c.descriptions);
        EXPECT_EQ(AIF_TranslatePRResponseFIB(ctx, &reply, out), c.reports);
    }
}

TEST_F(TaskQueryTest, ReportStatusGivesStateAndProgress)
{
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    const struct {
        uint32_t status;
        uint64_t total, done;
        uint32_t state, progress;
    } cases[] = {
        {101, 3000, 1000, 1, 333}, {102, 0, 5, 0, 0},       {1, 10, 0, 2, 1000}, {2, 0, 0, 2, 1000},
        {3, 10, 10, 4, 1000},      {4, 1ull << 40, 1, 3, 0}, {5, 4, 1, 6, 250},  {6, 4, 2, 7, 500},
        {77, 4, 3, 5, 750},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        AifJobProgressReport report{};
        faPutLe32(report.bytes + 0, 21);
        faPutLe32(report.bytes + 4, 106);
        faPutLe32(report.bytes + 8, 2);
        faPutLe32(report.bytes + 16, c.status);
        faPutLe64(report.bytes + 24, c.total);
        faPutLe64(report.bytes + 32, c.done);
        FSA_TASK_INFO info;
        CB_JobPRToTaskInfo(ctx, nullptr, &report, &info);
        EXPECT_EQ(faGetLe32(info.bytes + 4), uint32_t{FSA_TF_CTR_R5REBUILD});
        EXPECT_EQ(faGetLe32(info.bytes + 20), 2u);
        EXPECT_EQ(faGetLe32(info.bytes + 36), c.state);
        EXPECT_EQ(faGetLe32(info.bytes + 40), c.progress);
    }
}

TEST_F(TaskQueryTest, JobCodesMapToFunctions)
{
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    const uint32_t table[][2] = {
        {2, 0},    {3, 1},    {4, 2},    {5, 12},   {7, 28},   {101, 3},  {102, 4},  {103, 5},  {105, 7},
        {106, 8},  {107, 9},  {108, 14}, {110, 17}, {111, 20}, {112, 22}, {113, 23}, {114, 24}, {115, 25},
        {116, 26}, {117, 27}, {118, 29}, {300, 15}, {301, 16}, {302, 18}, {303, 21}, {400, 19}, {104, 20},
        {0, 20},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row[0]);
        AifJobDesc job{};
        faPutLe32(job.bytes + 4, row[0]);
        faPutLe32(job.bytes + 8, 3);
        FSA_TASK_DESCRIPTOR d;
        CB_JobDescToTaskDesc(ctx, &job, &d);
        EXPECT_EQ(d.function, row[1]);
        const bool drive = row[0] < 100 && row[0] != 0;
        const bool container = row[0] >= 100 && row[0] != 400 && row[0] != 104;
        EXPECT_EQ(d.device.targetId, drive ? 3u : 0u);
        EXPECT_EQ(d.container.number, container ? 3u : 0xFFFFFFFFu);
    }
}

TEST_F(TaskQueryTest, VerifyTaskIsFoundAndEveryRoundRuns)
{
    ASSERT_NE(open("verify = 1\n[adapter0.task7]\njob = 3\nobject = 0x2\ntotal = 600\n"
                   "[adapter0.task400]\njob = 400\nstatus = 101\ntotal = 100000\ndone = 500\n"),
              nullptr);
    sim().setSleepScale(0);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    FSA_TASK_INFO task;
    std::memset(task.bytes, 0xEE, sizeof task.bytes);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(CtFindVerifyTask(ctx, &task), 1);
    EXPECT_EQ(sim().clockMs(), before + 1000);
    EXPECT_EQ(faGetLe32(task.bytes + 0), 400u);
    EXPECT_EQ(faGetLe32(task.bytes + 4), uint32_t{FSA_TF_ADAPTER_VERIFY});
    EXPECT_EQ(faGetLe32(task.bytes + 36), 1u);
    // Each round: the list and the details of both tasks.
    EXPECT_EQ(aifRequests(), 5u * 3);
}

TEST_F(TaskQueryTest, VerifyTaskThatIsNotRunningIsNotTaken)
{
    ASSERT_NE(open("verify = 1\n[adapter0.task400]\njob = 400\nstatus = 3\ntotal = 600\n"), nullptr);
    sim().setSleepScale(0);
    FSA_TASK_INFO task;
    std::memset(task.bytes, 0xEE, sizeof task.bytes);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(CtFindVerifyTask(UtilGetContextFromHandle(handle()), &task), 0);
    EXPECT_EQ(sim().clockMs(), before + 1000);
    EXPECT_EQ(task.bytes[0], 0);
}

struct Call {
    uint32_t status, task, progress, word;
};
std::vector<Call> calls;

void record(uint32_t status, const FSA_TASK_INFO* info, uint32_t word)
{
    calls.push_back({status, faGetLe32(info->bytes), faGetLe32(info->bytes + 40), word});
}

FSA_TASK_INFO taskInfo(uint32_t task, uint32_t state, uint32_t progress)
{
    FSA_TASK_INFO info{};
    faPutLe32(info.bytes + 0, task);
    faPutLe32(info.bytes + 36, state);
    faPutLe32(info.bytes + 40, progress);
    return info;
}

TEST_F(TaskQueryTest, CallbacksFollowTheirStepAndEndWithTheTask)
{
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    CTaskCallbackManager& m = ctx->taskCallbackManager;
    calls.clear();
    const ProgressCallbackInfo bound{8, record, 100, 0, 1};
    const ProgressCallbackInfo every{0, record, 100, 0, 2};
    m.AddCallback(&bound);
    m.AddCallback(&every);
    const struct {
        uint32_t task, state, progress;
        std::vector<Call> expected;
    } steps[] = {
        {8, 1, 50, {{1, 8, 50, 2}}},                    // below the step
        {8, 1, 150, {{1, 8, 150, 1}, {1, 8, 150, 2}}},  // a step further
        {8, 1, 200, {{1, 8, 200, 2}}},
        {9, 1, 10, {{1, 9, 10, 2}}},                    // another task
        {8, 4, 210, {{99, 8, 210, 1}}},                 // ended: final, then removed
        {8, 1, 900, {{1, 8, 900, 2}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.progress);
        calls.clear();
        const FSA_TASK_INFO info = taskInfo(step.task, step.state, step.progress);
        EXPECT_EQ(m.DoCallback(ctx, nullptr, nullptr, &info), 1);
        ASSERT_EQ(calls.size(), step.expected.size());
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].status, step.expected[i].status);
            EXPECT_EQ(calls[i].task, step.expected[i].task);
            EXPECT_EQ(calls[i].progress, step.expected[i].progress);
            EXPECT_EQ(calls[i].word, step.expected[i].word);
        }
    }
    EXPECT_EQ(m.CallbackCount(), 1u);
    m.RemoveCallback(0);
    EXPECT_EQ(m.CallbackCount(), 0u);
    const FSA_TASK_INFO info = taskInfo(8, 1, 999);
    EXPECT_EQ(m.DoCallback(ctx, nullptr, nullptr, &info), 0);
}

// A callback that registers more callbacks grows the list under the loop
// that called it; the loop keeps to what it copied (AddressSanitizer).
CTaskCallbackManager* growing = nullptr;
void registerMore(uint32_t, const FSA_TASK_INFO*, uint32_t)
{
    for (uint32_t task = 100; task < 120; ++task) {
        const ProgressCallbackInfo more{task, record, 100, 0, 0};
        growing->AddCallback(&more);
    }
}

TEST_F(TaskQueryTest, ACallbackMayRegisterCallbacks)
{
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle());
    CTaskCallbackManager& m = ctx->taskCallbackManager;
    growing = &m;
    const ProgressCallbackInfo first{8, registerMore, 100, 0, 1};
    m.AddCallback(&first);
    const FSA_TASK_INFO info = taskInfo(8, 1, 500);
    EXPECT_EQ(m.DoCallback(ctx, nullptr, nullptr, &info), 1);
    EXPECT_EQ(m.CallbackCount(), 21u);
    m.RemoveCallback(0);
    growing = nullptr;
}

TEST_F(TaskQueryTest, ProgressIsReportedForEveryRunningTask)
{
    ASSERT_NE(open(kTasks), nullptr);
    calls.clear();
    ASSERT_EQ(FsaGetTaskProgress(handle(), 0, 10, record, 5), 1);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].task, 8u);
    EXPECT_EQ(calls[1].progress, 250u);
    EXPECT_EQ(calls[1].word, 5u);
    ASSERT_EQ(FsaGetTaskProgress(handle(), 0, 0, nullptr, 0), 1);
    EXPECT_EQ(UtilGetContextFromHandle(handle())->taskCallbackManager.CallbackCount(), 0u);
}

TEST_F(TaskQueryTest, WaitsEndWhenTheTaskEnds)
{
    // A rebuild of the mirror that ends 6 s on, and a verify of drive 0:3
    // that has already failed.
    ASSERT_NE(open("[adapter0.task5]\njob = 110\nobject = 0\ntotal = 600\nrate = 100\n"
                   "[adapter0.task6]\njob = 3\nobject = 3\nstatus = 3\ntotal = 600\n"),
              nullptr);
    sim().setSleepScale(0);
    const tag_FSA_CONTAINER mirror{0, 0, kAdapterWord};
    const tag_FSA_CONTAINER stripe{2, 0, kAdapterWord};
    FSA_STORAGE_DEVICE drive{0, 0, 3, 0, 0, kAdapterWord};
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 5, &mirror, nullptr), 7);
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 0, nullptr, nullptr), 7);
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 0, &mirror, &drive), 7);
    uint64_t before = sim().clockMs();
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 6, nullptr, nullptr), 1);
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 0, &stripe, nullptr), 1);
    EXPECT_EQ(sim().clockMs(), before);
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 12, nullptr, nullptr), 100);
    before = sim().clockMs();
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 0, &mirror, nullptr), 1);
    EXPECT_GE(sim().clockMs(), before + 6000);
    FSA_TASK_INFO info;
    EXPECT_EQ(FsaGetTaskDetails(handle(), 5, &info), 111);
}

// Tasks that have ended but that the firmware still lists are waited for
// once each, not again and again.
TEST_F(TaskQueryTest, AnEndedTaskStillListedIsWaitedForOnce)
{
    ASSERT_NE(open("[adapter0.task20]\njob = 110\nobject = 2\nstatus = 3\ntotal = 600\n"
                   "[adapter0.task21]\njob = 110\nobject = 2\nstatus = 3\ntotal = 600\n"),
              nullptr);
    sim().setSleepScale(0);
    const tag_FSA_CONTAINER stripe{2, 0, kAdapterWord};
    EXPECT_EQ(FsaWaitForTaskComplete(handle(), 0, &stripe, nullptr), 1);
}

}  // namespace
