// Hot spares through both generations of the spare interface, candidate
// spares, failing a drive's partitions and the automatic-failover switch, in
// process against the simulator.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_failover.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "CapturingSessionTest.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "platform/hostsim/fw/DriveMetadata.h"
#include "ContextMutexHolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using vyn::hostsim::Fault;

// Option word 3 without the new spare interface (0x8) and the 64-bit slices
// (0x10) that need the configuration model.
constexpr char kClassic[] = "adapter0.option_word3 = 0x380\n";
constexpr uint32_t kFirstUid = 0x5A000000;

constexpr uint32_t kAdd = 0, kRemove = 1, kList = 2, kAddGlobal = 3, kRemoveGlobal = 4, kListGlobal = 5,
                   kAddCandidate = 7, kRemoveCandidate = 8;

FSA_STORAGE_DEVICE drive(uint8_t target, uint8_t bus = 0)
{
    FSA_STORAGE_DEVICE d{};
    d.busNumber = bus;
    d.targetId = target;
    return d;
}

std::vector<uint8_t> targetsOf(const FSA_STORAGE_DEVICE* drives, uint32_t n)
{
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(drives[i].targetId);
    return out;
}

class FailoverSpaceTest : public vyntest::CapturingSessionTest {
protected:
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        FSAAPI_CONTEXT* ctx = CapturingSessionTest::open(extra);
        sim().setSleepScale(0);
        return ctx;
    }
    // Parameters 1 (the slice) of the captured requests of CT `code`.
    std::vector<uint32_t> slicesSent(uint32_t code)
    {
        std::vector<uint32_t> out;
        for (const auto& k : captured(code))
            out.push_back(k.param[1]);
        return out;
    }
    tag_FSA_CONTAINER containerOf(FSAAPI_CONTEXT* ctx, uint32_t number)
    {
        tag_FSA_CONTAINER c{};
        CT_GetStandardID(ctx, &c, number);
        return c;
    }
};

TEST_F(FailoverSpaceTest, TheBuiltInGlobalSpareIsListedOnBothPaths)
{
    // The new path takes the kind from the model's device record (3 for a
    // SAS drive); the classic one fills a present drive's kind with 0.
    struct Case {
        const char* extra;
        uint32_t kind;
    };
    for (const Case& c : {Case{"", 3}, Case{kClassic, 0}}) {
        SCOPED_TRACE(c.extra);
        ASSERT_NE(open(c.extra), nullptr);
        FSA_STORAGE_DEVICE found[4];
        std::memset(found, 0xAB, sizeof found);
        uint32_t n = 4;
        ASSERT_EQ(FsaFailoverSpace(handle_, nullptr, kListGlobal, &n, found), FSA_STS_SUCCESS);
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(found[0].storageDeviceType, c.kind);
        EXPECT_EQ(found[0].busNumber, 0u);
        EXPECT_EQ(found[0].targetId, 3u);
        EXPECT_EQ(found[0].lun, 0u);
        EXPECT_EQ(found[1].targetId, 0xABu);
    }
}

TEST_F(FailoverSpaceTest, OperationsOutsideTheTableGive29)
{
    for (const char* extra : {"", kClassic}) {
        SCOPED_TRACE(extra);
        ASSERT_NE(open(extra), nullptr);
        FSA_STORAGE_DEVICE found[2] = {};
        uint32_t n = 2;
        for (uint32_t op : {6u, 9u}) {
            EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, op, &n, found), 29u) << op;
            EXPECT_EQ(n, 2u);
        }
        EXPECT_EQ(FsaNewFailoverSpaceByUniqueCtrID(handle_, 0, kListGlobal, &n, found), 29u);
    }
}

// A list through the local table: the real count always, the records only
// when they all fit, 5 only when there was an array to fill.
TEST_F(FailoverSpaceTest, ListsThatDoNotFitReportTheirCount)
{
    ASSERT_NE(open(kClassic), nullptr);
    FSA_STORAGE_DEVICE found[1];
    std::memset(found, 0xAB, sizeof found);
    uint32_t n = 0;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kListGlobal, &n, found), 5u);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(found[0].targetId, 0xABu);
    n = 0;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kListGlobal, &n, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(n, 1u);
}

TEST_F(FailoverSpaceTest, DedicatedSparesBeyondTheCapacity)
{
    const std::string spares = "adapter0.drive4 = 0:4 sas 300G spare=0\nadapter0.drive5 = 0:5 sas 300G spare=0\n"
                               "adapter0.drive6 = 0:6 sata 500G spare=0\n";
    for (std::string extra : {std::string(), std::string(kClassic)}) {
        SCOPED_TRACE(extra);
        FSAAPI_CONTEXT* ctx = open(extra + spares);
        ASSERT_NE(ctx, nullptr);
        const tag_FSA_CONTAINER ld0 = containerOf(ctx, 0);
        FSA_STORAGE_DEVICE found[3];
        std::memset(found, 0xAB, sizeof found);
        uint32_t n = 2;
        EXPECT_EQ(FsaFailoverSpace(handle_, &ld0, kList, &n, found), 5u);
        EXPECT_EQ(n, 3u);
        EXPECT_EQ(found[0].targetId, 0xABu);

        // The worker answers 1 and leaves the array alone.
        n = 2;
        EXPECT_EQ(FsaFailoverSpaceByUniqueCtrID(handle_, kFirstUid, kList, &n, found), FSA_STS_SUCCESS);
        EXPECT_EQ(n, 3u);
        EXPECT_EQ(found[0].targetId, 0xABu);

        n = 3;
        EXPECT_EQ(FsaFailoverSpace(handle_, &ld0, kList, &n, found), FSA_STS_SUCCESS);
        EXPECT_EQ(targetsOf(found, n), (std::vector<uint8_t>{4, 5, 6}));
    }
}

TEST_F(FailoverSpaceTest, AddAndRemoveDedicatedSpares)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    const tag_FSA_CONTAINER ld0 = containerOf(ctx, 0);
    FSA_STORAGE_DEVICE two[] = {drive(4), drive(5)};
    uint32_t n = 2;
    ASSERT_EQ(FsaFailoverSpace(handle_, &ld0, kAdd, &n, two), FSA_STS_SUCCESS);
    // The candidate flag of each new spare is cleared in its sector.
    EXPECT_EQ(captured(209).size(), 2u);

    FSA_STORAGE_DEVICE found[4] = {};
    n = 4;
    ASSERT_EQ(FsaFailoverSpace(handle_, &ld0, kList, &n, found), FSA_STS_SUCCESS);
    EXPECT_EQ(targetsOf(found, n), (std::vector<uint8_t>{4, 5}));

    // A drive that is not one of them: 553 and nothing removed.
    FSA_STORAGE_DEVICE mixed[] = {drive(4), drive(6)};
    n = 2;
    EXPECT_EQ(FsaFailoverSpace(handle_, &ld0, kRemove, &n, mixed), 553u);
    n = 1;
    ASSERT_EQ(FsaFailoverSpace(handle_, &ld0, kRemove, &n, two), FSA_STS_SUCCESS);
    n = 4;
    ASSERT_EQ(FsaFailoverSpace(handle_, &ld0, kList, &n, found), FSA_STS_SUCCESS);
    EXPECT_EQ(targetsOf(found, n), (std::vector<uint8_t>{5}));
}

TEST_F(FailoverSpaceTest, AFailingAdditionUndoesTheEarlierOnes)
{
    ASSERT_NE(open(), nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 41", "status = 3", 2}));
    FSA_STORAGE_DEVICE three[] = {drive(4), drive(5), drive(6)};
    uint32_t n = 3;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kAddGlobal, &n, three), 49u);
    // Slices 4 and 5 (drives 0:4 and 0:5) are taken back, in order.
    EXPECT_EQ(slicesSent(41), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(slicesSent(42), (std::vector<uint32_t>{4, 5}));
}

TEST_F(FailoverSpaceTest, AFailingRemovalPutsTheEarlierOnesBack)
{
    ASSERT_NE(open("adapter0.drive4 = 0:4 sas 300G spare=global\n"), nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 42", "status = 3", 1}));
    FSA_STORAGE_DEVICE two[] = {drive(3), drive(4)};
    uint32_t n = 2;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kRemoveGlobal, &n, two), 49u);
    EXPECT_EQ(slicesSent(42), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(slicesSent(41), std::vector<uint32_t>{3});
}

TEST_F(FailoverSpaceTest, AMissingGlobalSpareIsRemovedThroughItsBundle)
{
    ASSERT_NE(open(kClassic), nullptr);
    // Drive 0:9 has gone; its PPI entry (kind 3, bundle 1) names slice 7.
    auto& c = state();
    c.ppiScripted = true;
    c.ppiTable = {vyn::hostsim::ppiEntry(0x11, 7, 9, 1, 0x80 | 3), vyn::hostsim::ppiEntry(0x11, 8, 0, 1, 1)};
    ++c.ppiClears;

    // Listed behind the present ones, as kind 1.
    FSA_STORAGE_DEVICE found[4] = {};
    uint32_t n = 4;
    ASSERT_EQ(FsaFailoverSpace(handle_, nullptr, kListGlobal, &n, found), FSA_STS_SUCCESS);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(found[1].targetId, 9u);
    EXPECT_EQ(found[1].storageDeviceType, 1u);

    sim().clearRequests();
    FSA_STORAGE_DEVICE gone[] = {drive(9)};
    n = 1;
    ASSERT_EQ(FsaFailoverSpace(handle_, nullptr, kRemoveGlobal, &n, gone), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 42), 0u);
    ASSERT_EQ(sent(500, 197), 1u);
    EXPECT_EQ(state().ppiTable.size(), 1u);

    // A drive that is neither present nor missing: 12.
    FSA_STORAGE_DEVICE unknown[] = {drive(10)};
    n = 1;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kRemoveGlobal, &n, unknown), 12u);
}

TEST_F(FailoverSpaceTest, TheModelListNeverPassesTheCapacity)
{
    ASSERT_NE(open("adapter0.drive4 = 0:4 sas 300G spare=global\n"), nullptr);
    FSA_STORAGE_DEVICE found[2];
    std::memset(found, 0xAB, sizeof found);
    uint32_t n = 1;
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kListGlobal, &n, found), FSA_STS_SUCCESS);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(found[0].targetId, 3u);
    EXPECT_EQ(found[1].targetId, 0xABu);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(FailoverSpaceTest, DriveListsLargerThanTheSliceTableAreRefused)
{
    ASSERT_NE(open(), nullptr);
    std::vector<FSA_STORAGE_DEVICE> many(65, drive(4));
    for (uint32_t op : {kAdd, kRemove, kAddGlobal, kRemoveGlobal, kAddCandidate, kRemoveCandidate}) {
        SCOPED_TRACE(op);
        uint32_t n = 65;
        tag_FSA_CONTAINER ld0 = containerOf(context(handle_), 0);
        sim().clearRequests();
        EXPECT_EQ(FsaFailoverSpace(handle_, op <= kRemove ? &ld0 : nullptr, op, &n, many.data()),
                  FSA_STS_BAD_PARAMETER);
        EXPECT_EQ(sent(500, 41) + sent(500, 42) + sent(500, 209), 0u);
    }
}

TEST_F(FailoverSpaceTest, WritesNeedAReadWriteOpen)
{
    ASSERT_NE(open(), nullptr);
    void* readOnly = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(readOnly, nullptr);
    FSA_STORAGE_DEVICE one[] = {drive(4)};
    for (uint32_t op : {kAddGlobal, kRemoveGlobal, kAddCandidate, kRemoveCandidate}) {
        uint32_t n = 1;
        EXPECT_EQ(FsaFailoverSpace(readOnly, nullptr, op, &n, one), 122u) << op;
    }
    uint32_t n = 4;
    FSA_STORAGE_DEVICE found[4] = {};
    EXPECT_EQ(FsaFailoverSpace(readOnly, nullptr, kListGlobal, &n, found), FSA_STS_SUCCESS);
}

TEST_F(FailoverSpaceTest, CandidateSpares)
{
    ASSERT_NE(open(), nullptr);
    FSA_STORAGE_DEVICE one[] = {drive(4)};
    uint32_t n = 1;
    ASSERT_EQ(FsaFailoverSpace(handle_, nullptr, kAddCandidate, &n, one), FSA_STS_SUCCESS);
    EXPECT_EQ(CT_IsCandidateSpare(context(handle_), 4), 1);
    ASSERT_EQ(FsaFailoverSpace(handle_, nullptr, kRemoveCandidate, &n, one), FSA_STS_SUCCESS);
    EXPECT_EQ(CT_IsCandidateSpare(context(handle_), 4), 0);

    // Without the metadata sector (option word 2 bit 0x8): 31, nothing sent.
    ASSERT_NE(open("adapter0.option_word2 = 0x0EB797D4\n"), nullptr);
    sim().clearRequests();
    EXPECT_EQ(FsaFailoverSpace(handle_, nullptr, kAddCandidate, &n, one), FSA_STS_NOT_SUPPORTED);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(FailoverSpaceTest, FailingAWholeDriveAndTheFailoverSwitch)
{
    ASSERT_NE(open(), nullptr);
    FSA_PARTITION whole{};
    const FSA_STORAGE_DEVICE d = drive(0);
    std::memcpy(whole.bytes, &d, sizeof d);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(FsaFailPartition(handle_, 1, &whole), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().clockMs() - before, 5000u);
    // A partition that is not there.
    faPutLe64(whole.bytes + FSA_PARTITION_OFFSET, 512 * 1000);
    faPutLe64(whole.bytes + FSA_PARTITION_LENGTH, 512);
    EXPECT_EQ(FsaFailPartition(handle_, 1, &whole), 14u);

    uint32_t flags = 0;
    for (uint32_t on : {0u, 1u}) {
        ASSERT_EQ(FsaSetAutomaticFailover(handle_, on), FSA_STS_SUCCESS);
        ASSERT_EQ(FsaGetAutomaticFailover(handle_, &flags), FSA_STS_SUCCESS);
        EXPECT_EQ(flags & 0x4, on ? 0x4u : 0u);
    }
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 168", "status = 3"}));
    EXPECT_EQ(FsaSetAutomaticFailover(handle_, 1), 469u);
}

TEST_F(FailoverSpaceTest, APausedControllerIsReportedOnlyToTheLockHolder)
{
    // Read-write exports of the container layer wait their turn at the
    // context mutex before they look at the pause; the OS layer's own
    // read-write exports refuse a paused controller before they ask for it.
    ASSERT_NE(open(), nullptr);
    FSAAPI_CONTEXT* ctx = context(handle_);
    const tag_FSA_CONTAINER ld0 = containerOf(ctx, 0);
    FSA_PARTITION whole{};
    const FSA_STORAGE_DEVICE d = drive(0);
    std::memcpy(whole.bytes, &d, sizeof d);
    struct Case {
        const char* name;
        std::function<FSA_STATUS()> call;
        bool waitsForTheLock;
    };
    const Case cases[] = {
        {"FsaSetAutomaticFailover", [&] { return FsaSetAutomaticFailover(handle_, 1); }, true},
        {"FsaFailPartition", [&] { return FsaFailPartition(handle_, 1, &whole); }, true},
        {"FsaContainerSetITPCacheSettings", [&] { return FsaContainerSetITPCacheSettings(handle_, &ld0, 1); }, true},
        {"FsaSetCopyback", [&] { return FsaSetCopyback(handle_, 1); }, false},
    };
    ctx->paused = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim().clearRequests();
        vyntest::ContextMutexHolder holder(ctx);
        // The mutex wait runs on the simulated clock: a caller that waits for
        // the lock gives up with 486 while the other caller keeps it.
        EXPECT_EQ(c.call(), c.waitsForTheLock ? 486u : 129u);
        holder.release();
        EXPECT_EQ(c.call(), 129u);
        EXPECT_EQ(faux_locked(ctx->contextMutex), 0);
        EXPECT_EQ(ctx->mutexHeld, 0);
        EXPECT_TRUE(sim().requests().empty());
    }

    // A caller that waits its turn hears of the pause once the lock is free.
    sim().setSleepScale(10);
    std::atomic<bool> answered{false};
    vyntest::ContextMutexHolder holder(ctx);
    FSA_STATUS status = 0;
    std::thread caller([&] {
        status = FsaSetAutomaticFailover(handle_, 1);
        answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(answered.load());
    holder.release();
    caller.join();
    EXPECT_EQ(status, 129u);
}

}  // namespace
