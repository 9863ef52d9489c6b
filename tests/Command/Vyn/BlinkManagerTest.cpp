#include "Command/Vyn/common/fa_blinker.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "FsaThrown.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::CtReply;
using vyn::hostsim::CtRequest;
using vyn::hostsim::Fault;
using vyntest::thrownBy;

constexpr const char kDrives[] =
    "[adapter0]\n"
    "drive0 = 0:0 sas 146G\n"
    "drive1 = 0:1 sata 500G\n";

// The controller defaults less option word 2 bit 18: the controller cannot
// blink a drive itself, so the export hands the blink to the manager.
constexpr uint32_t kOptionWord2 = 0x0EB797DC & ~(1u << 18);

constexpr uint32_t kReadDataCode = 90;
constexpr unsigned kReadsPerCycle = 3;
constexpr uint64_t kReadSpacingMs = 333;

// One CT 90 read as the controller saw it, with the simulated time.
struct Read {
    uint64_t clockMs;
    uint32_t slice;
    uint32_t block;
    uint32_t bytes;
};

class BlinkManagerTest : public vyntest::OpenSessionTest {
protected:
    void* open(FSA_ACCESS access = FSA_ACC_READ_WRITE)
    {
        char options[64];
        std::snprintf(options, sizeof options, "adapter0.option_word2 = 0x%08X\n", kOptionWord2);
        void* h = start(std::string(options) + kDrives, access);
        if (h == nullptr)
            return nullptr;
        // Workers and the test wait on each other: the 50 ms mutex polls
        // must take some real time (hostsim.md 6.1), a read period 33 ms.
        sim().setSleepScale(10);
        // The controller's answer to a read, kept with the time it came.
        sim().addCtHandler(kReadDataCode, [this](ControllerState&, const CtRequest& q, CtReply& r) {
            {
                std::lock_guard<std::mutex> lock(readsMutex_);
                reads_.push_back(Read{sim().clockMs(), q.param[0], q.param[1], q.capacity});
            }
            r.data.assign(q.capacity, 0);
            r.status = 208;
            r.result2 = r.status;
        });
        return h;
    }
    static FSA_STORAGE_DEVICE drive(uint8_t target)
    {
        FSA_STORAGE_DEVICE d{};
        d.targetId = target;
        return d;
    }
    static bool blinking(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE& d)
    {
        return ctx->blinkManager->IsDriveBlinking(&d);
    }
    static uint32_t blink(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE& d, uint32_t seconds)
    {
        return ctx->blinkManager->BlinkDrive(ctx, &d, seconds);
    }
    // The drive's slice and block count as the library reads them.
    static int sliceOf(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE& d)
    {
        CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
        return CT_GetSliceFromDriveHandle(ctx, static_cast<uint32_t>(SCSI_GetInternalID(ctx, &d)), 0, nullptr);
    }
    static uint32_t blocksOf(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE& d)
    {
        CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
        uint8_t reply[24] = {};
        const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &d));
        return SCSI_sendfib(ctx, handle, 6, reply, sizeof reply, 0) == 1 ? faGetLe32(reply) : 0;
    }

    std::vector<Read> reads()
    {
        std::lock_guard<std::mutex> lock(readsMutex_);
        return reads_;
    }
    size_t readCount()
    {
        std::lock_guard<std::mutex> lock(readsMutex_);
        return reads_.size();
    }
    // Polls `done` a millisecond at a time; false after 20 s of real time.
    template <class Done> static bool waitFor(Done&& done)
    {
        for (int i = 0; i < 20000; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

private:
    std::mutex readsMutex_;
    std::vector<Read> reads_;
};

TEST_F(BlinkManagerTest, FiveSecondsAreSixCyclesOfThreeReadsThenTheEntryGoes)
{
    // Through the export, on the one kind of open that allows nothing else.
    void* h = open(FSA_ACC_READ_ONLY);
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    const FSA_STORAGE_DEVICE d = drive(1);
    const int slice = sliceOf(ctx, d);
    const uint32_t blocks = blocksOf(ctx, d);
    ASSERT_GE(slice, 0);
    ASSERT_GT(blocks, 0u);
    sim().clearRequests();

    uint32_t params[FSA_DRIVE_OP_PARAM_WORDS] = {};
    params[1] = 5;
    ASSERT_EQ(FsaStorageDevice2(h, &d, 7, params, nullptr), 1u);
    EXPECT_TRUE(blinking(ctx, d));
    ASSERT_TRUE(waitFor([&] { return readCount() >= 18; }));
    ASSERT_TRUE(waitFor([&] { return !blinking(ctx, d); }));

    const std::vector<Read> r = reads();
    ASSERT_EQ(r.size(), 18u);
    for (size_t i = 0; i < r.size(); ++i) {
        SCOPED_TRACE("read " + std::to_string(i));
        EXPECT_EQ(r[i].slice, static_cast<uint32_t>(slice));
        EXPECT_LT(r[i].block, blocks);
        EXPECT_EQ(r[i].bytes, 512u);
        // Nothing else holds the worker: every read a third of a second
        // after the one before, across the cycles too.
        if (i > 0) {
            EXPECT_EQ(r[i].clockMs - r[i - 1].clockMs, kReadSpacingMs);
        }
    }
    // The drive was blinked by reading, not by the controller.
    EXPECT_EQ(sent(500, 241), 0u);
}

TEST_F(BlinkManagerTest, AnEndlessBlinkStopsAtTheEndOfTheCycleAfterAZeroRequest)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    const FSA_STORAGE_DEVICE d = drive(1);
    ASSERT_EQ(blink(ctx, d, FAB_BLINK_FOREVER), 1u);
    // A second request for the drive only sets its time again.
    ASSERT_EQ(blink(ctx, d, FAB_BLINK_FOREVER), 1u);
    // Past seven cycles, more than a short count would have allowed.
    ASSERT_TRUE(waitFor([&] { return readCount() > 7 * kReadsPerCycle; }));
    EXPECT_TRUE(blinking(ctx, d));

    ASSERT_EQ(blink(ctx, d, 0), 1u);
    const size_t atStop = readCount();
    ASSERT_TRUE(waitFor([&] { return !blinking(ctx, d); }));
    const std::vector<Read> r = reads();
    // The cycle under way when the request came is finished, no other.
    EXPECT_EQ(r.size() % kReadsPerCycle, 0u);
    EXPECT_GE(r.size(), atStop);
    EXPECT_LE(r.size(), atStop - atStop % kReadsPerCycle + kReadsPerCycle);
    // One worker: a second one would read in between.
    for (size_t i = 1; i < r.size(); ++i)
        EXPECT_GE(r[i].clockMs - r[i - 1].clockMs, kReadSpacingMs) << "read " << i;
}

TEST_F(BlinkManagerTest, ClosingTheAdapterReturnsOnlyAfterEveryWorkerEnded)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    const FSA_STORAGE_DEVICE drives[] = {drive(0), drive(1)};
    const int slice0 = sliceOf(ctx, drives[0]);
    const int slice1 = sliceOf(ctx, drives[1]);
    ASSERT_NE(slice0, slice1);
    for (const FSA_STORAGE_DEVICE& d : drives)
        ASSERT_EQ(blink(ctx, d, FAB_BLINK_FOREVER), 1u);
    auto readsOn = [this](int slice) {
        size_t n = 0;
        for (const Read& r : reads())
            n += r.slice == static_cast<uint32_t>(slice) ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(waitFor([&] { return readsOn(slice0) > 0 && readsOn(slice1) > 0; }));

    ASSERT_EQ(FsaCloseAdapter(h), 1u);
    // Both workers finished their cycle before the close came back...
    EXPECT_EQ(readsOn(slice0) % kReadsPerCycle, 0u);
    EXPECT_EQ(readsOn(slice1) % kReadsPerCycle, 0u);
    // ...and nothing reads or waits any more.
    const size_t count = readCount();
    const uint64_t clock = sim().clockMs();
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(readCount(), count);
        EXPECT_EQ(sim().clockMs(), clock);
    }
}

TEST_F(BlinkManagerTest, AWorkerThatCannotSizeItsDriveLeavesNoEntry)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    struct Case {
        const char* effect;
        uint8_t target;
    };
    const Case cases[] = {
        {"status = 5", 1},  // the size request fails
        {"poke = 20:4=0", 0},  // a block count of 0: nothing to read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        ASSERT_TRUE(sim().addFault(0, Fault{"class3 6", c.effect}));
        const FSA_STORAGE_DEVICE d = drive(c.target);
        ASSERT_EQ(blink(ctx, d, 5), 1u);
        ASSERT_TRUE(waitFor([&] { return !blinking(ctx, d); }));
    }
    EXPECT_EQ(readCount(), 0u);
}

TEST_F(BlinkManagerTest, RequestsThatStartNoWorker)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);

    // 0 seconds for a drive that does not blink does nothing.
    const FSA_STORAGE_DEVICE idle = drive(1);
    EXPECT_EQ(blink(ctx, idle, 0), 1u);
    EXPECT_FALSE(blinking(ctx, idle));

    // A drive the controller does not have: the device query's status.
    const FSA_STORAGE_DEVICE absent = drive(9);
    FSA_STORAGE_DEVICE_INFO info;
    const FSA_STATUS query = FsaGetStorageDeviceInfo(h, 0, &absent, &info);
    ASSERT_NE(query, 1u);
    EXPECT_EQ(thrownBy([&] { blink(ctx, absent, 5); }), query);
    EXPECT_FALSE(blinking(ctx, absent));
    EXPECT_EQ(readCount(), 0u);
}

TEST_F(BlinkManagerTest, WorkerReadsWaitForTheContextMutex)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    const FSA_STORAGE_DEVICE d = drive(1);
    ASSERT_EQ(blink(ctx, d, FAB_BLINK_FOREVER), 1u);
    ASSERT_TRUE(waitFor([&] { return readCount() > 0; }));

    size_t held = 0;
    {
        // As an export on another thread holds it.
        CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
        held = readCount();
        const uint64_t from = sim().clockMs();
        // Three read periods pass on the worker's clock without a read.
        ASSERT_TRUE(waitFor([&] { return sim().clockMs() >= from + 3 * kReadSpacingMs; }));
        EXPECT_EQ(readCount(), held);
    }
    EXPECT_TRUE(waitFor([&] { return readCount() > held; }));
    EXPECT_EQ(blink(ctx, d, 0), 1u);
}

}  // namespace
