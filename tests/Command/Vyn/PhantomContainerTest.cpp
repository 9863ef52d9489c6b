// Phantom containers and the unique ids recorded in partitions, over
// partition records the simulator writes and faults shape.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "PartitionTest.h"
#include "platform/hostsim/fw/DriveMetadata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kSerial0 = 0x30315356;
constexpr uint32_t kUid = 0x5A000000;  // the simulator's unique id of container 0
constexpr uint64_t k1G = 2097152;      // blocks
constexpr uint32_t kNone = 0xFFFFFFFFu;

// A mirror (container 2) on 0:0 and 0:1; two more drives for other containers.
const std::string kDrives = "adapter0.drive0 = 0:0 sas 146G\n"
                            "adapter0.drive2 = 0:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n";
const std::string kMirror = kDrives + "adapter0.drive1 = 0:1 sas 146G\nadapter0.ld2 = raid1 0:0,0:1 size=1G\n";
// The same mirror whose second drive went away.
const std::string kMirrorMissing =
    kDrives + "adapter0.drive1 = 0:1 sas 146G state=missing\nadapter0.ld2 = raid1 0:0,0:1 size=1G\n";

// One field of a partition-table entry as a fault sets it, for every read.
struct Field {
    unsigned index;
    const char* poke;
};

class PhantomContainerTest : public vyntest::PartitionTest {
protected:
    FSAAPI_CONTEXT* begin(const std::string& description, const std::vector<Field>& fields = {})
    {
        FSAAPI_CONTEXT* ctx = PartitionTest::begin(description);
        for (const Field& f : fields)
            EXPECT_TRUE(sim().addFault(0, Fault{"partition " + std::to_string(f.index), f.poke, 0, 0})) << f.poke;
        return ctx;
    }
    // A phantom record of `size` bytes with guard bytes after it; the status
    // thrown, or 1 with the routine's answer in *found.
    FSA_STATUS phantom(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t size = 1024, int* found = nullptr)
    {
        record_.assign(size + kGuard, kGuardByte);
        size_ = size;
        int answer = -1;
        const FSA_STATUS status = thrownBy([&] {
            auto* info = reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(record_.data());
            answer = CT_GetPhantomContainer2(ctx, container, info, size);
        });
        if (found != nullptr)
            *found = answer;
        return status;
    }
    const uint8_t* out() const { return record_.data(); }
    uint32_t word(size_t at) const { return faGetLe32(record_.data() + at); }
    uint64_t size() const { return faGetLe64(record_.data() + CI_SIZE); }
    const uint8_t* member(unsigned i) const { return record_.data() + CI_MEMBERS + 28 * i; }
    bool guardIntact() const
    {
        for (size_t i = size_; i < record_.size(); ++i)
            if (record_[i] != kGuardByte)
                return false;
        return true;
    }
    // The cached partition of a table index, as a record.
    Partition cached(FSAAPI_CONTEXT* ctx, uint32_t index)
    {
        Partition p = {};
        EXPECT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
        const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
        for (uint32_t i = 0; i < cache->count; ++i)
            if (faGetLe32(cache->elements[i].bytes + PART_TABLE_INDEX) == index &&
                faGetLe32(cache->elements[i].bytes + PCE_KIND) != PCE_FREE)
                std::memcpy(p.bytes, cache->elements[i].bytes, sizeof p.bytes);
        return p;
    }

private:
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kGuardByte = 0xA5;
    std::vector<uint8_t> record_;
    size_t size_ = 0;
};

TEST_F(PhantomContainerTest, UniqueIdOfAContainerThroughItsPartitions)
{
    struct Case {
        const char* what;
        uint32_t container;
        std::vector<Field> fields;
        uint32_t uid;  // the simulator answers the first (mode 0), second (1) or related (2) container
    };
    const Case cases[] = {
        {"first owner", 2, {}, kUid + 2},
        {"second owner", 3, {{1, "poke = 68:4=3"}, {1, "poke = 72:2=3"}}, kUid + 3},
        // The snapshot pair names container 5 with its slot the first owner:
        // the related container (byte 79) answers.
        {"snapshot pair", 5, {{1, "poke = 54:1=5"}, {1, "poke = 55:1=6"}, {1, "poke = 58:1=2"}, {1, "poke = 79:1=3"}},
         kUid + 3},
        {"snapshot pair, slot of another", 5, {{1, "poke = 54:1=5"}, {1, "poke = 55:1=6"}, {1, "poke = 58:1=9"}}, 0},
        {"morph", 3, {{1, "poke = 79:1=3"}, {1, "poke = 90:1=1"}}, kUid + 3},
        // Container 3's own partition differs in its member bytes too.
        {"morph slots alike", 3, {{1, "poke = 79:1=3"}, {3, "poke = 58:1=1"}}, 0},
        {"no partition", 9, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSAAPI_CONTEXT* ctx = begin(kMirror + "adapter0.ld3 = volume 0:2 size=1G\n", c.fields);
        ASSERT_NE(ctx, nullptr);
        // Matched by slice: container 3's own partition lies on another slice.
        const Partition p = cached(ctx, 1);
        uint32_t uid = 7;
        CT_FindUidForCtrWithPartition(ctx, c.container, &p, &uid, 1);
        EXPECT_EQ(uid, c.uid);
    }
}

TEST_F(PhantomContainerTest, UniqueIdSearchRetriesByMemberBytes)
{
    FSAAPI_CONTEXT* ctx = begin(kMirror);
    ASSERT_NE(ctx, nullptr);
    Partition p = cached(ctx, 1);
    faPutLe32(p.bytes + PART_SLICE, 77);  // no partition on that slice
    sim().clearRequests();
    uint32_t uid = 0;
    CT_FindUidForCtrWithPartition(ctx, 2, &p, &uid, 1);
    EXPECT_EQ(uid, kUid + 2);
    EXPECT_EQ(sent(500, 167), 1u);

    // Neither the slice nor the member bytes match: nothing is asked.
    p.bytes[58] = 4;
    sim().clearRequests();
    CT_FindUidForCtrWithPartition(ctx, 2, &p, &uid, 1);
    EXPECT_EQ(uid, 0u);
    EXPECT_EQ(sent(500, 167), 0u);
    // Without slice matching there is no second search.
    faPutLe32(p.bytes + PART_SLICE, faGetLe32(cached(ctx, 1).bytes + PART_SLICE));
    CT_FindUidForCtrWithPartition(ctx, 2, &p, &uid, 0);
    EXPECT_EQ(uid, 0u);
}

TEST_F(PhantomContainerTest, MirrorWithAMissingDrive)
{
    // The PPI table lists the mirror's members under its unique id: the
    // container's entry, then one entry per member.
    auto ppi = [](uint32_t secondHandle, size_t entries) {
        std::vector<std::vector<uint8_t>> table = {ppiEntry(kSerial0, kUid + 2, 0xFFFF, 1, 1),
                                                   ppiEntry(kSerial0, kUid + 2, 0, 1, 1),
                                                   ppiEntry(kSerial0, kUid + 2, secondHandle, 1, 0x81)};
        table.resize(entries);
        return table;
    };
    struct Case {
        const char* what;
        bool loaded;  // the open read the table
        std::vector<std::vector<uint8_t>> table;
        uint32_t memberLimit;  // 0: the controller's
        uint8_t bus, target, lun;
    };
    const Case cases[] = {
        {"cookie of the member", true, ppi(1, 3), 0, 0, 1, 0},
        {"no table loaded", false, ppi(1, 3), 0, 0xFF, 0xFF, 0xFF},
        {"no cookie in the entry", true, ppi(0xFFFF, 3), 0, 0xFF, 0xFF, 0xFF},
        {"the table ends before the member", true, ppi(1, 2), 0, 0xFF, 0xFF, 0xFF},
        {"the member beyond the member limit", true, ppi(1, 3), 1, 0xFF, 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A table of three generated entries, read at the open unless a fault
        // refuses it; the scripted one replaces it at a new age.
        std::string description = kMirrorMissing + "adapter0.ppi_entries = 3\n";
        if (!c.loaded)
            description += "adapter0.fault0.on = ct 195\nadapter0.fault0.status = 0\nadapter0.fault0.times = 0\n";
        FSAAPI_CONTEXT* ctx = begin(description);
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->ppiValid != 0, c.loaded);
        if (c.memberLimit != 0)
            faPutLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS, c.memberLimit);
        ControllerState& s = sim().controller(0);
        s.ppiScripted = true;
        s.ppiTable = c.table;
        ++s.ppiClears;

        int found = 0;
        ASSERT_EQ(phantom(ctx, 2, 1024, &found), FSA_STS_SUCCESS);
        EXPECT_EQ(found, 1);
        EXPECT_EQ(word(CI_NUMBER), 2u);
        EXPECT_EQ(word(CI_HANDLE), kUid + 2);
        EXPECT_EQ(word(CI_ADAPTER_WORD), kSerial0);
        EXPECT_EQ(word(CI_TYPE), 1u);  // mirror
        EXPECT_EQ(word(CI_USAGE), 3u);
        EXPECT_EQ(word(CI_LAYOUT), 1u);
        EXPECT_EQ(word(CI_STRIPE), 256u * 1024);
        EXPECT_EQ(word(CI_MEMBER_COUNT), 2u);
        EXPECT_EQ(size(), k1G * 512);
        // The drive still there.
        EXPECT_EQ(member(0)[4], 0);
        EXPECT_EQ(member(0)[5], 0);
        EXPECT_EQ(faGetLe64(member(0) + FSA_PARTITION_OFFSET), 128u * 512);
        EXPECT_EQ(faGetLe64(member(0) + FSA_PARTITION_LENGTH), k1G * 512);
        // The missing one.
        EXPECT_EQ(faGetLe32(member(1)), 1u);
        EXPECT_EQ(member(1)[4], c.bus);
        EXPECT_EQ(member(1)[5], c.target);
        EXPECT_EQ(member(1)[6], c.lun);
        EXPECT_EQ(faGetLe64(member(1) + FSA_PARTITION_OFFSET), 0u);
        EXPECT_EQ(faGetLe64(member(1) + FSA_PARTITION_LENGTH), k1G * 512);
    }
}

TEST_F(PhantomContainerTest, OwnerCodesAreTheFirmwareContainerTypes)
{
    // The simulator writes the firmware's container type into each owner
    // word; the phantom reports the library's container type.
    struct Case {
        const char* level;
        uint32_t type;
    };
    const Case cases[] = {{"volume", 3},  {"raid0", 2},  {"raid1", 1},  {"raid5", 4},
                          {"raid5ee", 34}, {"raid1e", 40}, {"raid6", 45}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        FSAAPI_CONTEXT* ctx = begin(kDrives + "adapter0.drive1 = 0:1 sas 146G\nadapter0.ld2 = " + c.level +
                                    " 0:0,0:1,0:2,0:3 size=1G\n");
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(phantom(ctx, 2), FSA_STS_SUCCESS);
        EXPECT_EQ(word(CI_TYPE), c.type);
        EXPECT_EQ(word(CI_MEMBER_COUNT), 4u);
    }
}

TEST_F(PhantomContainerTest, ContainerWithoutPartitions)
{
    FSAAPI_CONTEXT* ctx = begin(kMirror);
    ASSERT_NE(ctx, nullptr);
    int found = -1;
    ASSERT_EQ(phantom(ctx, 9, 1024, &found), FSA_STS_SUCCESS);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(word(CI_NUMBER), kNone);
    EXPECT_EQ(word(CI_USAGE), 3u);
    EXPECT_EQ(word(CI_MORPH_DESTINATION), kNone);
    EXPECT_EQ(word(CI_MEMBER_COUNT), 0u);
    EXPECT_EQ(faux_locked(ctx->partitionCache->mutex), 0);
}

TEST_F(PhantomContainerTest, OnlyTheNewestCreationFillsTheRecord)
{
    // Container 3's partitions claim container 2 as well; the simulator dates
    // both creations 1 January 2024 (date word 0x11).
    struct Case {
        const char* what;
        const char* year;
        const char* date;
        uint8_t firstTarget;
    };
    const Case cases[] = {
        {"a later year", "poke = 7:1=125", "poke = 8:4=0x11", 2},
        {"an earlier year", "poke = 7:1=123", "poke = 8:4=0x7FF", 0},
        {"the same year, a later date", "poke = 7:1=124", "poke = 8:4=0x12", 2},
        {"the same year, an earlier date", "poke = 7:1=124", "poke = 8:4=0x10", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Field> fields;
        for (unsigned index : {3u, 4u}) {
            fields.push_back({index, "poke = 52:2=2"});
            fields.push_back({index, c.year});
            fields.push_back({index, c.date});
        }
        FSAAPI_CONTEXT* ctx = begin(kMirror + "adapter0.ld3 = raid1 0:2,0:3 size=1G\n", fields);
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(phantom(ctx, 2), FSA_STS_SUCCESS);
        EXPECT_EQ(word(CI_MEMBER_COUNT), 2u);
        EXPECT_EQ(member(0)[5], c.firstTarget);
        EXPECT_EQ(member(1)[5], c.firstTarget + 1);
        EXPECT_EQ(size(), k1G * 512);
    }
}

TEST_F(PhantomContainerTest, SnapshotPartitions)
{
    struct Case {
        uint32_t container;
        uint32_t type, secondFlag, original, firstMember;
    };
    // The pair names containers 6 and 5; their slots 7 and 8.
    const Case cases[] = {{5, 6, 1, 6, 8}, {6, 5, 0, 5, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.container);
        FSAAPI_CONTEXT* ctx = begin(kDrives + "adapter0.ld2 = volume 0:0 size=1G\n",
                                    {{1, "poke = 54:1=6"}, {1, "poke = 55:1=5"}, {1, "poke = 58:1=7"},
                                     {1, "poke = 59:1=8"}, {1, "poke = 78:1=9"}});
        ASSERT_NE(ctx, nullptr);
        int found = 0;
        ASSERT_EQ(phantom(ctx, c.container, 1024, &found), FSA_STS_SUCCESS);
        EXPECT_EQ(found, 1);
        EXPECT_EQ(word(CI_TYPE), c.type);
        EXPECT_EQ(word(CI_FLAG_B), c.secondFlag);
        EXPECT_EQ(word(CI_SNAPSHOT_ORIGINAL), c.original);
        EXPECT_EQ(word(CI_SNAPSHOT_ADAPTER), kSerial0);
        EXPECT_EQ(word(CI_MEMBER_COUNT), 1u);
        EXPECT_EQ(faGetLe32(member(0)), c.firstMember);
        EXPECT_EQ(word(CI_STRIPE), 9u);
        EXPECT_EQ(size(), k1G * 512);
    }
}

TEST_F(PhantomContainerTest, ReconfigurationTarget)
{
    // Container 6 is being reconfigured into the mirror (its morph
    // destination, 2); the partition names every related container.
    FSAAPI_CONTEXT* ctx =
        begin(kMirror, {{1, "poke = 79:1=6"}, {1, "poke = 91:1=2"}, {1, "poke = 142:1=7"}, {1, "poke = 106:1=8"},
                        {1, "poke = 90:1=9"}, {1, "poke = 143:1=10"}});
    ASSERT_NE(ctx, nullptr);
    int found = 0;
    ASSERT_EQ(phantom(ctx, 6, 1024, &found), FSA_STS_SUCCESS);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(word(CI_NUMBER), 6u);
    EXPECT_EQ(word(CI_TYPE), 16u);
    EXPECT_EQ(word(CI_BASE_TYPE), 16u);
    EXPECT_EQ(out()[CI_WORD_56], 63);
    EXPECT_EQ(word(CI_TASK_RELATION), 1u);
    EXPECT_EQ(word(CI_SNAPSHOT_RELATION), kNone);
    EXPECT_EQ(word(CI_LAYOUT), 0u);
    // The size of the destination, built as a phantom of its own.
    EXPECT_EQ(size(), k1G * 512);
    // First further, destination, related, source, third further, second further.
    const uint32_t order[] = {7, 2, 6, 9, 10, 8};
    ASSERT_EQ(word(CI_MEMBER_COUNT), 6u);
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(faGetLe32(member(i)), order[i]) << i;
        EXPECT_EQ(faGetLe32(member(i) + 8), kSerial0) << i;
    }
    EXPECT_EQ(faGetLe32(member(1) + 4), kUid + 2);
}

TEST_F(PhantomContainerTest, DestinationIsBuiltOneLevelDeep)
{
    // 6 is reconfigured into 2 (partition 1), 2 into 3 (partition 3, and the
    // mirror's partition 2 names 3 as its destination). The destination is
    // built without building its own destination in turn: its size is the
    // sum of its partitions, not the size of 3.
    FSAAPI_CONTEXT* ctx = begin(kMirror + "adapter0.ld3 = raid1 0:2,0:3 size=1G\n",
                                {{1, "poke = 79:1=6"}, {1, "poke = 91:1=2"}, {2, "poke = 79:1=2"}, {2, "poke = 91:1=3"},
                                 {3, "poke = 79:1=2"}, {3, "poke = 91:1=3"}});
    ASSERT_NE(ctx, nullptr);
    int found = 0;
    ASSERT_EQ(phantom(ctx, 2, 1024, &found), FSA_STS_SUCCESS);
    ASSERT_EQ(found, 1);
    ASSERT_EQ(word(CI_TYPE), 16u);
    ASSERT_EQ(word(CI_MORPH_DESTINATION), 3u);
    ASSERT_EQ(phantom(ctx, 6, 1024, &found), FSA_STS_SUCCESS);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(word(CI_TYPE), 16u);
    EXPECT_EQ(word(CI_MORPH_DESTINATION), 2u);
    EXPECT_EQ(size(), 2 * k1G * 512);
}

TEST_F(PhantomContainerTest, MirrorStates)
{
    struct Case {
        const char* state;
        const char* partner;
        uint32_t reported, flag, partnerNumber;
    };
    const Case cases[] = {
        {"poke = 100:4=0", "poke = 104:2=0", 0, 0, kNone}, {"poke = 100:4=1", "poke = 104:2=0", 4, 0, kNone},
        {"poke = 100:4=2", "poke = 104:2=0", 1, 0, kNone}, {"poke = 100:4=3", "poke = 104:2=2", 3, 1, 2},
        {"poke = 100:4=4", "poke = 104:2=5", 2, 0, 5},     {"poke = 100:4=5", "poke = 104:2=0", 0, 0, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        // Both partitions of the mirror carry its state.
        FSAAPI_CONTEXT* ctx = begin(kMirror, {{1, c.state}, {1, c.partner}, {2, c.state}, {2, c.partner}});
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(phantom(ctx, 2), FSA_STS_SUCCESS);
        EXPECT_EQ(word(CI_MIRROR_STATE), c.reported);
        EXPECT_EQ(word(CI_MIRROR_FLAG), c.flag);
        EXPECT_EQ(word(CI_MIRROR_PARTNER), c.partnerNumber);
    }
}

TEST_F(PhantomContainerTest, StripeOfMirrors)
{
    // Container 4 is a stripe over two mirrors (its legs, 63 and 62).
    FSAAPI_CONTEXT* ctx = begin(kMirror.substr(0, kMirror.find("adapter0.ld2")) +
                                "adapter0.ld4 = raid10 0:0,0:1,0:2,0:3 size=2G\n");
    ASSERT_NE(ctx, nullptr);
    int found = 0;
    ASSERT_EQ(phantom(ctx, 4, 1024, &found), FSA_STS_SUCCESS);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(word(CI_TYPE), 2u);
    EXPECT_EQ(word(CI_BASE_TYPE), 13u);
    EXPECT_EQ(word(CI_LAYOUT), 0u);
    EXPECT_EQ(word(CI_HANDLE), kUid + 4);
    ASSERT_EQ(word(CI_MEMBER_COUNT), 2u);
    EXPECT_EQ(faGetLe32(member(0)), 63u);
    EXPECT_EQ(faGetLe32(member(1)), 62u);
    EXPECT_EQ(faGetLe64(member(0) + FSA_PARTITION_LENGTH), 0u) << "a leg is no extent";
    // The size the description names, one mirror's data per leg.
    EXPECT_EQ(size(), 2 * k1G * 512);
}

TEST_F(PhantomContainerTest, MemberCountsAndIndexesBeyondTheRecord)
{
    struct Case {
        const char* what;
        uint32_t size;
        const char* count;
        const char* index;
        FSA_STATUS status;
    };
    // A record of 580 bytes has room for one member; its capacity counts three.
    const Case cases[] = {
        {"count above the capacity", 580, "poke = 56:2=4", "poke = 60:2=0", 5},
        {"count above the capacity of a large record", 4164, "poke = 56:2=200", "poke = 60:2=0", 5},
        {"count at the capacity", 580, "poke = 56:2=3", "poke = 60:2=2", FSA_STS_SUCCESS},
        {"index beyond the capacity", 1024, "poke = 56:2=2", "poke = 60:2=500", FSA_STS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSAAPI_CONTEXT* ctx = begin(kMirrorMissing, {{1, c.count}, {1, c.index}});
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(phantom(ctx, 2, c.size), c.status);
        EXPECT_TRUE(guardIntact());
        EXPECT_EQ(faux_locked(ctx->partitionCache->mutex), 0);
    }
    // Too small for the fixed part: nothing is written.
    FSAAPI_CONTEXT* ctx = begin(kMirror);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(phantom(ctx, 2, 552), 5u);
    EXPECT_EQ(out()[0], 0xA5);
}

TEST_F(PhantomContainerTest, FirstOwnerVoidedByItsSnapshotRelation)
{
    // The mirror's partition relates it to a snapshot pair whose container
    // (3) has partitions of its own: the phantom is void.
    FSAAPI_CONTEXT* ctx = begin(kMirror + "adapter0.ld3 = volume 0:2 size=1G\n",
                                {{1, "poke = 54:1=3"}, {1, "poke = 55:1=4"}});
    ASSERT_NE(ctx, nullptr);
    int found = -1;
    ASSERT_EQ(phantom(ctx, 2, 1024, &found), FSA_STS_SUCCESS);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(word(CI_NUMBER), 0u);
    EXPECT_EQ(word(CI_TYPE), 0u);
}

}  // namespace
