// The event thread and the general callback: events pushed by the controller
// reach the callback through the thread, keep the partition cache honest and
// feed the task progress callbacks; the thread starts with a hand-shake and
// ends when it is stopped.
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/os/faux_aif.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "FsaThrown.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using vyn::hostsim::Fault;
using vyntest::thrownBy;

namespace {

constexpr FSA_STATUS kNoEvent = 336;

// What the general callback saw: each event's class and details (empty when
// none came), and the classes it declines.
struct GeneralLog {
    std::mutex mutex;
    std::vector<uint32_t> classes;
    std::vector<std::vector<uint8_t>> details;
    std::set<uint32_t> declined;
    void* handle = nullptr;

    static int record(void* handle, uint32_t eventClass, const void* event, void* user)
    {
        GeneralLog* self = static_cast<GeneralLog*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->handle = handle;
        self->classes.push_back(eventClass);
        const uint8_t* bytes = static_cast<const uint8_t*>(event);
        self->details.push_back(bytes == nullptr ? std::vector<uint8_t>()
                                                 : std::vector<uint8_t>(bytes, bytes + FSA_EVENT_DETAILS_BYTES));
        return self->declined.count(eventClass) != 0 ? 0 : 1;
    }
    std::vector<uint32_t> seen()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return classes;
    }
    bool has(uint32_t eventClass)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (uint32_t c : classes)
            if (c == eventClass)
                return true;
        return false;
    }
};

// The task progress callbacks the thread made: task id and status.
struct ProgressLog {
    std::mutex mutex;
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    uint32_t contextWord = 0;
};
ProgressLog* progressLog = nullptr;

void recordProgress(uint32_t status, const FSA_TASK_INFO* info, uint32_t contextWord)
{
    std::lock_guard<std::mutex> lock(progressLog->mutex);
    progressLog->calls.emplace_back(faGetLe32(info->bytes), status);
    progressLog->contextWord = contextWord;
}

// A job-progress FIB as the controller queues it: one report per task id
// (a running drive verify, 100 of 1000 done), Size as given.
std::vector<uint8_t> jobProgressFib(const std::vector<uint32_t>& tasks, uint16_t size)
{
    std::vector<uint8_t> fib(512, 0);
    faPutLe32(fib.data(), 1);
    faPutLe16(fib.data() + 4, 700);
    fib[6] = 1;
    faPutLe16(fib.data() + 8, size);
    faPutLe16(fib.data() + 10, 512);
    uint8_t* payload = fib.data() + 32;
    faPutLe32(payload, 2);
    for (size_t i = 0; i < tasks.size(); ++i) {
        uint8_t* report = payload + 8 + 48 * i;
        faPutLe32(report, tasks[i]);
        faPutLe32(report + 4, 110);  // drive verify
        faPutLe32(report + 16, 101);  // running
        faPutLe32(report + 24, 1000);
        faPutLe32(report + 32, 100);
    }
    return fib;
}

class EventThreadTest : public vyntest::OpenSessionTest {
protected:
    void TearDown() override
    {
        progressLog = nullptr;
        vyntest::OpenSessionTest::TearDown();
    }
    // A read-write session over a simulator whose threads wait on each
    // other through polled sleeps.
    void* begin(const std::string& extra = "")
    {
        void* h = start(extra);
        if (h != nullptr)
            sim().setSleepScale(10);
        return h;
    }
    // Registers the log for `mask` and starts the thread; false when either
    // fails.
    bool listen(void* h, uint32_t mask)
    {
        if (FsaRegisterGeneralCallback(h, mask, &GeneralLog::record, &log_) != FSA_STS_SUCCESS)
            return false;
        return AIF_StartThreadProcessing(context(h)) == 1;
    }
    // Waits (real time, bounded) until `done` holds.
    static bool eventually(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // Raises a configuration change after what was raised before and waits
    // until the thread has passed it.
    bool drained()
    {
        sim().raiseEvent(0, 3);
        return eventually([&] { return log_.has(FSA_EM_CONFIG_CHANGE); });
    }

    GeneralLog log_;
};

TEST_F(EventThreadTest, RegistrationAcknowledgesAtOnceAndAsksForEventsOnce)
{
    struct Case {
        const char* name;
        FSA_ACCESS access;
        uint32_t mask;
        size_t acknowledged;
        unsigned asked;  // CT 155 requests
    };
    const Case cases[] = {
        {"read-write with the acknowledge bit", FSA_ACC_READ_WRITE, FSA_EM_ACKNOWLEDGE | FSA_EM_DISK_FAILURE, 1, 1},
        {"without the acknowledge bit", FSA_ACC_READ_WRITE, FSA_EM_DISK_FAILURE, 0, 1},
        {"read-only", FSA_ACC_READ_ONLY, FSA_EM_ACKNOWLEDGE, 1, 0},
    };
    ASSERT_NE(start("", FSA_ACC_READ_ONLY), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GeneralLog log;
        void* h = openAgain(c.access);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(FsaRegisterGeneralCallback(h, c.mask, &GeneralLog::record, &log), FSA_STS_SUCCESS);
        ASSERT_EQ(log.classes.size(), c.acknowledged);
        if (c.acknowledged != 0) {
            EXPECT_EQ(log.classes[0], FSA_EM_ACKNOWLEDGE);
            EXPECT_TRUE(log.details[0].empty());
            EXPECT_EQ(log.handle, h);
        }
        EXPECT_EQ(context(h)->eventMask, c.mask);
        // A second registration replaces the first and asks no more.
        EXPECT_EQ(FsaRegisterGeneralCallback(h, c.mask, &GeneralLog::record, &log), FSA_STS_SUCCESS);
        EXPECT_EQ(log.classes.size(), 2 * c.acknowledged);
        EXPECT_EQ(sent(500, 155), c.asked);
        FsaCloseAdapter(h);
    }

    void* h = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(h, nullptr);
    context(h)->paused = 1;
    GeneralLog log;
    EXPECT_EQ(FsaRegisterGeneralCallback(h, FSA_EM_ACKNOWLEDGE, &GeneralLog::record, &log), FSA_STS_ADAPTER_PAUSED);
    EXPECT_TRUE(log.classes.empty());
    context(h)->paused = 0;
}

TEST_F(EventThreadTest, DeclinedClassIsNotReportedAgain)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    log_.declined = {FSA_EM_DISK_FAILURE};
    ASSERT_TRUE(listen(h, FSA_EM_DISK_FAILURE | FSA_EM_CONFIG_CHANGE | FSA_EM_ADAPTER_PAUSED));
    sim().raiseEvent(0, 5, {0x2});
    sim().raiseEvent(0, 9);
    sim().raiseEvent(0, 5, {0x2});
    sim().raiseEvent(0, 9);
    ASSERT_TRUE(drained());
    EXPECT_EQ(log_.seen(), (std::vector<uint32_t>{FSA_EM_DISK_FAILURE, FSA_EM_ADAPTER_PAUSED, FSA_EM_ADAPTER_PAUSED,
                                                  FSA_EM_CONFIG_CHANGE}));
    EXPECT_EQ(context(h)->eventMask, FSA_EM_CONFIG_CHANGE | FSA_EM_ADAPTER_PAUSED);
}

TEST_F(EventThreadTest, EachProgressReportIsAnEventAndAProgressCallback)
{
    ProgressLog progress;
    progressLog = &progress;
    void* h = begin();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaGetTaskProgress(h, 0, 0, recordProgress, 77), FSA_STS_SUCCESS);
    ASSERT_TRUE(listen(h, FSA_EM_JOB_PROGRESS | FSA_EM_CONFIG_CHANGE));
    // The FIB holds nine reports, all its payload has room for. Size counts
    // the reports; one that claims more than the FIB can hold is read only as
    // far as the FIB goes, one too small for a report gives none.
    struct Case {
        const char* name;
        uint16_t size;
        size_t reports;
    };
    const Case cases[] = {
        {"three reports", 40 + 3 * 48, 3},
        {"size past the FIB", 0xFFFF, 9},
        {"size under one report", 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard<std::mutex> lock(log_.mutex);
            log_.classes.clear();
            log_.details.clear();
        }
        {
            std::lock_guard<std::mutex> lock(progress.mutex);
            progress.calls.clear();
        }
        sim().queueAif(0, jobProgressFib({21, 22, 23, 24, 25, 26, 27, 28, 29}, c.size).data());
        ASSERT_TRUE(drained());
        std::lock_guard<std::mutex> lock(log_.mutex);
        ASSERT_EQ(log_.classes.size(), c.reports + 1);
        for (size_t i = 0; i < c.reports; ++i) {
            EXPECT_EQ(log_.classes[i], FSA_EM_JOB_PROGRESS);
            EXPECT_EQ(faGetLe32(log_.details[i].data()), 21 + i);
        }
        std::lock_guard<std::mutex> calls(progress.mutex);
        ASSERT_EQ(progress.calls.size(), c.reports);
        for (size_t i = 0; i < c.reports; ++i)
            EXPECT_EQ(progress.calls[i], std::make_pair(static_cast<uint32_t>(21 + i), 1u));
        if (c.reports != 0) {
            EXPECT_EQ(progress.contextWord, 77u);
        }
    }
}

TEST_F(EventThreadTest, PartitionCacheFollowsTheEventsThatChangePartitions)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ASSERT_TRUE(listen(h, 0xFFFFFFFF));
    struct Case {
        const char* name;
        uint32_t code;
        std::vector<uint32_t> words;
        uint32_t eventClass;
        bool invalidates;
    };
    const Case cases[] = {
        {"container event 19 (notification 12)", 12, {5}, FSA_EM_CONTAINER_EVENT, true},
        {"container event 1 (firmware value 4)", 7, {5, 4}, FSA_EM_CONTAINER_EVENT, false},
        {"container event 10 (firmware value 16)", 7, {5, 16}, FSA_EM_CONTAINER_EVENT, true},
        {"container event 32 (firmware value 28)", 7, {5, 28}, FSA_EM_CONTAINER_EVENT, false},
        {"container change", 4, {5}, FSA_EM_CONTAINER_CHANGE, true},
        {"container deleted", 16, {5}, FSA_EM_CONTAINER_DELETE, true},
        {"disk failure", 5, {0x2}, FSA_EM_DISK_FAILURE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(FsaForcePartitionCacheUpdate(h), FSA_STS_SUCCESS);
        ASSERT_NE(ctx->partitionCache, nullptr);
        ASSERT_EQ(ctx->partitionCache->valid, 1u);
        {
            std::lock_guard<std::mutex> lock(log_.mutex);
            log_.classes.clear();
        }
        sim().raiseEvent(0, c.code, c.words);
        // The callback runs after the cache was dealt with.
        ASSERT_TRUE(eventually([&] { return log_.has(c.eventClass); }));
        EXPECT_EQ(ctx->partitionCache->valid == 0, c.invalidates);
    }
}

// A rebuild of the cache holds its mutex from the first read to marking it
// valid; an event that came meanwhile must leave the cache stale afterwards.
TEST_F(EventThreadTest, AnEventDuringARebuildLeavesTheCacheStale)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ASSERT_TRUE(listen(h, FSA_EM_CONTAINER_CHANGE));
    ASSERT_EQ(FsaForcePartitionCacheUpdate(h), FSA_STS_SUCCESS);
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    ASSERT_NE(cache, nullptr);
    {
        FAUX_AUTORELEASE_MUTEX rebuild(cache->mutex);
        sim().raiseEvent(0, 4, {5});
        // Long enough for the thread to have fetched the event many times over.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(log_.has(FSA_EM_CONTAINER_CHANGE));
        cache->valid = 1;
    }
    ASSERT_TRUE(eventually([&] { return log_.has(FSA_EM_CONTAINER_CHANGE); }));
    EXPECT_EQ(cache->valid, 0u);
}

// Translating an event reads what exports rebuild under the context's API
// mutex: while an export holds it, the thread's translation waits.
TEST_F(EventThreadTest, TranslationWaitsForTheContextMutex)
{
    ProgressLog progress;
    progressLog = &progress;
    void* h = begin();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ASSERT_EQ(FsaGetTaskProgress(h, 0, 0, recordProgress, 77), FSA_STS_SUCCESS);
    ASSERT_TRUE(listen(h, FSA_EM_DISK_FAILURE | FSA_EM_JOB_PROGRESS));
    struct Case {
        const char* name;
        std::function<void()> raise;
        uint32_t eventClass;
    };
    const Case cases[] = {
        {"notification", [&] { sim().raiseEvent(0, 5, {0x2}); }, FSA_EM_DISK_FAILURE},
        {"progress report", [&] { sim().queueAif(0, jobProgressFib({21}, 40 + 48).data()); }, FSA_EM_JOB_PROGRESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            // As an export on another thread holds it.
            CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
            c.raise();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_FALSE(log_.has(c.eventClass));
        }
        EXPECT_TRUE(eventually([&] { return log_.has(c.eventClass); }));
    }
    std::lock_guard<std::mutex> lock(progress.mutex);
    EXPECT_EQ(progress.calls.size(), 1u);
}

TEST_F(EventThreadTest, FailoverChangeAboveTheAccessibleLimitIsDropped)
{
    void* h = begin("adapter0.accessible_containers = 8\n");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(listen(h, FSA_EM_FAILOVER_CHANGE | FSA_EM_CONFIG_CHANGE));
    sim().raiseEvent(0, 11, {9});
    sim().raiseEvent(0, 11, {3});
    ASSERT_TRUE(drained());
    std::lock_guard<std::mutex> lock(log_.mutex);
    ASSERT_EQ(log_.classes, (std::vector<uint32_t>{FSA_EM_FAILOVER_CHANGE, FSA_EM_CONFIG_CHANGE}));
    EXPECT_EQ(faGetLe32(log_.details[0].data()), 3u);
}

TEST_F(EventThreadTest, ClientEventsCarryOnlyTheirFirst56BytesOfDetails)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(listen(h, FSA_EM_DISK_SET | FSA_EM_CONFIG_CHANGE));
    FSA_EVENT_DETAILS details;
    for (size_t i = 0; i < sizeof details.bytes; ++i)
        details.bytes[i] = static_cast<uint8_t>(i + 1);
    sim().clearRequests();
    AIF_SendEventToAllClients(context(h), FSA_EM_DISK_SET, &details);
    ASSERT_TRUE(drained());
    bool requested = false;
    for (const vyn::hostsim::Request& r : sim().requests())
        if (r.isFib && r.command == 700) {
            EXPECT_EQ(r.size, 68u);
            requested = true;
        }
    EXPECT_TRUE(requested);
    {
        std::lock_guard<std::mutex> lock(log_.mutex);
        ASSERT_GE(log_.classes.size(), 1u);
        EXPECT_EQ(log_.classes[0], FSA_EM_DISK_SET);
        const std::vector<uint8_t>& got = log_.details[0];
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 56),
                  std::vector<uint8_t>(details.bytes, details.bytes + 56));
        EXPECT_EQ(std::vector<uint8_t>(got.begin() + 56, got.end()), std::vector<uint8_t>(320 - 56, 0));
    }

    // A request the transport cannot send is thrown.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    EXPECT_EQ(thrownBy([&] { AIF_SendEventToAllClients(context(h), FSA_EM_DISK_SET, &details); }),
              static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED));
}

TEST_F(EventThreadTest, StopEndsTheThreadAndClosesItsChannel)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ASSERT_TRUE(listen(h, FSA_EM_CONFIG_CHANGE | FSA_EM_ADAPTER_PAUSED));
    EXPECT_EQ(AIF_StartThreadProcessing(ctx), 1);  // already running
    ASSERT_NE(ctx->aifChannel[1], nullptr);
    ASSERT_TRUE(eventually([&] { return ctx->aifThreadWaiting.load() == 1; }));

    // Polling keeps its own channel and still sees every event.
    tag_FSA_EVENT event;
    EXPECT_EQ(FsaPollForEvent(h, sizeof event, &event), kNoEvent);
    sim().raiseEvent(0, 9);
    ASSERT_TRUE(eventually([&] { return log_.has(FSA_EM_ADAPTER_PAUSED); }));
    ASSERT_EQ(FsaPollForEvent(h, sizeof event, &event), FSA_STS_SUCCESS);
    EXPECT_EQ(event.eventClass, FSA_EM_ADAPTER_PAUSED);

    sim().clearRequests();
    AIF_StopThreadProcessing(ctx);
    EXPECT_EQ(ctx->aifChannel[1], nullptr);
    EXPECT_NE(ctx->aifChannel[0], nullptr);
    EXPECT_EQ(ctx->aifThreadStarted.load(), 0);
    EXPECT_EQ(ctx->aifThreadStopping.load(), 0);
    EXPECT_EQ(ctx->aifEndedSemaphore, nullptr);
    EXPECT_EQ(ctx->aifStartedSemaphore, nullptr);
    unsigned closes = 0;
    for (const vyn::hostsim::Request& r : sim().requests())
        closes += r.request == FSACTL_CLOSE_GET_ADAPTER_FIB ? 1 : 0;
    EXPECT_EQ(closes, 1u);
    // Nothing reads the events any more; a fetch of a stopped thread ends.
    const size_t before = log_.seen().size();
    sim().raiseEvent(0, 3);
    alignas(_FIB) uint8_t fib[512];
    EXPECT_EQ(AdapterWaitAndGetAsyncFib(ctx, reinterpret_cast<_FIB*>(fib)), 0u);
    EXPECT_EQ(log_.seen().size(), before);
    AIF_StopThreadProcessing(ctx);  // nothing left to stop

    // It starts again, and the adapter's close ends it.
    ASSERT_EQ(AIF_StartThreadProcessing(ctx), 1);
    ASSERT_TRUE(drained());
    EXPECT_EQ(FsaCloseAdapter(h), FSA_STS_SUCCESS);
}

TEST_F(EventThreadTest, StartGivesUpWhenTheThreadNeverAnswers)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    // The hand-shake's polls take 1 ms of real time each (3.6 s in all):
    // the thread has long failed by then.
    sim().setSleepScale(2);
    // The thread cannot open its channel and ends before the hand-shake.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d0", "errno = 5"}));
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(AIF_StartThreadProcessing(ctx), 0);
    const uint64_t waited = sim().clockMs() - before;
    EXPECT_GE(waited, 180000u);
    EXPECT_LT(waited, 185000u);
    AIF_StopThreadProcessing(ctx);
    EXPECT_EQ(ctx->aifThreadStarted.load(), 0);
    EXPECT_EQ(ctx->aifChannel[1], nullptr);

    // Without the fault it starts at once.
    sim().setSleepScale(10);
    EXPECT_EQ(AIF_StartThreadProcessing(ctx), 1);
    AIF_StopThreadProcessing(ctx);
}

}  // namespace
