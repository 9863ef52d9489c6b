// Logical drives created in one request, as the controller receives it: the
// members each type needs, the partitions it reserves, the header and member
// records, the usable size, the refusals before anything is sent, the host's
// view afterwards; committing, re-reading the partition cache, forcing a
// container online and its power-management timers.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::Fault;

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kSliceStart = 128 * 512;

// Ten drives of 146G on bus 0, nothing configured.
class LogicalDriveCreationTest : public vyntest::OpenSessionTest {
protected:
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        std::string drives;
        for (int i = 0; i < 10; ++i)
            drives += "adapter0.drive" + std::to_string(i) + " = 0:" + std::to_string(i) + " sas 146G\n";
        handle_ = start(drives + extra);
        if (handle_ == nullptr)
            return nullptr;
        sim().setSleepScale(0);
        FSAAPI_CONTEXT* ctx = context(handle_);
        // Sizes below are chosen for the arithmetic, not for a smallest container.
        ctx->minContainerBytes = 0;
        return ctx;
    }
    // n extents of `blocks` blocks at the start of drives 0:0 and up.
    static std::vector<FSA_STORAGE_DEVICE_SPACE> spaces(uint32_t n, uint64_t blocks = 2048 * 1000)
    {
        std::vector<FSA_STORAGE_DEVICE_SPACE> out(n);
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = {};
            out[i].device.targetId = static_cast<uint8_t>(i);
            out[i].start = kSliceStart;
            out[i].length = blocks * 512;
        }
        return out;
    }
    // The last logical-drive request the controller received (short ones
    // travel padded to 432 bytes); empty when none.
    std::vector<uint8_t> lastRequest()
    {
        std::vector<uint8_t> out;
        for (const auto& k : sim().controller(0).captured)
            if (k.code == 237)
                out = k.input;
        return out;
    }
    unsigned requestsOf237() { return sent(500, 237); }
    // Puts {p, d} for n drives in the first RAID-6 layout table.
    static void layout(FSAAPI_CONTEXT* ctx, uint32_t n, uint8_t p, uint16_t d)
    {
        uint8_t* entry = ctx->raid6Options + RAID6_OPT_TABLE + 4 * n;
        entry[1] = p;
        faPutLe16(entry + 2, d);
        faPutLe32(ctx->raid6Options + RAID6_OPT_FLAGS, 0);
    }
    FSA_STATUS create(uint32_t type, uint32_t legs, const std::vector<FSA_STORAGE_DEVICE_SPACE>& s,
                      uint32_t chunk = 0, const uint32_t* options = nullptr, uint32_t init = 0, uint32_t priority = 0,
                      uint32_t extra = 0, tag_FSA_CONTAINER* out = nullptr)
    {
        tag_FSA_CONTAINER local = {};
        return FsaCreateLogicalDrive(handle_, out != nullptr ? out : &local, type, "Name0123456789AB", legs,
                                     static_cast<uint32_t>(s.size()), s.data(), chunk, options, init, priority,
                                     extra);
    }
    void* handle_ = nullptr;
};

TEST_F(LogicalDriveCreationTest, MembersEachTypeNeeds)
{
    struct Row {
        uint32_t type;
        uint32_t legs;
        uint32_t n;
        FSA_STATUS status;
    };
    const Row rows[] = {
        {4, 0, 3, 90},  {4, 0, 4, 1},  {2, 0, 1, 90}, {6, 0, 4, 90}, {8, 2, 5, 90}, {10, 2, 7, 90},
        {13, 0, 3, 90}, {12, 2, 7, 90}, {9, 0, 3, 90},
        // two-level RAID-6 without legs has no split of its members
        {12, 0, 8, 7}, {14, 0, 8, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << " with " << row.n);
        FSAAPI_CONTEXT* ctx = open();
        ASSERT_NE(ctx, nullptr);
        layout(ctx, 4, 2, 2);
        const FSA_STATUS status = create(row.type, row.legs, spaces(row.n));
        if (row.status == 1) {
            EXPECT_EQ(requestsOf237(), 1u);
        } else {
            EXPECT_EQ(status, row.status);
            EXPECT_EQ(requestsOf237(), 0u);
        }
    }
}

TEST_F(LogicalDriveCreationTest, PartitionsEachTypeReserves)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // The partitions already counted against the limit.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 4", "poke = 16:4=1000", 0, 0}));
    uint32_t room = 0;
    while (thrownBy([&] { CT_CheckMaxNumberOfPartitions(ctx, room + 1); }) == 1 && room < 1000)
        ++room;
    const uint32_t counted = 1000 - room;

    struct Row {
        uint32_t type;
        uint32_t legs;
        uint32_t n;
        uint32_t reserved;
    };
    const Row rows[] = {{2, 0, 2, 2}, {8, 2, 6, 9}, {4, 0, 4, 5}, {1, 0, 2, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << " with " << row.n);
        for (uint32_t limit : {counted + row.reserved - 1, counted + row.reserved}) {
            ctx = open("adapter0.fault0.on = ct 4\nadapter0.fault0.poke = 16:4=" + std::to_string(limit) +
                       "\nadapter0.fault0.times = 0\n");
            ASSERT_NE(ctx, nullptr);
            const FSA_STATUS status = create(row.type, row.legs, spaces(row.n));
            if (limit < counted + row.reserved)
                EXPECT_EQ(status, 528u);
            else
                EXPECT_EQ(requestsOf237(), 1u);
        }
    }
}

TEST_F(LogicalDriveCreationTest, HeaderAndMemberRecords)
{
    FSAAPI_CONTEXT* ctx = open("adapter0.drive10 = 0:5:2 sas 146G\n");
    ASSERT_NE(ctx, nullptr);
    std::vector<FSA_STORAGE_DEVICE_SPACE> s = spaces(3);
    s[2].device.busNumber = 0;
    s[2].device.lun = 0;
    const uint32_t options[4] = {0, 2, 0, 1};
    ASSERT_EQ(create(7, 1, s, 65536, options, 9, 5, 3), FSA_STS_SUCCESS);
    std::vector<uint8_t> r = lastRequest();
    ASSERT_GE(r.size(), 128u + 3 * 12);
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 0);  // init 9 goes as 0
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 2);  // word 1 bit 1
    EXPECT_EQ(r[8], 7);
    EXPECT_EQ(faGetLe16(r.data() + 10), 2);  // priority 5
    EXPECT_EQ(faGetLe32(r.data() + 12), 0u);
    EXPECT_EQ(faGetLe16(r.data() + 26), 128);  // 65536 bytes
    EXPECT_EQ(faGetLe16(r.data() + 28), 0);    // one leg goes as none
    EXPECT_EQ(faGetLe16(r.data() + 30), 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 40), 16), "Name0123456789AB");
    // Without option word 3 bit 15 the write-cache bytes stay 0.
    EXPECT_EQ(r[56], 0);
    EXPECT_EQ(r[57], 0);
    EXPECT_EQ(r[58], 0);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(faGetLe32(r.data() + 64 + 12 * i), i);
        EXPECT_EQ(faGetLe64(r.data() + 68 + 12 * i), 128u);
    }

    // A mirror carries each member's length; the LUN sits in the handle.
    FsaOptionWord3(ctx) |= 1u << 15;
    s = spaces(2, 4096);
    s[0].device.targetId = 3;
    s[1].device.lun = 2;
    s[1].device.targetId = 5;
    const uint32_t cache[4] = {1, 1, 0, 1};
    ASSERT_EQ(create(1, 0, s, 0, cache, 1, 1, 3), FSA_STS_SUCCESS);
    r = lastRequest();
    ASSERT_GE(r.size(), 128u + 2 * 20);
    EXPECT_EQ(r[1], 1);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(r[3], 1);
    EXPECT_EQ(faGetLe16(r.data() + 10), 1);
    EXPECT_EQ(r[57], 1);
    EXPECT_EQ(r[58], 3);
    EXPECT_EQ(faGetLe32(r.data() + 84), 0x00020005u);
    EXPECT_EQ(faGetLe64(r.data() + 88), 128u);
    EXPECT_EQ(faGetLe64(r.data() + 96), 4096u);
    // An extra value beyond 4 goes as 0.
    s = spaces(2, 4096);
    s[0].device.targetId = 4;
    s[1].device.targetId = 5;
    create(1, 0, s, 0, cache, 0, 0, 5);
    EXPECT_EQ(lastRequest()[58], 0);

    // Read cache preferring the SSD pool on a controller whose pool takes
    // writes (dynamic property 24, as the refreshed information reports it):
    // the third option byte says so.
    const uint32_t pool[4] = {1, 0, 1, 0};
    s[0].device.targetId = 6;
    s[1].device.targetId = 7;
    create(1, 0, s, 0, pool);
    r = lastRequest();
    ASSERT_NE(faGetLe32(ctx->generalInfo.bytes + GI_FURTHER_FLAGS) & 0x100, 0u);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(r[56], 1);

    // A shorter name is sent with zeros after it, and nothing past its end
    // is read.
    s[0].device.targetId = 8;
    s[1].device.targetId = 9;
    tag_FSA_CONTAINER out = {};
    ASSERT_EQ(FsaCreateLogicalDrive(handle_, &out, 2, "Short", 0, 2, s.data(), 0, nullptr, 0, 0, 0), FSA_STS_SUCCESS);
    r = lastRequest();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 40), 16), std::string("Short") + std::string(11, '\0'));
}

TEST_F(LogicalDriveCreationTest, UsableSizeOfEachType)
{
    struct Row {
        uint32_t type;
        uint32_t legs;
        uint32_t n;
        uint64_t blocks;
        uint8_t code;
        unsigned record;
        uint64_t usable;
    };
    const Row rows[] = {
        {3, 0, 2, 2000000, 3, 12, 2000000},
        {9, 0, 4, 1024, 9, 12, 2048},
        {7, 1, 3, 1024, 7, 12, 2048},
        {8, 2, 6, 1024, 8, 12, 6 * 1024 - 2 * 1024},
        {2, 0, 3, 1024, 2, 12, 3072},
        {15, 0, 3, 1024, 0, 12, 3072},  // beyond the codes: code 0, the plain sum
        {11, 0, 4, 2048 * 1000, 11, 12, 4096000},
        // two legs of four: the size of a four-drive set, twice
        {12, 2, 8, 2048 * 1000, 12, 12, 2 * 4096000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type);
        FSAAPI_CONTEXT* ctx = open();
        ASSERT_NE(ctx, nullptr);
        layout(ctx, 4, 2, 2);
        create(row.type, row.legs, spaces(row.n, row.blocks));
        const std::vector<uint8_t> r = lastRequest();
        ASSERT_EQ(requestsOf237(), 1u);
        ASSERT_GE(r.size(), 128u + row.n * row.record);
        EXPECT_EQ(r[8], row.code);
        // The records follow one another at their own size.
        EXPECT_EQ(faGetLe32(r.data() + 64 + row.record), 1u);
        EXPECT_EQ(faGetLe64(r.data() + 32), row.usable);
    }
    // A RAID-6 layout the table lacks ends the call with its status.
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    layout(ctx, 4, 2, 2);
    layout(ctx, 5, 0, 0);
    EXPECT_EQ(create(11, 0, spaces(5)), 6u);
    EXPECT_EQ(requestsOf237(), 0u);
}

TEST_F(LogicalDriveCreationTest, RefusalsBeforeTheRequest)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // An initialisation code of 16 is refused once the checks have asked
    // the controller what they need.
    EXPECT_EQ(create(2, 0, spaces(2), 0, nullptr, 16), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(requestsOf237(), 0u);
    EXPECT_GT(sent(500, 4), 0u);
    EXPECT_GT(sent(500, 153), 0u);

    // More members than the controller takes.
    faPutLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS, 2);
    sim().clearRequests();
    EXPECT_EQ(create(2, 0, spaces(3)), 24u);
    EXPECT_TRUE(sim().requests().empty());

    // A request one container command cannot carry: 93 mirror records are
    // 1988 bytes, 153 others 1964.
    faPutLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS, 400);
    std::vector<FSA_STORAGE_DEVICE_SPACE> many = spaces(160, 2048);
    for (uint32_t i = 0; i < many.size(); ++i) {
        many[i].device.targetId = static_cast<uint8_t>(i % 10);
        many[i].start = kSliceStart + (i / 10) * 2048 * 512;
    }
    sim().clearRequests();
    EXPECT_EQ(create(1, 0, std::vector<FSA_STORAGE_DEVICE_SPACE>(many.begin(), many.begin() + 93)), 24u);
    EXPECT_EQ(create(2, 0, std::vector<FSA_STORAGE_DEVICE_SPACE>(many.begin(), many.begin() + 154)), 24u);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_NE(create(2, 0, std::vector<FSA_STORAGE_DEVICE_SPACE>(many.begin(), many.begin() + 153)), 24u);

    // A session that cannot write is refused at the gate.
    void* readOnly = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(readOnly, nullptr);
    tag_FSA_CONTAINER out = {};
    const std::vector<FSA_STORAGE_DEVICE_SPACE> two = spaces(2);
    EXPECT_EQ(FsaCreateLogicalDrive(readOnly, &out, 2, "x", 0, 2, two.data(), 0, nullptr, 0, 0, 0), 122u);
}

TEST_F(LogicalDriveCreationTest, TheNewDriveIsExposedAndTheCacheRebuilt)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    tag_FSA_CONTAINER out = {};
    ASSERT_EQ(create(2, 0, spaces(2), 0, nullptr, 0, 0, 0, &out), FSA_STS_SUCCESS);
    EXPECT_EQ(out.number, 0u);
    EXPECT_EQ(out.adapterWord, ctx->adapterIdentityWord);
    ASSERT_NE(ctx->partitionCache, nullptr);
    EXPECT_EQ(ctx->partitionCache->valid, 0u);
    EXPECT_EQ(sim().controller(0).objects.count("ld0"), 1u);
    uint32_t usage = 0;
    ASSERT_EQ(FsaGetContainerUsage(handle_, &out, &usage), FSA_STS_SUCCESS);
    EXPECT_EQ(usage, 12u);  // exposed to the host

    // A refused creation (the number already taken) is still exposed and
    // named in `out`.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 237", "status = 2"}));
    tag_FSA_CONTAINER refused = {};
    std::vector<FSA_STORAGE_DEVICE_SPACE> s = spaces(2);
    s[0].device.targetId = 2;
    s[1].device.targetId = 3;
    EXPECT_EQ(create(2, 0, s, 0, nullptr, 0, 0, 0, &refused), 522u);
    EXPECT_EQ(refused.number, 1u);
    EXPECT_EQ(refused.adapterWord, ctx->adapterIdentityWord);
}

// One session creates, deletes and creates again on the same number: each
// operation finds the container the one before it left, and the host sees
// every new drive, however many came and went before it.
TEST_F(LogicalDriveCreationTest, ASessionDeletesWhatItCreatedAndCreatesAgain)
{
    ASSERT_NE(open(), nullptr);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        tag_FSA_CONTAINER out = {};
        ASSERT_EQ(create(2, 0, spaces(2), 0, nullptr, 0, 0, 0, &out), FSA_STS_SUCCESS);
        EXPECT_EQ(out.number, 0u);
        uint32_t usage = 0;
        ASSERT_EQ(FsaGetContainerUsage(handle_, &out, &usage), FSA_STS_SUCCESS);
        EXPECT_EQ(usage, 12u);  // exposed to the host
        ASSERT_EQ(FsaContainer(handle_, &out, 13, nullptr), FSA_STS_SUCCESS);
        EXPECT_EQ(sim().controller(0).objects.count("ld0"), 0u);
    }
}

TEST_F(LogicalDriveCreationTest, CommitAndCacheUpdate)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(FsaCommitDriveConfiguration(handle_), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 152), 1u);
    EXPECT_EQ(FsaForcePartitionCacheUpdate(handle_), FSA_STS_SUCCESS);
    ASSERT_NE(ctx->partitionCache, nullptr);
    EXPECT_NE(ctx->partitionCache->valid, 0u);
    // Only the commit needs a writing session.
    void* readOnly = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(FsaCommitDriveConfiguration(readOnly), 122u);
    EXPECT_EQ(FsaForcePartitionCacheUpdate(readOnly), FSA_STS_SUCCESS);
}

TEST_F(LogicalDriveCreationTest, ForceOnlineStatuses)
{
    FSAAPI_CONTEXT* ctx = open("adapter0.ld0 = raid5 0:0,0:1,0:2 state=failed\n");
    ASSERT_NE(ctx, nullptr);
    tag_FSA_CONTAINER c = {};
    CT_GetStandardID(ctx, &c, 0);
    c.uniqueId = 0x5A000000;  // the simulator's first unique id
    // No mode: nothing goes to the controller.
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 0, 0), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(sent(500, 224), 0u);

    // The failed container comes back; the lists read before that are stale
    // for the next request until they are read again.
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0x3), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).containerSettings[0].forceOnlineFlags, 0x3u);
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0), 613u);
    EXPECT_EQ(vyntest::thrownBy([&] { CT_GetContainerList(ctx, 1); }), FSA_STS_SUCCESS);
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0), 616u);

    struct Row {
        uint32_t firmware;
        FSA_STATUS status;
    };
    const Row rows[] = {{287, 1},   {393, 11},  {390, 613}, {391, 612}, {392, 614}, {394, 618},
                        {395, 616}, {396, 615}, {397, 617}, {0, 6},     {218, 6}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.firmware);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 224", "status = " + std::to_string(row.firmware)}));
        EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0), row.status);
    }
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 224", "transport = 3"}));
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0), 37u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 224", "echo = 225"}));
    EXPECT_EQ(FsaContainerForceOnline(handle_, &c, 1, 0), 38u);
}

TEST_F(LogicalDriveCreationTest, PowerManagementRecord)
{
    // Option word 3 bit 2: the controller manages power per container.
    FSAAPI_CONTEXT* ctx = open("adapter0.option_word3 = 0x39C\nadapter0.ld0 = raid1 0:0,0:1\n");
    ASSERT_NE(ctx, nullptr);
    tag_FSA_CONTAINER c = {};
    CT_GetStandardID(ctx, &c, 0);
    const FSA_STATUS status = FsaContainerSetPowerManagement(handle_, &c, 7, 10, 20, 30);
    const std::vector<uint8_t>& record = sim().controller(0).pmRecords[0];
    if (status == FSA_STS_SUCCESS) {
        ASSERT_GE(record.size(), 20u);
        EXPECT_EQ(faGetLe32(record.data()), 1u);
        EXPECT_EQ(faGetLe32(record.data() + 4), 1u);
        EXPECT_EQ(faGetLe32(record.data() + 8), 10u);
        EXPECT_EQ(faGetLe32(record.data() + 12), 20u);
        EXPECT_EQ(faGetLe32(record.data() + 16), 30u);
    } else {
        ADD_FAILURE() << "power management refused with " << status;
    }
}

}  // namespace
