// The preconditions of the exported operations: container conditions, chunk
// sizes and free-space extents, against the simulated controller.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_status.h"
#include "ContainerTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using vyntest::thrownBy;

namespace {

class ParameterCheckTest : public vyntest::ContainerTest {};

constexpr uint64_t bit(unsigned n) { return uint64_t{1} << n; }

TEST_F(ParameterCheckTest, ContainerConditionsAnswerInTheirOrder)
{
    // Container 2 locked; 32 containers reachable, 63 the highest number.
    FSAAPI_CONTEXT* ctx = open("", FSA_ACC_READ_WRITE);
    ASSERT_NE(ctx, nullptr);
    CT_LockContainer(ctx, 2);
    struct Case {
        const char* name;
        uint64_t mask;
        uint32_t container;
        FSA_STATUS status;
        int exists;
    };
    const Case cases[] = {
        {"bit 23 alone", 0x800000, 2, FSA_STS_SUCCESS, 1},
        {"bit 23 with locked", bit(23) | bit(30), 2, FSA_STS_SUCCESS, 1},
        {"bit 35 with configured", bit(35) | bit(8), 0, FSA_STS_SUCCESS, 1},
        {"exposure limit before answer-none", bit(10) | bit(23), 40, 173, 0},
        {"above the highest number", bit(10), 64, 41, 1},
        {"locked", bit(30), 2, 42, 1},
        {"not locked", bit(30), 0, FSA_STS_SUCCESS, 1},
        {"configured", bit(8), 0, 153, 1},
        {"missing", bit(8), 1, 11, 0},
        {"not a volume set", bit(7), 2, 151, 1},
        {"read-write", bit(5), 0, 144, 1},
        {"single level", bit(1), 0, 141, 1},
        {"not multilevel", bit(2), 0, FSA_STS_SUCCESS, 1},
        {"not a mirror", bit(12), 2, 103, 1},
        {"a mirror", bit(12), 0, FSA_STS_SUCCESS, 1},
        {"not redundant", bit(13), 2, 180, 1},
        {"redundant", bit(13), 0, FSA_STS_SUCCESS, 1},
        {"no dead partition", bit(27), 0, 405, 1},
        {"nothing asked", 0, 0, FSA_STS_SUCCESS, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int exists = 7;
        EXPECT_EQ(PCK_ContainerIsRet(ctx, c.container, c.mask, &exists), c.status);
        EXPECT_EQ(exists, c.exists);
        // The answering form: 0 for none, else whether the container exists.
        const uint32_t answer = c.status == FSA_STS_SUCCESS ? 0 : static_cast<uint32_t>(c.exists);
        EXPECT_EQ(PCK_ContainerIs(ctx, c.container, c.mask, 1), answer);
        EXPECT_EQ(thrownBy([&] { PCK_ThrowIfContainerIs(ctx, c.container, c.mask); }), c.status);
    }
}

TEST_F(ParameterCheckTest, MultiLevelContainersAreJudgedByTheirLegs)
{
    FSAAPI_CONTEXT* ctx = open("drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
                               "ld4 = raid10 0:4,0:5,0:6,0:7\n");
    ASSERT_NE(ctx, nullptr);
    int exists = 0;
    EXPECT_EQ(PCK_ContainerIsRet(ctx, 4, bit(2), &exists), 107u);
    EXPECT_EQ(PCK_ContainerIsRet(ctx, 4, bit(1), &exists), FSA_STS_SUCCESS);
    // The legs are mirrors: a mirror and redundant.
    EXPECT_EQ(PCK_ContainerIsRet(ctx, 4, bit(12) | bit(13), &exists), FSA_STS_SUCCESS);
}

TEST_F(ParameterCheckTest, SnapshotPairsAreFollowedToTheirEnd)
{
    // 10 stands over 11, 11 over the stripe 13: all three are judged by the
    // stripe. 20 and 21 stand over each other and 22 over itself: their
    // walks end where a container comes round again.
    FSAAPI_CONTEXT* ctx = open("drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\nld13 = raid0 0:5,0:6\n"
                               "ld10 = snapshot 11 original=10\nld11 = snapshot 13 original=11\n"
                               "ld20 = snapshot 21 original=20\nld21 = snapshot 20 original=21\n"
                               "ld22 = snapshot 22 original=22\n");
    ASSERT_NE(ctx, nullptr);
    struct Case {
        uint32_t container;
        uint64_t mask;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {13, bit(12), 103}, {11, bit(12), 103}, {10, bit(12), 103}, {10, bit(13), 180},
        {10, bit(2), 107},  {10, bit(1), FSA_STS_SUCCESS},        {20, bit(12), FSA_STS_SUCCESS},
        {21, bit(12) | bit(13), FSA_STS_SUCCESS}, {22, bit(12), FSA_STS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.container << " mask 0x" << std::hex << c.mask);
        int exists = 0;
        EXPECT_EQ(PCK_ContainerIsRet(ctx, c.container, c.mask, &exists), c.status);
        EXPECT_EQ(exists, 1);
    }
}

TEST_F(ParameterCheckTest, DeviceTaskCheckWithoutConditionReadsNothing)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(PCK_ScsiDeviceIs(ctx, 4, 0, 0), 0u);
    EXPECT_EQ(thrownBy([&] { PCK_ThrowIfScsiDeviceIs(ctx, 4, 0x2); }), FSA_STS_SUCCESS);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(ParameterCheckTest, RunningTasksBlockContainersAndDrives)
{
    // A rebuild of the mirror (0), a clear of the stripe (2), a clear of the
    // first leg of a RAID-10 (4, legs numbered down from 63) and a verify of
    // drive 0:4.
    FSAAPI_CONTEXT* ctx = open("drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
                               "drive8 = 0:8 sas 146G\nld4 = raid10 0:5,0:6,0:7,0:8\n"
                               "[adapter0.task1]\njob = 110\nobject = 0\ntotal = 600\n"
                               "[adapter0.task2]\njob = 101\nobject = 2\ntotal = 600\n"
                               "[adapter0.task3]\njob = 101\nobject = 63\ntotal = 600\n"
                               "[adapter0.task4]\njob = 3\nobject = 4\ntotal = 600\n");
    ASSERT_NE(ctx, nullptr);
    struct Case {
        uint32_t container;
        uint64_t mask;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {0, bit(6), 145},          {0, bit(18), FSA_STS_SUCCESS}, {2, bit(18), 205},
        {2, bit(6) | bit(18), 145}, {4, bit(6), 145},              {4, bit(18), FSA_STS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.container << " mask 0x" << std::hex << c.mask);
        int exists = 0;
        EXPECT_EQ(PCK_ContainerIsRet(ctx, c.container, c.mask, &exists), c.status);
    }
    EXPECT_EQ(PCK_ScsiDeviceIs(ctx, 4, 0x1, 1), 1u);
    EXPECT_EQ(thrownBy([&] { PCK_ThrowIfScsiDeviceIs(ctx, 4, 0x1); }), 270u);
    EXPECT_EQ(PCK_ScsiDeviceIs(ctx, 3, 0x1, 0), 0u);
}

TEST_F(ParameterCheckTest, UserChunkSizes)
{
    // The controller takes chunks of 8 KB to 1 MB.
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(ctx->chunkMinimum, 8192u);
    ASSERT_EQ(ctx->chunkMaximum, 1048576u);
    struct Case {
        uint32_t in;
        uint32_t out;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {0, 0, FSA_STS_SUCCESS},          {64, 65536, FSA_STS_SUCCESS},     {8, 8192, FSA_STS_SUCCESS},
        {16384, 16384, FSA_STS_SUCCESS},  {1048576, 1048576, FSA_STS_SUCCESS}, {24576, 24576, 26},
        {2097152, 2097152, 26},           {4096, 4096, 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        uint32_t chunk = c.in;
        EXPECT_EQ(thrownBy([&] { PCK_ValidateUserChunkSize(ctx, &chunk); }), c.status);
        EXPECT_EQ(chunk, c.out);
    }
    // A controller without a minimum: refused rather than doubled for ever.
    ctx->chunkMinimum = 0;
    uint32_t chunk = 65536;
    EXPECT_EQ(thrownBy([&] { PCK_ValidateUserChunkSize(ctx, &chunk); }), 26u);
    // 8192 on the legacy OEM servers.
    ctx->oemId = 8;
    chunk = 8192;
    EXPECT_EQ(thrownBy([&] { PCK_ValidateUserChunkSize(ctx, &chunk); }), FSA_STS_SUCCESS);
}

TEST_F(ParameterCheckTest, ChunkSizeAgainstTheLimits)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(thrownBy([&] { PCK_ValidateChunkSize(ctx, 65536, 65536 * 10); }), FSA_STS_SUCCESS);
    EXPECT_EQ(thrownBy([&] { PCK_ValidateChunkSize(ctx, 65536, 65536 * 10 + 512); }), 26u);
    EXPECT_EQ(thrownBy([&] { PCK_ValidateChunkSize(ctx, 4096, 4096 * 10); }), 26u);
    EXPECT_EQ(thrownBy([&] { PCK_ValidateChunkSize(ctx, 12288, 12288 * 10); }), 26u);
    EXPECT_EQ(thrownBy([&] { PCK_ValidateChunkSize(ctx, 0, 0); }), 26u);
}

TEST_F(ParameterCheckTest, FreeSpaceExtents)
{
    // Drive 0:4 is free from block 128; 0:0 holds the mirror.
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    constexpr uint64_t kStart = 65536;
    constexpr uint64_t kMB = 1 << 20;
    constexpr uint64_t kFreeBytes = 306182016ull * 512;
    auto extent = [](uint8_t target, uint64_t start, uint64_t length) {
        FSA_STORAGE_DEVICE_SPACE s{};
        s.device.busNumber = 0;
        s.device.targetId = target;
        s.start = start;
        s.length = length;
        return s;
    };
    struct Case {
        const char* name;
        std::vector<FSA_STORAGE_DEVICE_SPACE> spaces;
        int skip;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {"touching", {extent(4, kStart, 8 * kMB), extent(4, kStart + 8 * kMB, 8 * kMB)}, 0, FSA_STS_SUCCESS},
        {"second inside the first", {extent(4, kStart, 8 * kMB), extent(4, kStart + kMB, 8 * kMB)}, 0, 150},
        {"first inside the second", {extent(4, kStart + kMB, 8 * kMB), extent(4, kStart, 8 * kMB)}, 0, 150},
        {"unaligned length", {extent(4, kStart, 65536 + 512)}, 1, 147},
        {"unaligned start", {extent(4, kStart + 512, 65536)}, 1, 147},
        {"on a used drive", {extent(0, kStart, 16 * kMB)}, 0, 148},
        {"past the free space", {extent(4, kStart + kFreeBytes - kMB, 16 * kMB)}, 0, 149},
        {"before the free space", {extent(4, 0, 16 * kMB)}, 0, 149},
        {"sixteen megabytes", {extent(4, kStart, 16 * kMB)}, 0, FSA_STS_SUCCESS},
        {"too small", {extent(4, kStart, kMB)}, 0, 146},
        {"too small but not checked", {extent(4, kStart, kMB)}, 1, FSA_STS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(thrownBy([&] {
                      PCK_ValidateFreeSpace(ctx, c.spaces.data(), static_cast<uint32_t>(c.spaces.size()), c.skip);
                  }),
                  c.status);
    }
    std::vector<FSA_STORAGE_DEVICE_SPACE> wrongBus = {extent(4, kStart, 16 * kMB)};
    wrongBus[0].device.busNumber = 3;
    EXPECT_EQ(thrownBy([&] { PCK_ValidateFreeSpace(ctx, wrongBus.data(), 1, 0); }), 36u);
}

}  // namespace
