// The sorted partition list and the partition cache over the simulator.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "PartitionTest.h"
#include "ContextMutexHolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kSerial0 = 0x30315356;
constexpr uint64_t k1G = 2097152;  // blocks
// A 146G drive: its slice runs from block 128 for its usable blocks.
constexpr uint64_t kUsable146 = (146ull * 1024 * 1024 * 2 - 128 - 2048) / 128 * 128;
constexpr uint64_t kEnd146 = kUsable146 + 128;

// One entry of a list as the tests compare it.
struct Entry {
    uint32_t kind;
    uint32_t location;
    uint64_t start;
    uint64_t length;
    bool operator==(const Entry& o) const
    {
        return kind == o.kind && location == o.location && start == o.start && length == o.length;
    }
};

std::ostream& operator<<(std::ostream& os, const Entry& e)
{
    return os << "{kind " << e.kind << ", at " << e.location << ", " << e.start << "+" << e.length << "}";
}

class PartitionCacheTest : public vyntest::PartitionTest {
protected:
    // The sorted list, each entry checked for the trailer every listed entry carries.
    std::vector<Entry> sortedList(FSAAPI_CONTEXT* ctx)
    {
        unsigned count = 0;
        FSA_PARTITION_CACHE_ELEMENT* list = CT_GetSortedPartitionList(ctx, &count, 0);
        std::vector<Entry> out;
        for (unsigned i = 0; i < count; ++i) {
            const uint8_t* e = list[i].bytes;
            EXPECT_EQ(faGetLe32(e + PCE_TRAILER), 0xFFFFFFFFu);
            out.push_back(Entry{faGetLe32(e + PCE_KIND), faGetLe32(e + PART_LOCATION), faGetLe64(e + PART_START_64),
                                faGetLe64(e + PART_LENGTH_64)});
        }
        std::free(list);
        return out;
    }
};

constexpr const char* kOneDrive = "adapter0.drive0 = 0:0 sas 146G\n";

TEST_F(PartitionCacheTest, SlicesWithoutPartitions)
{
    FSAAPI_CONTEXT* ctx = begin(kOneDrive);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_FREE, 0, 128, kUsable146}}));

    // A slice this system did not write, with nothing listed on it.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 15", "poke = 32:4=0x12345", 0, 0}));
    EXPECT_TRUE(sortedList(ctx).empty());
}

TEST_F(PartitionCacheTest, ExtentsOfTheTableAndOfTheDrive)
{
    struct Case {
        const char* ondisk;
        uint32_t kind;
    };
    const Case cases[] = {{"", PCE_IN_MEMORY}, {" ondisk=copy", PCE_MATCHED}, {" ondisk=only", PCE_ON_DISK}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ondisk);
        FSAAPI_CONTEXT* ctx =
            begin(std::string("adapter0.drive0 = 0:0 sas 146G") + c.ondisk + "\nadapter0.ld0 = volume 0:0 size=1G\n");
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(sortedList(ctx),
                  (std::vector<Entry>{{c.kind, 0, 128, k1G}, {PCE_FREE, 0, 128 + k1G, kUsable146 - k1G}}));
    }
}

TEST_F(PartitionCacheTest, KeptDuplicateOfTheDriveIsMatchedAfterTheWalk)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G ondisk=copy\nadapter0.ld0 = volume 0:0 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    // Table entry 1 keeps duplicates (its byte 90, table byte 510, in the
    // second packet): the walk lists the drive's own record beside it, and
    // the two become one matched entry afterwards.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 110:1=1", 1}));
    unsigned count = 0;
    FSA_PARTITION_CACHE_ELEMENT* list = CT_GetSortedPartitionList(ctx, &count, 0);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(faGetLe32(list[0].bytes + PCE_KIND), PCE_MATCHED);
    EXPECT_EQ(list[0].bytes[PART_KEEP_DUPLICATE], 1);
    EXPECT_EQ(faGetLe64(list[1].bytes + PART_START_64), 128 + k1G);
    std::free(list);
}

TEST_F(PartitionCacheTest, OnDiskRecordsNewerThanTheControllerAreIgnored)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.config_age = 7\nadapter0.drive0 = 0:0 sas 146G ondisk=only\n"
                                "adapter0.ld0 = volume 0:0 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    // The record's age (byte 20 of the single record in the reply).
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 214", "poke = 52:4=8"}));
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_FREE, 0, 128, kUsable146}}));
}

// Two containers of 1G on drives 0:0 and 0:1 in the oldest record form: the
// table (three 160-byte entries) comes in two packets, and the first holds
// all of entry 2, whose slice (at byte 360 of the table) a poke moves.
constexpr const char* kTwoOnTwo = "adapter0.option_word3 = 0x388\nadapter0.partition_records = 160\n"
                                  "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                                  "adapter0.ld0 = volume 0:0 size=1G\n";
constexpr const char* kEntry2OnSlice0 = "poke = 392:4=0";

TEST_F(PartitionCacheTest, TwoTableRecordsAtOneStart)
{
    struct Case {
        const char* second;
        uint64_t clock;
        uint32_t kind;
    };
    // Equal lengths: the controller is between two states; the list is built
    // again up to five times, then the entry is taken as matched.
    const Case cases[] = {{"volume 0:1 size=1G", 1000, PCE_MATCHED}, {"volume 0:1 size=2G", 0, PCE_IN_MEMORY}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        FSAAPI_CONTEXT* ctx = begin(std::string(kTwoOnTwo) + "adapter0.ld1 = " + c.second + "\n");
        ASSERT_NE(ctx, nullptr);
        sim().setSleepScale(0);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", kEntry2OnSlice0, 0, 0}));
        const uint64_t before = sim().clockMs();
        EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{c.kind, 0, 128, k1G},
                                                        {PCE_FREE, 0, 128 + k1G, kUsable146 - k1G},
                                                        {PCE_FREE, 1, 128, kUsable146}}));
        EXPECT_EQ(sim().clockMs() - before, c.clock);
    }
}

TEST_F(PartitionCacheTest, RecordInsideListedSpaceIsSkipped)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.option_word3 = 0x388\nadapter0.partition_records = 160\n"
                                "adapter0.drive0 = 0:0 sas 146G\nadapter0.ld0 = volume 0:0 size=1G\n"
                                "adapter0.ld1 = volume 0:0 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_IN_MEMORY, 0, 128, k1G},
                                                    {PCE_IN_MEMORY, 0, 128 + k1G, k1G},
                                                    {PCE_FREE, 0, 128 + 2 * k1G, kUsable146 - 2 * k1G}}));
    // Entry 2 now starts inside entry 1 (its start is byte 344 of the table).
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 376:4=200", 0, 0}));
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_IN_MEMORY, 0, 128, k1G},
                                                    {PCE_FREE, 0, 128 + k1G, kUsable146 - k1G}}));
}

TEST_F(PartitionCacheTest, BootRecordCountIsBoundByTheTable)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G ondisk=copy\nadapter0.ld0 = volume 0:0 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 15", "poke = 36:4=1000000"}));
    uint32_t capacity = 0;
    sim().addCtHandler(214, [&capacity](ControllerState&, const CtRequest& q, CtReply& r) {
        capacity = q.capacity;
        r.status = 204;
    });
    // Two table entries (0 unused, 1) are all a slice can list.
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_IN_MEMORY, 0, 128, k1G},
                                                    {PCE_FREE, 0, 128 + k1G, kUsable146 - k1G}}));
    EXPECT_EQ(capacity, 2u * 420);
}

TEST_F(PartitionCacheTest, FreeSpaceUnderAKeptDuplicateIsTrimmed)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\nadapter0.ld0 = volume 0:0 size=2G\n"
                                "adapter0.ld1 = volume 0:0 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    // Entry 1 keeps duplicates (its byte 90, table byte 510, in the second
    // packet) and entry 2 moves to block 128 (its 64-bit start, table byte
    // 1096, in the third): both are listed, and the free space after the
    // shorter one starts where the longer one ends.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 110:1=1", 1}));
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 264:4=128", 1}));
    EXPECT_EQ(sortedList(ctx), (std::vector<Entry>{{PCE_IN_MEMORY, 0, 128, 2 * k1G},
                                                    {PCE_IN_MEMORY, 0, 128, k1G},
                                                    {PCE_FREE, 0, 128 + 2 * k1G, kUsable146 - 2 * k1G}}));
}

TEST_F(PartitionCacheTest, UnplacedRecordsFollowInTableOrder)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                                "adapter0.drive2 = 0:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n"
                                "adapter0.ld0 = raid10 0:0,0:1,0:2,0:3 stripe=64K\n");
    ASSERT_NE(ctx, nullptr);
    const std::vector<Entry> list = sortedList(ctx);
    ASSERT_EQ(list.size(), 6u);
    for (unsigned d = 0; d < 4; ++d)
        EXPECT_EQ(list[d], (Entry{PCE_IN_MEMORY, d, 128, kUsable146}));
    // The top's entries name its legs (63 and 62) and are not placed.
    EXPECT_EQ(list[4].kind, PCE_UNPLACED);
    EXPECT_EQ(list[4].location, 63u);
    EXPECT_EQ(list[5].location, 62u);
}

TEST_F(PartitionCacheTest, CacheAndUniqueIds)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                                "adapter0.ld0 = raid1 0:0,0:1 size=1G\nadapter0.ld3 = volume 0:0,0:1 size=2G\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    ASSERT_NE(ctx->partitionCache, nullptr);
    EXPECT_EQ(ctx->partitionCache->valid, 1u);
    ASSERT_EQ(ctx->uniqueIdCount, 2u);
    const auto* ids = static_cast<const FSA_CONTAINER_UID_ENTRY*>(ctx->uniqueIdTable);
    EXPECT_EQ(ids[0].container, 0u);
    EXPECT_EQ(ids[0].uniqueId, 0x5A000000u);
    EXPECT_EQ(ids[0].ownerWord, kSerial0);
    EXPECT_EQ(ids[1].container, 3u);
    EXPECT_EQ(ids[1].uniqueId, 0x5A000003u);

    // A valid cache is not read again.
    sim().clearRequests();
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    EXPECT_TRUE(ctCodes().empty());

    // After an invalidation it is; a unique id that cannot be read is 0.
    CT_InvalidateCache(ctx);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 167", "transport = 1"}));
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    EXPECT_FALSE(ctCodes().empty());
    ASSERT_EQ(ctx->uniqueIdCount, 2u);
    ids = static_cast<const FSA_CONTAINER_UID_ENTRY*>(ctx->uniqueIdTable);
    EXPECT_EQ(ids[0].uniqueId, 0u);
    EXPECT_EQ(ids[1].uniqueId, 0x5A000003u);
}

TEST_F(PartitionCacheTest, FailedReadLeavesTheCacheInvalid)
{
    FSAAPI_CONTEXT* ctx = begin(kOneDrive);
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 63", "transport = 1"}));
    EXPECT_EQ(thrownBy([&] { CT_UpdateCache(ctx); }), FSA_STS_CT_BAD_STATUS);
    ASSERT_NE(ctx->partitionCache, nullptr);
    EXPECT_EQ(ctx->partitionCache->valid, 0u);
    // The cache's mutex was given back.
    EXPECT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->partitionCache->count, 1u);
}

TEST_F(PartitionCacheTest, ExportedList)
{
    FSAAPI_CONTEXT* ctx = begin(kOneDrive);
    ASSERT_NE(ctx, nullptr);
    unsigned count = 0;
    FSA_PARTITION_CACHE_ELEMENT* list = nullptr;
    EXPECT_EQ(FsaGetSortedPartitionList(reinterpret_cast<void*>(uintptr_t{1}), &count, &list), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(FsaGetSortedPartitionList(handle(), nullptr, &list), FSA_STS_BAD_PARAMETER);
    ASSERT_EQ(FsaGetSortedPartitionList(handle(), &count, &list), FSA_STS_SUCCESS);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(faGetLe32(list[0].bytes + PCE_KIND), PCE_FREE);
    std::free(list);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 2", "transport = 1"}));
    EXPECT_EQ(FsaGetSortedPartitionList(handle(), &count, &list), FSA_STS_CT_BAD_STATUS);
    // A table too large to be read in one transfer is not allocated.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 2", "status = 0xFFFFFFFF"}));
    sim().clearRequests();
    EXPECT_EQ(FsaGetSortedPartitionList(handle(), &count, &list), FSA_STS_OUT_OF_MEMORY);
    EXPECT_EQ(ctCodes(), (std::vector<uint32_t>{11, 2}));
    ctx->accessMode = static_cast<FSA_ACCESS>(7);
    EXPECT_EQ(FsaGetSortedPartitionList(handle(), &count, &list), FSA_STS_NOT_OPEN_READ_ONLY);
    ctx->accessMode = FSA_ACC_READ_WRITE;
}

TEST_F(PartitionCacheTest, ExportedListTakesNoContextLock)
{
    FSAAPI_CONTEXT* ctx = begin(kOneDrive);
    ASSERT_NE(ctx, nullptr);
    sim().setSleepScale(0);
    vyntest::ContextMutexHolder holder(ctx);
    unsigned count = 0;
    FSA_PARTITION_CACHE_ELEMENT* list = nullptr;
    EXPECT_EQ(FsaGetSortedPartitionList(handle(), &count, &list), FSA_STS_SUCCESS);
    std::free(list);
    // The cache itself is refreshed under the context mutex.
    EXPECT_EQ(thrownBy([&] { CT_UpdateCache(ctx); }), FSA_STS_UX_MUTEX_GET_LOCK);
}

}  // namespace
