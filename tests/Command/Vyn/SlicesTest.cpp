// Slices, the partition table in its three record forms, the slices' boot
// records and the partition limits, over the simulator.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"
#include "PartitionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kSerial0 = 0x30315356;
constexpr uint64_t k1G = 2097152;  // blocks

class SlicesTest : public vyntest::PartitionTest {};

TEST_F(SlicesTest, PartitionEntryFallsBackThroughTheOlderForms)
{
    struct Case {
        const char* records;
        std::vector<uint32_t> codes;
    };
    const Case cases[] = {
        {"420", {213}},
        {"196", {213, 199}},
        {"160", {213, 199, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        // Without 64-bit slices the 64-bit fields are the 32-bit ones widened.
        FSAAPI_CONTEXT* ctx = begin(std::string("adapter0.option_word3 = 0x388\nadapter0.partition_records = ") +
                                    c.records +
                                    "\nadapter0.drive0 = 0:0 sas 146G\nadapter0.ld0 = volume 0:0 size=1G\n");
        ASSERT_NE(ctx, nullptr);
        Partition p;
        std::memset(p.bytes, 0xAA, sizeof p.bytes);
        CT_GetPartitionInMemory(ctx, 1, p.bytes);
        EXPECT_EQ(ctCodes(), c.codes);
        EXPECT_EQ(faGetLe32(p.bytes + PART_TABLE_INDEX), 1u);
        EXPECT_EQ(faGetLe32(p.bytes + PART_OWNER_WORD), kSerial0);
        EXPECT_EQ(faGetLe32(p.bytes + PART_START_32), 128u);
        EXPECT_EQ(faGetLe32(p.bytes + PART_LENGTH_32), k1G);
        EXPECT_EQ(faGetLe64(p.bytes + PART_START_64), 128u);
        EXPECT_EQ(faGetLe64(p.bytes + PART_LENGTH_64), k1G);
        if (std::string(c.records) == "160") {
            for (unsigned i = PARTITION_BYTES_160; i < sizeof p.bytes; ++i) {
                if (i < PART_START_64 || i >= PART_LENGTH_64 + 8) {
                    ASSERT_EQ(p.bytes[i], 0) << "byte " << i;
                }
            }
        }
    }
}

TEST_F(SlicesTest, PartitionReadsReportTheirStatus)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\n");
    ASSERT_NE(ctx, nullptr);
    Partition p;
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 213", "status = 69"}));
    EXPECT_EQ(thrownBy([&] { CT_GetPartitionInMemory(ctx, 1, p.bytes); }), 39u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 212", "status = 1"}));
    Partition table[2];
    EXPECT_EQ(thrownBy([&] { CT_GetPartitionsInMemory(ctx, table, 2); }), 39u);
    // The oldest form failing as well is the failure.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 214", "transport = 1"}));
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 200", "transport = 1"}));
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 86", "transport = 1"}));
    EXPECT_EQ(thrownBy([&] { CT_GetDiskPartitions(ctx, 0, table, 2); }), FSA_STS_CT_BAD_STATUS);
}

TEST_F(SlicesTest, LimitWordAndGroupedPartitions)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.partitions = 96\nadapter0.drive0 = 0:0 sas 146G\n"
                                "adapter0.drive1 = 0:1 sas 146G\n");
    ASSERT_NE(ctx, nullptr);
    // The open keeps the limit of the container count.
    EXPECT_EQ(ctx->partitionLimitWord, 96u);
    ctx->partitionLimitWord = 770;
    EXPECT_EQ(CT_GetMaxNumberOfCtrPartitions(ctx), 256u);

    // A cache of three grouped partitions and one ungrouped on drive 0:0, one
    // on 0:1, one of another controller and free space.
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    ASSERT_NE(cache, nullptr);
    struct Entry {
        uint32_t handle, owner;
        uint64_t start;
        uint8_t grouped;
        uint32_t kind;
    };
    const Entry entries[] = {
        {0, kSerial0, 128, 1, 1}, {0, kSerial0, 1000, 1, 1}, {0, kSerial0, 2000, 1, 1}, {0, kSerial0, 3000, 0, 1},
        {1, kSerial0, 128, 0, 1}, {0, 7, 4000, 0, 1},        {0, 0, 5000, 0, 5},        {0, kSerial0, 0, 0, 4},
    };
    const unsigned n = sizeof entries / sizeof entries[0];
    void* grown = std::realloc(cache->elements, n * sizeof(FSA_PARTITION_CACHE_ELEMENT));
    ASSERT_NE(grown, nullptr);
    cache->elements = static_cast<FSA_PARTITION_CACHE_ELEMENT*>(grown);
    cache->count = n;
    for (unsigned i = 0; i < n; ++i) {
        uint8_t* e = cache->elements[i].bytes;
        std::memset(e, 0, sizeof(FSA_PARTITION_CACHE_ELEMENT));
        faPutLe32(e + PART_LOCATION, entries[i].handle);
        faPutLe32(e + PART_OWNER_WORD, entries[i].owner);
        faPutLe64(e + PART_START_64, entries[i].start);
        e[PART_KEEP_DUPLICATE] = entries[i].grouped;
        faPutLe32(e + PCE_KIND, entries[i].kind);
    }
    FSA_STORAGE_DEVICE d0 = {};
    FSA_STORAGE_DEVICE d1 = {};
    d1.targetId = 1;
    EXPECT_EQ(CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, &d0), 2u);
    EXPECT_EQ(CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, &d1), 1u);
    EXPECT_EQ(CT_GetNumberOfPartitionsAlreadyOnDevice(ctx, nullptr), 0u);

    // Six of this controller and the free entry count against the limit of
    // the container count (96), whatever the context keeps.
    EXPECT_EQ(thrownBy([&] { CT_CheckMaxNumberOfPartitions(ctx, 89); }), 1u);
    sim().clearRequests();
    EXPECT_EQ(thrownBy([&] { CT_CheckMaxNumberOfPartitions(ctx, 90); }), 528u);
    EXPECT_EQ(ctCodes(), std::vector<uint32_t>{4});
}

TEST_F(SlicesTest, BootRecordOfASlice)
{
    struct Case {
        const char* what;
        const char* on;
        const char* effect;
        int exists;
    };
    const Case cases[] = {
        {"written by this system", nullptr, nullptr, 1},
        {"first word poked", "ct 15", "poke = 32:4=0", 0},
        {"read failed", "ct 15", "status = 5", 2},
        {"not carried", "ct 15", "transport = 1", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\n");
        ASSERT_NE(ctx, nullptr);
        if (c.on != nullptr) {
            ASSERT_TRUE(sim().addFault(0, Fault{c.on, c.effect}));
        }
        EXPECT_EQ(CT_MbrExists(ctx, 0), c.exists);
    }
}

TEST_F(SlicesTest, SliceInformationAndTheSliceOfADrive)
{
    const std::string drives = "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G jbod=1\n"
                               "adapter0.drive2 = 0:2 tape\nadapter0.drive3 = 0:3 sas 146G slice=0\n";
    for (const char* option3 : {"0x398", "0x388"}) {
        SCOPED_TRACE(option3);
        FSAAPI_CONTEXT* ctx = begin(std::string("adapter0.option_word3 = ") + option3 + "\n" + drives);
        ASSERT_NE(ctx, nullptr);
        const uint64_t usable = (146ull * 1024 * 1024 * 2 - 128 - 2048) / 128 * 128;
        uint64_t size = 0, maxSize = 0, c = 9;
        uint32_t handle = 0, e = 9, f = 0;
        // Drive 0:3 keeps slice 0; the others take the lowest free numbers.
        CT_GetSliceInfo(ctx, 0, &size, &maxSize, &c, &handle, &e, &f);
        EXPECT_EQ(handle, 3u);
        EXPECT_EQ(size, usable);
        EXPECT_EQ(maxSize, usable);
        EXPECT_EQ(c, 0u);
        EXPECT_EQ(e, 0u);
        EXPECT_EQ(f, 6u);
        CT_GetSliceInfo(ctx, 2, &size, &maxSize, &c, &handle, nullptr, &f);
        EXPECT_EQ(handle, 1u);
        EXPECT_EQ(f, 7u);

        int kind7 = 5;
        EXPECT_EQ(CT_GetSliceFromDriveHandle(ctx, 0, 1, &kind7), 1);
        EXPECT_EQ(kind7, 0);
        EXPECT_EQ(CT_GetSliceFromDriveHandle(ctx, 1, 1, &kind7), 2);
        // Only the firmware's own answer tells a pass-through drive.
        EXPECT_EQ(kind7, std::string(option3) == "0x388" ? 1 : 0);
        EXPECT_EQ(CT_GetSliceFromDriveHandle(ctx, 2, 0, &kind7), -1);
        EXPECT_EQ(thrownBy([&] { CT_GetSliceFromDriveHandle(ctx, 2, 1, nullptr); }), 12u);
        EXPECT_EQ(CT_GetSliceCount(ctx), 3u);
    }
}

TEST_F(SlicesTest, ConfigurationAgeAndGeneration)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.config_age = 41\n");
    ASSERT_NE(ctx, nullptr);
    tag_FSA_GENERATION g = {};
    CT_GetGenerationId(ctx, &g);
    EXPECT_EQ(g.age, 41u);
    EXPECT_EQ(CT_GetConfigAge(ctx), 41u);
}

TEST_F(SlicesTest, ReconfigurationInvalidatesTheCache)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\n");
    ASSERT_NE(ctx, nullptr);
    unsigned calls = 0;
    ctx->changeNotify = 1;
    ctx->changeUserData = &calls;
    ctx->changeCallback = [](void* user) { ++*static_cast<unsigned*>(user); };
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    ASSERT_EQ(ctx->partitionCache->valid, 1u);
    CT_ReConfig(ctx, 1);
    EXPECT_EQ(ctx->partitionCache->valid, 0u);
    EXPECT_EQ(calls, 1u);
}

TEST_F(SlicesTest, CreationInformationMoves)
{
    Partition p = {};
    p.bytes[PART_CREATION] = 9;
    p.bytes[PART_CREATION_LAST] = 77;
    p.bytes[PART_CREATION_YEAR] = 124;
    faPutLe32(p.bytes + PART_CREATION_DATE, 12 | 31 << 4 | 23 << 10 | 59 << 16 | 58u << 22);
    faPutLe32(p.bytes + PART_CREATOR_1, 0x11111111);
    faPutLe32(p.bytes + PART_CREATOR_2, 0x22222222);
    uint8_t info[580] = {};
    CT_MoveCreationInfo2(&p, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(info));
    EXPECT_EQ(info[208], 9);
    EXPECT_EQ(faGetLe32(info + 80), 0x11111111u);
    EXPECT_EQ(faGetLe32(info + 84), 0x22222222u);
    const uint8_t date[] = {12, 31};
    EXPECT_EQ(std::memcmp(info + 88, date, 2), 0);
    EXPECT_EQ(faGetLe16(info + 90), 2024);
    const uint8_t time[] = {23, 59, 58, 77};
    EXPECT_EQ(std::memcmp(info + 92, time, 4), 0);
}

TEST_F(SlicesTest, ContainerNumbersOfTwoElements)
{
    auto element = [](uint32_t t1, uint16_t n1, uint32_t t2, uint16_t n2) {
        FSA_PARTITION_CACHE_ELEMENT e = {};
        faPutLe32(e.bytes + PART_FIRST_OWNER, t1);
        faPutLe16(e.bytes + PART_FIRST_CONTAINER, n1);
        faPutLe32(e.bytes + PART_SECOND_OWNER, t2);
        faPutLe16(e.bytes + PART_SECOND_CONTAINER, n2);
        return e;
    };
    struct Case {
        FSA_PARTITION_CACHE_ELEMENT a, b;
        bool match;
    };
    const Case cases[] = {
        {element(4, 3, 0, 0), element(2, 3, 0, 0), true},
        {element(4, 3, 0, 0), element(3, 5, 3, 3), true},
        {element(0, 7, 3, 5), element(2, 5, 0, 0), true},
        // Owners of type 0 or above 20 do not count.
        {element(0, 3, 0, 0), element(2, 3, 0, 0), false},
        {element(21, 3, 0, 0), element(2, 3, 0, 0), false},
        {element(4, 3, 0, 0), element(2, 4, 21, 3), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DoPartitionContainerNumbersMatch(&c.a, &c.b), c.match);
    FSA_PARTITION_CACHE_ELEMENT attached = {};
    EXPECT_TRUE(LOCAL_ATTACHED(&attached));
    faPutLe32(attached.bytes + PART_LOCATION, 0xFFFFFFFF);
    EXPECT_FALSE(LOCAL_ATTACHED(&attached));
}

}  // namespace
