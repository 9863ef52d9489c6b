// Dead partitions, segment deletion, container size and the morph requests,
// in process against the simulator. Dead, locked and foreign partitions are
// set up by editing the partition cache the routines read.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "CapturingSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::Fault;

constexpr uint32_t kLocked = 0x80000000u;
// Option word 3 without the 64-bit slices: the 152-byte morph request.
constexpr char kNarrow[] = "adapter0.option_word3 = 0x388\n";

FSA_STORAGE_DEVICE drive(uint8_t target)
{
    FSA_STORAGE_DEVICE d{};
    d.targetId = target;
    return d;
}

class DeadPartitionMorphTest : public vyntest::CapturingSessionTest {
protected:
    // The controller's settle waits pass at once (the clock still counts them).
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        FSAAPI_CONTEXT* ctx = CapturingSessionTest::open(extra);
        sim().setSleepScale(0);
        return ctx;
    }
    // The cached partition of ld0 on drive 0:t, read fresh.
    uint8_t* member(FSAAPI_CONTEXT* ctx, uint32_t t)
    {
        CT_UpdateCache(ctx);
        FSA_PARTITION_CACHE* cache = ctx->partitionCache;
        for (uint32_t i = 0; i < cache->count; ++i) {
            uint8_t* e = cache->elements[i].bytes;
            if (faGetLe32(e + PART_LOCATION) == t && faGetLe32(e + PCE_KIND) != PCE_FREE &&
                faGetLe64(e + PART_START_64) != 0)
                return e;
        }
        ADD_FAILURE() << "no partition on drive " << t;
        static uint8_t none[sizeof(FSA_PARTITION_CACHE_ELEMENT)];
        return none;
    }
    static void makeDead(uint8_t* e, uint32_t attributes = 0)
    {
        faPutLe16(e + 60, 2);
        faPutLe32(e + 64, 1u << 2);
        faPutLe32(e + PART_ATTRIBUTES, attributes);
    }
    std::vector<uint32_t> zeroed()
    {
        std::vector<uint32_t> out;
        for (const auto& k : captured(14))
            out.push_back(k.param[0]);
        return out;
    }
};

TEST_F(DeadPartitionMorphTest, RemovingDeadPartitions)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // Nothing dead: nothing cleared, the configuration is still re-read.
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 0, nullptr); }), FSA_STS_SUCCESS);
    EXPECT_TRUE(zeroed().empty());
    EXPECT_EQ(sent(500, 34), 1u);

    // A dead one is cleared by its table index; a locked dead one is kept
    // and reported after the re-read.
    uint8_t* dead = member(ctx, 1);
    makeDead(dead);
    const uint32_t index = faGetLe32(dead + PART_TABLE_INDEX);
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 1, nullptr); }), FSA_STS_SUCCESS);
    EXPECT_EQ(zeroed(), std::vector<uint32_t>{index});

    state().captured.clear();
    sim().clearRequests();
    makeDead(member(ctx, 2), kLocked);
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 2, nullptr); }), 285u);
    EXPECT_TRUE(zeroed().empty());
    EXPECT_EQ(sent(500, 34), 1u);

    // On a slice this system did not write: 28, before any re-read.
    sim().clearRequests();
    uint8_t* foreign = member(ctx, 0);
    makeDead(foreign);
    faPutLe32(foreign + PCE_KIND, PCE_FOREIGN_USED);
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 0, nullptr); }), 28u);
    EXPECT_EQ(sent(500, 34), 0u);
}

TEST_F(DeadPartitionMorphTest, RemovingOneDeadPartitionByItsBytes)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint8_t* dead = member(ctx, 1);
    makeDead(dead);
    FSA_PARTITION p{};
    faPutLe64(p.bytes + FSA_PARTITION_OFFSET, faGetLe64(dead + PART_START_64) * 512);
    faPutLe64(p.bytes + FSA_PARTITION_LENGTH, faGetLe64(dead + PART_LENGTH_64) * 512 + 512);
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 1, &p); }), FSA_STS_SUCCESS);
    EXPECT_TRUE(zeroed().empty());
    // The re-read dropped the edited cache.
    dead = member(ctx, 1);
    makeDead(dead);
    faPutLe64(p.bytes + FSA_PARTITION_LENGTH, faGetLe64(dead + PART_LENGTH_64) * 512);
    EXPECT_EQ(thrownBy([&] { CT_RemoveDeadPartitions(ctx, 1, &p); }), FSA_STS_SUCCESS);
    EXPECT_EQ(zeroed().size(), 1u);
}

TEST_F(DeadPartitionMorphTest, MarkingPartitionsDead)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // Nothing of kind 3 on the drive: nothing marked, the wait is still kept.
    uint64_t before = sim().clockMs();
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartitions(ctx, 0); }), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().clockMs() - before, 5000u);
    EXPECT_TRUE(captured(72).empty());

    uint8_t* e = member(ctx, 0);
    faPutLe32(e + PCE_KIND, PCE_MATCHED);
    faPutLe16(e + 88, 6);
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartitions(ctx, 0); }), FSA_STS_SUCCESS);
    ASSERT_EQ(captured(72).size(), 1u);
    EXPECT_EQ(captured(72)[0].param[0], faGetLe16(e + PART_FIRST_CONTAINER));
    EXPECT_EQ(captured(72)[0].param[1], 6u);

    // A locked one is skipped and reported after the wait.
    faPutLe32(e + PART_ATTRIBUTES, kLocked);
    before = sim().clockMs();
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartitions(ctx, 0); }), 350u);
    EXPECT_EQ(sim().clockMs() - before, 5000u);
    EXPECT_EQ(captured(72).size(), 1u);

    // The controller refusing: 351.
    faPutLe32(e + PART_ATTRIBUTES, 0);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 72", "status = 3"}));
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartitions(ctx, 0); }), 351u);
}

TEST_F(DeadPartitionMorphTest, OnePartitionByItsExtent)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint8_t* e = member(ctx, 1);
    const uint64_t start = faGetLe64(e + PART_START_64);
    const uint64_t length = faGetLe64(e + PART_LENGTH_64);
    const uint32_t index = faGetLe32(e + PART_TABLE_INDEX);

    uint64_t before = sim().clockMs();
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartition(ctx, 1, 1, 1); }), 14u);
    EXPECT_EQ(sim().clockMs(), before);
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartition(ctx, 1, static_cast<uint32_t>(start),
                                                 static_cast<uint32_t>(length)); }),
              FSA_STS_SUCCESS);
    EXPECT_EQ(captured(72).size(), 1u);
    EXPECT_EQ(sim().clockMs() - before, 5000u);

    EXPECT_EQ(thrownBy([&] { CT_ClearDeadPartition(ctx, 1, start, length + 1); }), 14u);
    sim().clearRequests();
    EXPECT_EQ(thrownBy([&] { CT_ClearDeadPartition(ctx, 1, start, length); }), FSA_STS_SUCCESS);
    EXPECT_EQ(zeroed(), std::vector<uint32_t>{index});
    EXPECT_EQ(sent(500, 34), 1u);

    e = member(ctx, 2);
    faPutLe32(e + PART_ATTRIBUTES, kLocked | PART_ATTR_HAS_CONTAINER);
    const uint64_t s2 = faGetLe64(e + PART_START_64);
    const uint64_t l2 = faGetLe64(e + PART_LENGTH_64);
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartition(ctx, 2, static_cast<uint32_t>(s2), static_cast<uint32_t>(l2)); }),
              350u);
    EXPECT_EQ(thrownBy([&] { CT_ClearDeadPartition(ctx, 2, s2, l2); }), 350u);
    // The mutex was given back with each throw.
    EXPECT_EQ(thrownBy([&] { CT_SetDeadPartitions(ctx, 2); }), FSA_STS_SUCCESS);
}

TEST_F(DeadPartitionMorphTest, DeletingSegmentsAndContainerSize)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    VYNIO_SEGMENT64_S segments[2] = {};
    faPutLe32(segments[1].bytes + VYNIO_SEGMENT64_S::kHandle, 4);
    faPutLe64(segments[1].bytes + VYNIO_SEGMENT64_S::kBlocks, 0x123456789ull);
    EXPECT_EQ(thrownBy([&] { CT_DeletePartitions(ctx, 2, segments); }), FSA_STS_SUCCESS);
    ASSERT_EQ(captured(250).size(), 1u);
    EXPECT_EQ(captured(250)[0].param[0], 2u);
    const std::vector<uint8_t> input = captured(250)[0].input;
    ASSERT_GE(input.size(), 48u);
    EXPECT_EQ(std::vector<uint8_t>(input.begin(), input.begin() + 48),
              std::vector<uint8_t>(segments[0].bytes, segments[0].bytes + 48));
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "status = 3"}));
    EXPECT_EQ(thrownBy([&] { CT_DeletePartitions(ctx, 2, segments); }), 14u);
    // More segments than one request carries.
    EXPECT_EQ(thrownBy([&] { CT_DeletePartitions(ctx, 0x0AAAAAAB, segments); }), FSA_STS_BAD_PARAMETER);

    // ld0: RAID-5 over three extents of the smallest usable size, in whole
    // stripes of 256 KB.
    const uint64_t extent = (146ull * 1024 * 1024 * 2 - 128 - 2048) / 128 * 128 / 512 * 512;
    EXPECT_EQ(CT_GetContainerSize(ctx, 0), 2 * extent * 512);
    EXPECT_EQ(thrownBy([&] { CT_GetContainerSize(ctx, 5); }), 11u);
}

// The morph request in both forms: a table over mode, members and form.
TEST_F(DeadPartitionMorphTest, MorphRequests)
{
    struct Case {
        const char* name;
        const char* extra;
        uint32_t n;
        int extend;
        uint32_t code;
        uint32_t mode;
    };
    const Case cases[] = {
        {"64-bit, one new member", "", 1, 0, 252, 4},
        {"64-bit, extended", "", 1, 1, 252, 2},
        {"64-bit, size only", "", 0, 0, 252, 1},
        {"narrow, one new member", kNarrow, 1, 0, 109, 4},
        {"narrow, size only", kNarrow, 0, 0, 109, 1},
    };
    const uint64_t size = 0x1234567800ull * 512;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FSAAPI_CONTEXT* ctx = open(c.extra);
        ASSERT_NE(ctx, nullptr);
        tag_FSA_CONTAINER ld0{};
        CT_GetStandardID(ctx, &ld0, 0);
        const FSA_STORAGE_DEVICE added[] = {drive(4)};
        EXPECT_EQ(CT_MorphContainer(ctx, &ld0, 4, c.n, added, 128 * 1024, size, c.extend), FSA_STS_SUCCESS);
        const auto requests = captured(c.code);
        ASSERT_EQ(requests.size(), 1u);
        const std::vector<uint8_t>& r = requests[0].input;
        const bool wide = c.code == 252;
        // A short request travels in a small FIB: nothing past its end.
        const size_t length = wide ? 156 : 152;
        ASSERT_GE(r.size(), length);
        EXPECT_EQ(std::vector<uint8_t>(r.begin() + length, r.end()), std::vector<uint8_t>(r.size() - length, 0));
        EXPECT_EQ(faGetLe32(r.data()), 0u);
        EXPECT_EQ(faGetLe32(r.data() + 4), 4u);  // RAID-5
        EXPECT_EQ(faGetLe32(r.data() + 8), c.n);
        EXPECT_EQ(faGetLe32(r.data() + 12), 256u);
        if (wide)
            EXPECT_EQ(faGetLe64(r.data() + 16), 0x1234567800ull);
        else
            EXPECT_EQ(faGetLe32(r.data() + 16), 0x34567800u);
        EXPECT_EQ(faGetLe32(r.data() + (wide ? 24 : 20)), c.mode);
        // Slice of drive 0:4, then nothing.
        const size_t slices = wide ? 28 : 24;
        EXPECT_EQ(r[slices], c.n == 1 ? 4u : 0u);
        EXPECT_EQ(r[slices + 1], 0u);
    }
}

TEST_F(DeadPartitionMorphTest, MorphRefusals)
{
    FSAAPI_CONTEXT* ctx = open("adapter0.drive8 = 0:9 sas 146G slice=300\n");
    ASSERT_NE(ctx, nullptr);
    const FSA_STORAGE_DEVICE high[] = {drive(9)};
    const FSA_STORAGE_DEVICE fine[] = {drive(4)};
    // A slice byte cannot name slice 300.
    ASSERT_EQ(CT_GetSliceFromDriveHandle(ctx, 9, 0, nullptr), 300);
    EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainerNew64(ctx, 0, 4, 1, high, 0, 0, 0); }),
              FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainer(ctx, 0, 4, 1, high, 0, 0, 0); }), FSA_STS_BAD_PARAMETER);
    // Extending by nothing.
    EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainerNew64(ctx, 0, 4, 0, fine, 0, 0, 1); }), 323u);
    // No morph kind for the type.
    EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainer(ctx, 0, 5, 1, fine, 0, 0, 0); }), 22u);
    EXPECT_TRUE(captured(252).empty());
    EXPECT_TRUE(captured(109).empty());

    tag_FSA_CONTAINER ld0{};
    CT_GetStandardID(ctx, &ld0, 0);
    EXPECT_EQ(thrownBy([&] { CT_MorphContainer(ctx, &ld0, 10, 1, fine, 0, 0, 0); }), 22u);
    std::vector<FSA_STORAGE_DEVICE> many(129, drive(4));
    EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainer(ctx, 0, 4, 129, many.data(), 0, 0, 0); }), 24u);
    EXPECT_EQ(thrownBy([&] { CT_MorphContainer(ctx, &ld0, 4, 129, many.data(), 0, 0, 0); }), 24u);
    EXPECT_EQ(thrownBy([&] { CT_MorphContainer(ctx, &ld0, 4, 2, nullptr, 0, 0, 0); }), FSA_STS_BAD_PARAMETER);

    // Controller answers other than "started".
    struct Answer {
        uint32_t status;
        FSA_STATUS expected;
    };
    for (const Answer& a : {Answer{255, 324}, Answer{256, 41}, Answer{389, 610}, Answer{331, 496}, Answer{1, 323}}) {
        SCOPED_TRACE(a.status);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 252", "status = " + std::to_string(a.status)}));
        EXPECT_EQ(thrownBy([&] { CT_GenerateMorphContainerNew64(ctx, 0, 4, 1, fine, 0, 0, 0); }), a.expected);
    }
}

}  // namespace
