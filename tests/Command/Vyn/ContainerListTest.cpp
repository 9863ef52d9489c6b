// Container lists, the logical-device record conversions, the legacy
// container record and the snapshot recursion of the extended type.
#include "ContainerTest.h"

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::kFirstHandle;
using vyntest::kFirstUid;

class ContainerListTest : public vyntest::ContainerTest {
protected:
    uint32_t listEntry(FSAAPI_CONTEXT* ctx, unsigned which, unsigned i)
    {
        return faGetLe32(ctx->containerList[which] + 8 + 4 * i);
    }
    uint32_t listCount(FSAAPI_CONTEXT* ctx, unsigned which) { return faGetLe32(ctx->containerList[which] + 4); }
    uint32_t recordNumber(FSAAPI_CONTEXT* ctx, unsigned i)
    {
        return faGetLe32(ctx->logDevRecords + i * sizeof(VYNIO_LOGDEV_INFO_S) + LD_CONTAINER_NUM);
    }
};

TEST_F(ContainerListTest, ListsHoldNumbersAndHandlesAndMapHandlesBack)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(CT_UpdateContainerLists(ctx), FSA_STS_SUCCESS);
    ASSERT_EQ(listCount(ctx, 0), 2u);
    EXPECT_EQ(listEntry(ctx, 0, 0), 0u);
    EXPECT_EQ(listEntry(ctx, 0, 1), 2u);
    ASSERT_EQ(listCount(ctx, 1), 2u);
    EXPECT_EQ(ctx->logDevRecordCount, 2u);
    // A device that list 0 names under its own unique id keeps its number.
    EXPECT_EQ(recordNumber(ctx, 0), 0u);
    EXPECT_EQ(recordNumber(ctx, 1), 2u);
    EXPECT_EQ(CT_FindCtrNumFromHandle(ctx, kFirstHandle + 2), 2);
    EXPECT_EQ(CT_FindCtrNumFromHandle(ctx, kFirstUid + 2), 2);
    EXPECT_EQ(CT_FindCtrNumFromHandle(ctx, kFirstHandle + 1), -1);
    EXPECT_EQ(sent(165), 2u);
}

TEST_F(ContainerListTest, ClashingNumbersMoveToNumbersNoListNames)
{
    // Container 5 of list 0, and two other devices that report 5 as well.
    FSAAPI_CONTEXT* ctx = open("ld5 = volume 0:4\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 234", "poke = 52:4=5", 0, 2}));
    ASSERT_EQ(CT_UpdateContainerLists(ctx), FSA_STS_SUCCESS);
    ASSERT_EQ(ctx->logDevRecordCount, 3u);
    EXPECT_EQ(recordNumber(ctx, 0), 1u);
    EXPECT_EQ(recordNumber(ctx, 1), 3u);
    EXPECT_EQ(recordNumber(ctx, 2), 5u);
}

TEST_F(ContainerListTest, ANumberBeyondTheFirmwareRangeIsNone)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 234", "poke = 52:4=300"}));
    ASSERT_EQ(CT_UpdateContainerLists(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(recordNumber(ctx, 0), 0xFFFFFFFFu);
    EXPECT_EQ(CT_FindCtrNumFromHandle(ctx, kFirstHandle), -1);
    EXPECT_EQ(recordNumber(ctx, 1), 2u);
}

TEST_F(ContainerListTest, AnUnreadableRecordIsASlotOfOnes)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // Result word 2 of the first CT 234 reply.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 234", "poke = 16:4=219"}));
    ASSERT_EQ(CT_UpdateContainerLists(ctx), FSA_STS_SUCCESS);
    const std::vector<uint8_t> ones(sizeof(VYNIO_LOGDEV_INFO_S), 0xFF);
    EXPECT_EQ(std::memcmp(ctx->logDevRecords, ones.data(), ones.size()), 0);
    EXPECT_EQ(recordNumber(ctx, 1), 2u);
}

TEST_F(ContainerListTest, AListReplyIsCutToTheMaximumCount)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 229", "poke = 36:4=1000"}));
    EXPECT_EQ(CT_GetContainerList(ctx, 0), ctx->maxContainerCount);
    EXPECT_EQ(listCount(ctx, 0), ctx->maxContainerCount);
    EXPECT_EQ(ctx->maxContainerCount, 64u);
}

TEST_F(ContainerListTest, ListStatusesInResultWordTwo)
{
    struct Case {
        uint32_t status;
        FSA_STATUS expected;
    };
    const Case cases[] = {{219, 12}, {226, 6}, {300, 37}};
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(CT_GetContainerList(ctx, 0), 2u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 229", "poke = 16:4=" + std::to_string(c.status)}));
        FSA_STATUS thrown = FSA_STS_SUCCESS;
        try {
            CT_GetContainerList(ctx, 0);
        } catch (FSA_STATUS s) {
            thrown = s;
        }
        EXPECT_EQ(thrown, c.expected);
        EXPECT_EQ(listCount(ctx, 0), 0u);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 229", "poke = 16:4=" + std::to_string(c.status)}));
        EXPECT_EQ(CT_UpdateContainerLists(ctx), c.expected);
    }
    FSA_STATUS bad = FSA_STS_SUCCESS;
    try {
        CT_GetContainerList(ctx, 2);
    } catch (FSA_STATUS s) {
        bad = s;
    }
    EXPECT_EQ(bad, FSA_STS_BAD_PARAMETER);
}

TEST_F(ContainerListTest, WithoutListSupportThereAreNoLists)
{
    FSAAPI_CONTEXT* ctx = open("option_word2 = 0x0EB795DC\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(CT_GetContainerList(ctx, 0), 0u);
    EXPECT_EQ(CT_UpdateContainerLists(ctx), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(sent(229), 0u);
    EXPECT_NE(ctx->maxContainerCount, 0u);
}

// Firmware records converted by hand: a container numbered 40 (beyond the
// host's reach, so that its usage needs no driver) without members.
class ConvertTest : public ContainerListTest {
protected:
    void SetUp() override
    {
        ContainerListTest::SetUp();
        ctx_ = open();
        ASSERT_NE(ctx_, nullptr);
        std::memset(record_.bytes, 0, sizeof record_.bytes);
        faPutLe32(record_.bytes + LD_HANDLE, 0x00100040);
        faPutLe32(record_.bytes + LD_CONTAINER_NUM, 40);
        faPutLe32(record_.bytes + LD_UID, 0x12345678);
        faPutLe32(record_.bytes + LD_SS_ORIGINAL, 0);
        faPutLe32(record_.bytes + LD_MORPH_SOURCE, 0);
        faPutLe32(record_.bytes + LD_MORPH_DESTINATION, 0);
    }
    void set(size_t offset, uint32_t value) { faPutLe32(record_.bytes + offset, value); }
    const uint8_t* convert()
    {
        info_.reset(new FSA_CONTAINER_INFO_EXTND());
        CT_ConvertCtrInfo(ctx_, &record_, info_.get(), sizeof(FSA_CONTAINER_INFO_EXTND));
        return info_->bytes;
    }

    FSAAPI_CONTEXT* ctx_ = nullptr;
    VYNIO_LOGDEV_INFO_S record_;
    std::unique_ptr<FSA_CONTAINER_INFO_EXTND> info_;
};

TEST_F(ConvertTest, TypesByTheFirmwareTable)
{
    struct Case {
        uint32_t raidType;
        uint32_t type;
        uint32_t layout;
    };
    const Case cases[] = {{0, 22, 1}, {2, 1, 1}, {3, 2, 1}, {4, 4, 1}, {5, 5, 0}, {10, 13, 0}, {14, 26, 0},
                          {18, 45, 1}, {19, 50, 0}, {20, 55, 1}, {21, 22, 1}, {1000, 22, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raidType);
        set(LD_RAID_TYPE, c.raidType);
        const uint8_t* info = convert();
        EXPECT_EQ(word(info, CI_TYPE), c.type);
        EXPECT_EQ(word(info, CI_BASE_TYPE), c.type);
        EXPECT_EQ(word(info, CI_LAYOUT), c.layout);
    }
    EXPECT_EQ(CT_ConvertVynIoLogDevType(21), 22u);
    EXPECT_EQ(CT_ConvertVynIoLogDevType(6), 22u);
    EXPECT_EQ(CT_ConvertVynIoLogDevType(14), 50u);
}

TEST_F(ConvertTest, AMorphingDeviceShowsType16OverItsRealType)
{
    set(LD_RAID_TYPE, 4);
    set(LD_TASK_TYPE, 3);
    const uint8_t* info = convert();
    EXPECT_EQ(word(info, CI_TYPE), 16u);
    EXPECT_EQ(word(info, CI_BASE_TYPE), 4u);
    EXPECT_EQ(word(info, CI_TASK_RELATION), 1u);
    EXPECT_EQ(word(info, CI_RELATED), 40u);
    EXPECT_EQ(word(info, CI_RELATED + 4), 0x12345678u);
    EXPECT_EQ(word(info, CI_RELATED + 8), ctx_->adapterIdentityWord);
    EXPECT_EQ(word(info, CI_FURTHER_2 + 8), ctx_->adapterIdentityWord);
    EXPECT_EQ(word(info, CI_TASK_PRESENT), 1u);
}

TEST_F(ConvertTest, NameDatesFlagsAndAttributes)
{
    std::memcpy(record_.bytes + LD_NAME, "ABCDEFGHIJKLMNOP", 16);
    set(LD_RAID_TYPE, 3);
    set(LD_FAULT_STATE, 3);
    set(LD_NUM_BLOCKS, 1000);
    set(LD_STRIPE_SIZE, 512);
    // 7 December, 13:45:30 of 2024.
    set(LD_CREATION_DATE, 7u | 7u << 4 | 13u << 10 | 45u << 16 | 30u << 22);
    set(LD_CREATION_YEAR, 124);
    set(LD_FLAGS1, 0x400 | 0x200 | 0x4 | 0x20000);
    set(LD_TASK_STATE, 1);
    set(LD_TASK_TYPE, 8);
    set(LD_PERFORMANCE_FLAGS, 0x5);
    info_.reset(new FSA_CONTAINER_INFO_EXTND());
    faPutLe32(info_->bytes + CI_ATTRIBUTES, 0x80000000u);
    CT_ConvertCtrInfo(ctx_, &record_, info_.get(), sizeof(FSA_CONTAINER_INFO_EXTND));
    const uint8_t* info = info_->bytes;
    // All 16 characters, and no terminator: the type follows at once.
    EXPECT_EQ(std::memcmp(info + CI_NAME, "ABCDEFGHIJKLMNOP", 16), 0);
    EXPECT_EQ(word(info, CI_TYPE), 2u);
    EXPECT_EQ(word(info, CI_USAGE), 3u);
    EXPECT_EQ(word(info, CI_FAULTED), 1u);
    EXPECT_EQ(faGetLe64(info + CI_SIZE), 512000u);
    EXPECT_EQ(word(info, CI_STRIPE), 262144u);
    EXPECT_EQ(info[CI_CREATION + 0], 7);
    EXPECT_EQ(info[CI_CREATION + 1], 7);
    EXPECT_EQ(faGetLe16(info + CI_CREATION + 2), 2024);
    EXPECT_EQ(info[CI_CREATION + 4], 13);
    EXPECT_EQ(info[CI_CREATION + 5], 45);
    EXPECT_EQ(info[CI_CREATION + 6], 30);
    EXPECT_EQ(word(info, CI_FLAG_A), 1u);
    EXPECT_EQ(word(info, CI_WRITE_CACHE), 1u);
    EXPECT_EQ(word(info, CI_PERFORMANCE), 1u);
    EXPECT_EQ(word(info, CI_STATE_KIND), 1u);
    // Into the caller's bits: 0x100 (flags1 0x400), 0x4 (task 8 running),
    // 0x2 (flags1 0x200), 0x200 and 0x800 (option word 2 bit 0x400, flags1
    // 0x4), 0x1000 (performance bit 0x1).
    EXPECT_EQ(word(info, CI_ATTRIBUTES), 0x80000000u | 0x100 | 0x4 | 0x2 | 0x200 | 0x800 | 0x1000);
}

TEST_F(ConvertTest, MembersNeverPassTheEndOfTheRecord)
{
    // The mirror's own segments, under a record that claims 200 members, one
    // of them listed at index 200.
    set(LD_HANDLE, kFirstHandle);
    set(LD_CONTAINER_NUM, 0);
    set(LD_RAID_TYPE, 3);
    set(LD_FAULT_STATE, 3);
    set(LD_NUM_CHILDREN, 200);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 249", "poke = 82:2=200"}));
    std::vector<uint8_t> exact(FSA_CONTAINER_INFO_EXTND_MAX, 0);
    CT_ConvertCtrInfo(ctx_, &record_, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(exact.data()),
                      static_cast<uint32_t>(exact.size()));
    EXPECT_EQ(sent(249), 1u);
    EXPECT_EQ(word(exact.data(), CI_MEMBER_COUNT), 200u);
    const uint8_t* first = exact.data() + CI_MEMBERS;
    EXPECT_EQ(word(first, 0), 3u);
    EXPECT_EQ(first[4], 0);  // bus
    EXPECT_EQ(first[5], 0);  // target
    EXPECT_EQ(faGetLe64(first + FSA_PARTITION_OFFSET), 128u * 512);
    // The second segment named index 200: no element took it.
    const uint8_t* second = first + sizeof(FSA_PARTITION);
    EXPECT_EQ(word(second, 0), 0xFFFFFFFFu);
    // The last element the record holds ends with the record.
    ASSERT_EQ(FsaMemberCapacity(FSA_CONTAINER_INFO_EXTND_MAX, CI_MEMBERS), 129u);
    EXPECT_EQ(word(exact.data() + CI_MEMBERS + 128 * sizeof(FSA_PARTITION), 0), 0xFFFFFFFFu);
}

TEST_F(ConvertTest, ASegmentCountBeyondTheListIsNotRead)
{
    set(LD_HANDLE, kFirstHandle);
    set(LD_CONTAINER_NUM, 0);
    set(LD_RAID_TYPE, 3);
    set(LD_FAULT_STATE, 3);
    set(LD_NUM_CHILDREN, 2);
    // The list's count word claims 1000 segments.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 249", "poke = 36:4=1000"}));
    const uint8_t* info = convert();
    EXPECT_EQ(info[CI_MEMBERS + 5], 0);
    EXPECT_EQ(info[CI_MEMBERS + sizeof(FSA_PARTITION) + 5], 1);
    EXPECT_EQ(word(info, CI_MEMBERS + 2 * sizeof(FSA_PARTITION)), 0u);
}

TEST_F(ContainerListTest, ContainerCountAndLimits)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint32_t accessible = 0;
    uint32_t partitions = 0;
    EXPECT_EQ(CT_GetContainerCount(ctx, &accessible, &partitions), 64u);
    EXPECT_EQ(accessible, 32u);
    EXPECT_EQ(partitions, 256u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 4", "transport = 1"}));
    FSA_STATUS thrown = FSA_STS_SUCCESS;
    try {
        CT_GetContainerCount(ctx, nullptr, nullptr);
    } catch (FSA_STATUS s) {
        thrown = s;
    }
    EXPECT_EQ(thrown, FSA_STS_CT_BAD_STATUS);
}

TEST_F(ContainerListTest, LegacyContainerRecords)
{
    struct Case {
        const char* extra;
        uint32_t number;
        int exists;
        uint32_t status;  // the firmware container type
        uint32_t members;
        uint32_t firstPartition;
        unsigned sent5;
    };
    const char* older = "container_record = 708\n";
    // Without option word 2 bit 0x10 the library falls back to CT 5.
    const char* olderFallingBack = "container_record = 708\noption_word2 = 0x0EB797CC\n";
    const Case cases[] = {
        {"", 0, 1, 2, 2, 1, 0},
        {"", 2, 1, 3, 2, 3, 0},
        {"", 1, 0, 0, 0, 0, 0},
        {olderFallingBack, 2, 1, 3, 2, 3, 1},
        {older, 2, 0, 0xEE, 0xEEEEEEEE, 0xEEEEEEEE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extra) + std::to_string(c.number));
        FSAAPI_CONTEXT* ctx = open(c.extra);
        ASSERT_NE(ctx, nullptr);
        std::vector<uint8_t> record(1152, 0xEE);
        uint32_t status = 0xEE;
        EXPECT_EQ(CT_GetContainer(ctx, c.number, record.data(), &status), c.exists);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(word(record.data(), 0), c.members);
        EXPECT_EQ(word(record.data(), 20), c.firstPartition);
        EXPECT_EQ(sent(178), 1u);
        EXPECT_EQ(sent(5), c.sent5);
        if (c.sent5 == 0)
            continue;
        // The short record widened: its word 2 went to word 3, nothing
        // reaches the words between or the end.
        EXPECT_EQ(word(record.data(), 8), 0u);
        EXPECT_EQ(word(record.data(), 24), 4u);
        EXPECT_EQ(word(record.data(), 1148), 0u);
        // Status 6 names a container even with an empty record.
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 5", "status = 6"}));
        EXPECT_EQ(CT_GetContainer(ctx, 1, record.data(), &status), 1);
        EXPECT_EQ(status, 6u);
    }
}

TEST_F(ContainerListTest, SnapshotsTakeTheTypeOfWhatTheyStandOn)
{
    // Two snapshots standing on each other; a snapshot over a snapshot of a
    // container that does not exist; one over a snapshot of a RAID-5EE.
    FSAAPI_CONTEXT* ctx = open("drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\nld3 = raid5ee 0:4,0:5,0:6\n"
                               "ld4 = snapshot 5\nld5 = snapshot 4\nld6 = snapshot 7\nld7 = snapshot 9\n"
                               "ld8 = snapshot 10\nld10 = snapshot 3\n");
    ASSERT_NE(ctx, nullptr);
    struct Case {
        uint32_t number;
        uint32_t extended;
        unsigned reads;
    };
    // A loop ends after four levels of snapshots.
    for (const Case& c : {Case{4, 6, 4}, Case{6, 6, 2}, Case{8, 34, 2}}) {
        SCOPED_TRACE(c.number);
        std::vector<uint8_t> record(1152, 0);
        uint32_t status = 0;
        ASSERT_EQ(CT_GetContainer(ctx, c.number, record.data(), &status), 1);
        ASSERT_EQ(status, 5u);
        sim().clearRequests();
        EXPECT_EQ(GetExtendedType(ctx, c.number, status, record.data()), c.extended);
        EXPECT_EQ(sent(178), c.reads);
    }
}

TEST_F(ContainerListTest, TwoLevelContainersTakeTheirTypeFromTheLegs)
{
    std::string drives;
    for (unsigned d = 5; d < 13; ++d)
        drives += "drive" + std::to_string(d) + " = 0:" + std::to_string(d) + " sas 146G\n";
    struct Case {
        const char* level;
        const char* members;
        uint32_t extended;
        const char* fault;
        uint32_t asType;  // the top's type as the caller passes it; 0: as read
    };
    // The third read is the second leg's: poked, it reports another type.
    const char* otherLeg = "[adapter0.fault0]\non = ct 178\npoke = 16:4=4\nskip = 2\n";
    // Every read after the top's reports a stripe: a volume over stripes.
    const char* stripeLegs = "[adapter0.fault0]\non = ct 178\npoke = 16:4=3\nskip = 1\ntimes = 8\n";
    const Case cases[] = {
        {"raid10", "0:4,0:5,0:6,0:7", 13, "", 0},
        {"raid50", "0:4,0:5,0:6,0:7,0:8,0:9", 26, "", 0},
        {"raid60", "0:4,0:5,0:6,0:7,0:8,0:9,0:10,0:11", 50, "", 0},
        {"raid10", "0:4,0:5,0:6,0:7", 22, otherLeg, 0},
        {"raid10", "0:4,0:5,0:6,0:7", 17, stripeLegs, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.level) + c.fault);
        FSAAPI_CONTEXT* ctx = open(drives + "ld4 = " + c.level + " " + c.members + "\n" + c.fault);
        ASSERT_NE(ctx, nullptr);
        std::vector<uint8_t> record(1152, 0);
        uint32_t status = 0;
        ASSERT_EQ(CT_GetContainer(ctx, 4, record.data(), &status), 1);
        EXPECT_EQ(GetExtendedType(ctx, 4, c.asType != 0 ? c.asType : status, record.data()), c.extended);
    }
}

}  // namespace
