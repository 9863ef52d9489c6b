// Container creation requests as the controller receives them: the member
// rules of each level, the request forms and lengths, the legacy fall-back,
// the RAID-6 size, secondary and logical-drive requests and free numbers.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "CapturingSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::CtReply;
using vyn::hostsim::CtRequest;
using vyn::hostsim::Fault;

constexpr uint64_t kMiB = 1024 * 1024;

class CreationRequestTest : public vyntest::CapturingSessionTest {
protected:
    // The Size word of the last container request of CT `ct`.
    unsigned lastSize(uint32_t ct)
    {
        unsigned size = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            if (r.isFib && r.command == 500 && r.ct == ct)
                size = r.size;
        return size;
    }
    // n extents of `bytes` each on the drives of the default description's
    // data container, in turn.
    static std::vector<FSA_STORAGE_DEVICE_SPACE> extents(uint32_t n, uint64_t bytes = 100 * kMiB)
    {
        std::vector<FSA_STORAGE_DEVICE_SPACE> out(n);
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = {};
            out[i].device.targetId = static_cast<uint8_t>(i % 3);
            out[i].start = (1 + i) * kMiB;
            out[i].length = bytes;
        }
        return out;
    }
    // Puts {p, d} for n drives in the first RAID-6 layout table.
    static void layout(FSAAPI_CONTEXT* ctx, uint32_t n, uint8_t p, uint16_t d)
    {
        uint8_t* entry = ctx->raid6Options + RAID6_OPT_TABLE + 4 * n;
        entry[1] = p;
        faPutLe16(entry + 2, d);
        faPutLe32(ctx->raid6Options + RAID6_OPT_FLAGS, 0);
    }
};

TEST_F(CreationRequestTest, MemberRulesOfEachLevel)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    layout(ctx, 4, 2, 2);
    struct Row {
        uint32_t type;
        uint32_t n;
        FSA_STATUS status;
        uint32_t kind;
    };
    const Row rows[] = {
        {1, 3, 521, 0},    {1, 2, 1, 2},       {40, 2, 521, 0},  {40, 3, 1, 17},  {40, 17, 24, 0},
        {13, 5, 523, 0},   {13, 4, 1, 10},     {13, 130, 24, 0}, {26, 7, 543, 0}, {26, 12, 1, 14},
        {15, 3, 524, 0},   {15, 4, 1, 12},     {15, 130, 24, 0}, {2, 3, 1, 3},    {2, 129, 24, 0},
        {3, 2, 1, 1},      {3, 33, 24, 0},     {4, 3, 1, 4},     {4, 17, 24, 0},  {34, 4, 1, 15},
        {45, 4, 1, 18},    {45, 33, 6, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.type) + " with " + std::to_string(row.n));
        state().captured.clear();
        // Each accepted request creates container 5: the next may take it again.
        state().objects.erase("ld5");
        const auto spaces = extents(row.n);
        EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, row.type, spaces.data(), row.n, 65536, 0, 0); }),
                  row.status);
        const auto sent = captured(221);
        ASSERT_EQ(sent.size(), row.status == 1 ? 1u : 0u);
        if (row.status == 1) {
            EXPECT_EQ(faGetLe32(sent[0].input.data()), row.kind);
            EXPECT_EQ(faGetLe32(sent[0].input.data() + 4), 5u);
            EXPECT_EQ(lastSize(221), 1104u);  // 1068 bytes
        }
    }
}

TEST_F(CreationRequestTest, RequestLayouts)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    layout(ctx, 4, 2, 2);
    auto create = [&](uint32_t type, uint32_t n, uint64_t bytes, int quick, int noBuild) {
        state().captured.clear();
        state().objects.erase("ld5");
        const auto spaces = extents(n, bytes);
        EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, type, spaces.data(), n, 65536, quick, noBuild); }),
                  FSA_STS_SUCCESS);
        const auto sent = captured(221);
        return sent.empty() ? std::vector<uint8_t>(1068, 0) : sent[0].input;
    };
    // RAID-50: the last of 3, 5 and 9 drives per leg that leaves two legs.
    std::vector<uint8_t> r = create(26, 12, 100 * kMiB, 0, 0);
    EXPECT_EQ(faGetLe16(r.data() + 32), 4u);
    EXPECT_EQ(faGetLe16(r.data() + 34), 3u);
    EXPECT_EQ(faGetLe32(r.data() + 28), 128u);
    EXPECT_EQ(faGetLe32(r.data() + 24), 204800u * 2 * 4);
    r = create(26, 18, 100 * kMiB, 0, 0);
    EXPECT_EQ(faGetLe16(r.data() + 32), 2u);
    EXPECT_EQ(faGetLe16(r.data() + 34), 9u);

    // RAID-6 of four drives, two data and two parity strips, 1000 MiB each.
    r = create(45, 4, 1000 * kMiB, 1, 0);
    EXPECT_EQ(faGetLe32(r.data() + 8), 4096000u);
    EXPECT_EQ(faGetLe32(r.data() + 296), 0u);
    EXPECT_EQ(faGetLe32(r.data() + 16), 3u);  // quick
    EXPECT_EQ(faGetLe32(r.data() + 36), 4u);
    EXPECT_EQ(faGetLe32(r.data() + 12), 128u);

    // RAID-10 halves 64 slots apart, members alternating.
    r = create(13, 4, 100 * kMiB, 0, 1);
    EXPECT_EQ(faGetLe32(r.data() + 36), 5u);  // no build
    EXPECT_EQ(faGetLe32(r.data() + 32), 2u);
    EXPECT_EQ(faGetLe32(r.data() + 40 + 4), 2048u);            // member 0 at slot 0
    EXPECT_EQ(faGetLe32(r.data() + 40 + 8 + 4), 6144u);        // member 2 at slot 1
    EXPECT_EQ(faGetLe32(r.data() + 40 + 64 * 8 + 4), 4096u);   // member 1 at slot 64
    EXPECT_EQ(faGetLe32(r.data() + 40 + 65 * 8 + 4), 8192u);   // member 3 at slot 65

    // A volume of mirrors: one record per pair.
    r = create(15, 2, 100 * kMiB, 0, 0);
    EXPECT_EQ(faGetLe32(r.data() + 24), 1u);
    EXPECT_EQ(faGetLe32(r.data() + 32 + 4), 204800u);
    EXPECT_EQ(faGetLe32(r.data() + 32 + 8), 2048u);
    EXPECT_EQ(faGetLe32(r.data() + 32 + 12), 4096u);

    // The creation info: 1, 0, 2, then the controller's serial number.
    r = create(1, 2, 100 * kMiB, 0, 0);
    EXPECT_EQ(r[16], 1u);
    EXPECT_EQ(r[18], 2u);
    EXPECT_EQ(faGetLe32(r.data() + 24), 0x30315356u);
    EXPECT_EQ(faGetLe32(r.data() + 8), 204800u);
}

TEST_F(CreationRequestTest, Raid6Size)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint64_t blocks = 1;
    layout(ctx, 4, 2, 2);
    EXPECT_EQ(CT_GetRaid6Size(handle_, 4, 1000 * kMiB, &blocks), FSA_STS_SUCCESS);
    EXPECT_EQ(blocks, 4096000u);
    // Fewer strips than drives would divide by a zero unit.
    layout(ctx, 5, 1, 1);
    EXPECT_EQ(CT_GetRaid6Size(handle_, 5, 1000 * kMiB, &blocks), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(blocks, 0u);
    // A count the controller's table has no entry for.
    EXPECT_EQ(CT_GetRaid6Size(handle_, 17, 1000 * kMiB, &blocks), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(CT_GetRaid6Size(handle_, 32, 1000 * kMiB, &blocks), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(CT_GetRaid6Size(handle_, 1000, 1000 * kMiB, &blocks), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(CT_GetRaid6Size(nullptr, 4, 1000 * kMiB, &blocks), 9u);
}

TEST_F(CreationRequestTest, ShortFormsAndTheLegacyFallBack)
{
    // Without 64-bit requests: CT 179 with the row's own length.
    FSAAPI_CONTEXT* ctx = open("adapter0.option_word1 = 0x00090820\n");
    ASSERT_NE(ctx, nullptr);
    auto spaces = extents(50);
    ASSERT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 2, spaces.data(), 50, 65536, 0, 0); }),
              FSA_STS_SUCCESS);
    EXPECT_EQ(captured(221).size(), 0u);
    ASSERT_EQ(captured(179).size(), 1u);
    EXPECT_EQ(lastSize(179), 472u);  // 50 × 8 + 40 = 440 bytes

    // A controller that does not know the current command gets the 432-byte
    // legacy request; RAID-10 halves move to 32 slots apart.
    ctx = open();
    ASSERT_NE(ctx, nullptr);
    state().objects.erase("ld5");  // the RAID-0 above took the number
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 221", "transport = 1"}));
    spaces = extents(4);
    ASSERT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 13, spaces.data(), 4, 65536, 0, 0); }), FSA_STS_SUCCESS);
    const auto legacy = captured(124);
    ASSERT_EQ(legacy.size(), 1u);
    ASSERT_EQ(legacy[0].input.size(), 432u);
    EXPECT_EQ(faGetLe32(legacy[0].input.data()), 10u);
    EXPECT_EQ(faGetLe32(legacy[0].input.data() + 32), 2u);
    EXPECT_EQ(faGetLe32(legacy[0].input.data() + 40 + 4), 2048u);
    EXPECT_EQ(faGetLe32(legacy[0].input.data() + 40 + 32 * 8 + 4), 4096u);
    EXPECT_EQ(faGetLe32(legacy[0].input.data() + 40 + 33 * 8 + 4), 8192u);

    // A number the controller holds already: 389, reported as 610.
    EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 0, 13, spaces.data(), 4, 65536, 0, 0); }), 610u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 221", "status = 999"}));
    EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 13, spaces.data(), 4, 65536, 0, 0); }), 522u);
}

TEST_F(CreationRequestTest, Raid10RowRoomWithoutWideHalves)
{
    FSAAPI_CONTEXT* ctx = open("adapter0.option_word2 = 0x0EB797CC\n");
    ASSERT_NE(ctx, nullptr);
    auto spaces = extents(50);
    EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 13, spaces.data(), 50, 65536, 0, 0); }), 24u);
    EXPECT_TRUE(captured(221).empty());
    spaces = extents(48);
    ASSERT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 13, spaces.data(), 48, 65536, 0, 0); }), FSA_STS_SUCCESS);
    const auto sent = captured(221);
    ASSERT_EQ(sent.size(), 1u);
    // Member 1 opens the second half at slot 24.
    EXPECT_EQ(faGetLe32(sent[0].input.data() + 40 + 24 * 8 + 4), 4096u);
}

TEST_F(CreationRequestTest, TwoLevelAndSecondaryRequests)
{
    // Containers to build secondaries over, each used once.
    FSAAPI_CONTEXT* ctx = open("adapter0.ld1 = raid0 0:3 size=1G\nadapter0.ld2 = raid0 0:4 size=1G\n"
                               "adapter0.ld3 = raid0 0:5 size=1G\nadapter0.ld6 = raid0 0:3 size=1G\n"
                               "adapter0.ld7 = raid0 0:4 size=1G\nadapter0.ld8 = raid0 0:5 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    layout(ctx, 3, 1, 2);
    auto spaces = extents(6);
    EXPECT_EQ(thrownBy([&] { CT_CreateRAID50(ctx, 5, 4, spaces.data(), 6, 65536, 0, 0); }), 543u);
    EXPECT_EQ(thrownBy([&] { CT_CreateRAID60(ctx, 5, 3, spaces.data(), 3, 65536, 0, 0); }), 543u);
    ASSERT_EQ(thrownBy([&] { CT_CreateRAID60(ctx, 5, 3, spaces.data(), 6, 65536, 0, 0); }), FSA_STS_SUCCESS);
    const auto sent = captured(221);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(faGetLe32(sent[0].input.data()), 19u);
    EXPECT_EQ(faGetLe16(sent[0].input.data() + 32), 2u);
    EXPECT_EQ(faGetLe32(sent[0].input.data() + 28), 128u);

    const uint32_t members[3] = {1, 2, 3};
    const uint32_t others[3] = {6, 7, 8};
    EXPECT_EQ(thrownBy([&] { CT_GenerateSecondary(ctx, 5, 2, members, 3, 1024 * 1024); }), FSA_STS_SUCCESS);
    EXPECT_EQ(thrownBy([&] { CT_GenerateSecondary(ctx, 5, 3, others, 3, 1024 * 1024); }), FSA_STS_SUCCESS);
    EXPECT_EQ(thrownBy([&] { CT_GenerateSecondary(ctx, 5, 4, members, 3, 1024 * 1024); }), 210u);
    const auto stripe = captured(172);
    ASSERT_EQ(stripe.size(), 1u);
    EXPECT_EQ(faGetLe32(stripe[0].input.data()), 3u);
    EXPECT_EQ(faGetLe32(stripe[0].input.data() + 4), 2048u);
    EXPECT_EQ(faGetLe32(stripe[0].input.data() + 16), 3u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 171", "status = 1"}));
    EXPECT_EQ(thrownBy([&] { CT_GenerateSecondary(ctx, 5, 3, members, 3, 1024 * 1024); }), 210u);
    // The request holds 128 member numbers.
    const std::vector<uint32_t> many(129, 1);
    state().captured.clear();
    EXPECT_EQ(thrownBy([&] { CT_GenerateSecondary(ctx, 5, 2, many.data(), 129, 1024 * 1024); }), 24u);
    EXPECT_TRUE(captured(172).empty());
}

TEST_F(CreationRequestTest, LegacyMirrorVolumeAndPartitionLookup)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 221", "transport = 1", 0, 0}));
    auto spaces = extents(2);
    ASSERT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 15, spaces.data(), 2, 65536, 0, 0); }), FSA_STS_SUCCESS);
    const auto legacy = captured(124);
    ASSERT_EQ(legacy.size(), 1u);
    const uint8_t* r = legacy[0].input.data();
    EXPECT_EQ(faGetLe32(r), 12u);
    EXPECT_EQ(faGetLe32(r + 24), 1u);
    EXPECT_EQ(faGetLe32(r + 32 + 4), 2048u);     // first member: start, length
    EXPECT_EQ(faGetLe32(r + 32 + 8), 204800u);
    EXPECT_EQ(faGetLe32(r + 416 + 4), 4096u);    // second member
    EXPECT_EQ(faGetLe32(r + 416 + 8), 204800u);
    // A second pair's record would lie past the 432 bytes.
    spaces = extents(4);
    EXPECT_EQ(thrownBy([&] { CT_CreateNewContainer(ctx, 5, 15, spaces.data(), 4, 65536, 0, 0); }), 24u);
    EXPECT_EQ(captured(124).size(), 1u);

    Partition p = {};
    EXPECT_EQ(CT_GetPartitionForContainer(ctx, 0, 0, &p, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe16(p.bytes + PART_FIRST_CONTAINER), 0u);
    EXPECT_NE(faGetLe64(p.bytes + PART_START_64), 0u);
    EXPECT_EQ(CT_GetPartitionForContainer(ctx, 9, 0, &p, 1), 11u);
    EXPECT_EQ(thrownBy([&] { CT_GetPartitionForContainer(ctx, 9, 0, &p, 0); }), 11u);
}

TEST_F(CreationRequestTest, LogicalDriveRequests)
{
    EXPECT_EQ(VynIoCreateRequestBytes(1, 2), 168u);
    EXPECT_EQ(VynIoCreateRequestBytes(7, 3), 164u);

    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // A two-member volume on the free drives 0:4 and 0:5.
    std::vector<uint8_t> request(2048, 0);
    auto* header = reinterpret_cast<VYNIO_CREATE_HEADER_S*>(request.data());
    request[0] = 1;
    request[8] = 1;
    faPutLe32(request.data() + 12, 1);
    faPutLe16(request.data() + 26, 512);
    faPutLe16(request.data() + 30, 2);
    std::memcpy(request.data() + 40, "Logs", 4);
    for (uint32_t i = 0; i < 2; ++i) {
        faPutLe32(request.data() + 64 + 20 * i, 4 + i);
        faPutLe64(request.data() + 64 + 20 * i + 4, 128);
        faPutLe64(request.data() + 64 + 20 * i + 12, 204800);
    }
    faPutLe64(request.data() + 32, 409600);
    CT_SetDateTimeInfo(header);
    EXPECT_NE(faGetLe32(request.data() + 20), 0u);
    EXPECT_GE(faGetLe16(request.data() + 24), 124u);
    ASSERT_EQ(CT_VynIoCreateLogicalDrive(ctx, header), FSA_STS_SUCCESS);
    EXPECT_EQ(state().objects.count("ld1"), 1u);
    EXPECT_EQ(lastSize(237), 464u);
    // The number is now taken.
    EXPECT_EQ(CT_VynIoCreateLogicalDrive(ctx, header), 522u);

    // Sixteen 20-byte records, and 26 12-byte records, pass 432 bytes.
    faPutLe32(request.data() + 12, 2);
    faPutLe16(request.data() + 30, 16);
    for (uint32_t i = 0; i < 16; ++i)
        faPutLe32(request.data() + 64 + 20 * i, 4 + i % 2);
    EXPECT_EQ(CT_VynIoCreateLogicalDrive(ctx, header), FSA_STS_SUCCESS);
    EXPECT_EQ(lastSize(237), 480u);  // 448 bytes
    request[8] = 7;
    faPutLe32(request.data() + 12, 3);
    faPutLe16(request.data() + 30, 26);
    for (uint32_t i = 0; i < 26; ++i)
        faPutLe32(request.data() + 64 + 12 * i, 4 + i % 2);
    EXPECT_EQ(CT_VynIoCreateLogicalDrive(ctx, header), FSA_STS_SUCCESS);
    EXPECT_EQ(lastSize(237), 472u);  // 440 bytes
}

TEST_F(CreationRequestTest, NextFreeContainerNumber)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint32_t taken = 3;
    sim().addCtHandler(153, [&taken](ControllerState&, const CtRequest& q, CtReply& r) {
        r.status = q.param[0] < taken ? 1 : 0;
    });
    EXPECT_EQ(thrownBy([&] { EXPECT_EQ(CT_GetNextFreeContainer(ctx, 0, 0), 3u); }), FSA_STS_SUCCESS);
    taken = 1000;
    EXPECT_EQ(thrownBy([&] { CT_GetNextFreeContainer(ctx, 1, 0); }), 17u);
}

}  // namespace
