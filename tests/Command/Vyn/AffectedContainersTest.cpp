// The containers that die with given drives and those that only lose members,
// the unique id of any container number, and the controller's alarm
// commands, over the simulator.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "PartitionTest.h"
#include "platform/hostsim/fw/Configuration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kSerial0 = 0x30315356;
constexpr uint32_t kUid = 0x5A000000;  // the simulator's unique id of container 0

const std::string kDrives = "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                            "adapter0.drive2 = 0:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n"
                            "adapter0.drive4 = 0:4 sas 146G\n";

FSA_STORAGE_DEVICE drive(uint8_t target)
{
    FSA_STORAGE_DEVICE d{};
    d.targetId = target;
    d.adapterSerial = kSerial0;
    return d;
}

tag_FSA_CONTAINER idOf(uint32_t number) { return tag_FSA_CONTAINER{number, kUid + number, kSerial0}; }

std::vector<uint32_t> numbers(const std::vector<tag_FSA_CONTAINER>& list, uint32_t n)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(list[i].number);
    return out;
}

class AffectedContainersTest : public vyntest::PartitionTest {
protected:
    FSAAPI_CONTEXT* begin(const std::string& containers, const std::vector<Fault>& faults = {})
    {
        FSAAPI_CONTEXT* ctx = PartitionTest::begin(kDrives + containers);
        for (const Fault& f : faults)
            EXPECT_TRUE(sim().addFault(0, f)) << f.on << ": " << f.effect;
        return ctx;
    }
    // Both lists, each `entries` identifiers long with guard bytes after it;
    // the status thrown, or 1.
    FSA_STATUS find(FSAAPI_CONTEXT* ctx, std::vector<uint8_t> targets, uint32_t deadBytes = kListBytes,
                    uint32_t affectedBytes = kListBytes)
    {
        std::vector<FSA_STORAGE_DEVICE> drives;
        for (uint8_t t : targets)
            drives.push_back(drive(t));
        deadRaw_.assign(deadBytes + kGuard, kGuardByte);
        affectedRaw_.assign(affectedBytes + kGuard, kGuardByte);
        deadBytes_ = deadBytes;
        affectedBytes_ = affectedBytes;
        deadCount_ = affectedCount_ = 0xDEAD;
        return thrownBy([&] {
            CT_FindContainersToDeleteByDisk(ctx, drives.data(), static_cast<uint32_t>(drives.size()),
                                            reinterpret_cast<tag_FSA_CONTAINER*>(deadRaw_.data()), &deadCount_,
                                            deadBytes, reinterpret_cast<tag_FSA_CONTAINER*>(affectedRaw_.data()),
                                            &affectedCount_, affectedBytes);
        });
    }
    std::vector<tag_FSA_CONTAINER> dead() const { return list(deadRaw_, deadCount_); }
    std::vector<tag_FSA_CONTAINER> affected() const { return list(affectedRaw_, affectedCount_); }
    uint32_t deadCount() const { return deadCount_; }
    uint32_t affectedCount() const { return affectedCount_; }
    bool guardsIntact() const { return intact(deadRaw_, deadBytes_) && intact(affectedRaw_, affectedBytes_); }

    static constexpr uint32_t kListBytes = 8 * sizeof(tag_FSA_CONTAINER);

private:
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kGuardByte = 0xA5;
    static std::vector<tag_FSA_CONTAINER> list(const std::vector<uint8_t>& raw, uint32_t n)
    {
        std::vector<tag_FSA_CONTAINER> out(n);
        if (n != 0)
            std::memcpy(out.data(), raw.data(), n * sizeof(tag_FSA_CONTAINER));
        return out;
    }
    static bool intact(const std::vector<uint8_t>& raw, size_t from)
    {
        for (size_t i = from; i < raw.size(); ++i)
            if (raw[i] != kGuardByte)
                return false;
        return true;
    }
    std::vector<uint8_t> deadRaw_;
    std::vector<uint8_t> affectedRaw_;
    uint32_t deadBytes_ = 0;
    uint32_t affectedBytes_ = 0;
    uint32_t deadCount_ = 0;
    uint32_t affectedCount_ = 0;
};

bool operator==(const tag_FSA_CONTAINER& a, const tag_FSA_CONTAINER& b)
{
    return a.number == b.number && a.uniqueId == b.uniqueId && a.adapterWord == b.adapterWord;
}

TEST_F(AffectedContainersTest, SortsContainersByWhatTheDrivesTakeFromThem)
{
    struct Case {
        const char* what;
        const char* container;
        std::vector<uint8_t> drives;
        std::vector<Fault> faults;
        std::vector<uint32_t> dead;
        std::vector<uint32_t> affected;
    };
    const char* mirror = "adapter0.ld2 = raid1 0:0,0:1 size=1G\n";
    const char* stripe = "adapter0.ld2 = raid0 0:0,0:1 size=1G\n";
    const char* raid5 = "adapter0.ld2 = raid5 0:0,0:1,0:2 size=1G\n";
    const char* raid10 = "adapter0.ld2 = raid10 0:0,0:1,0:2,0:3 size=1G\n";
    const Case cases[] = {
        {"mirror, one of two members", mirror, {1}, {}, {}, {2}},
        {"mirror, both members: listed once", mirror, {0, 1}, {}, {2}, {}},
        {"stripe, one partition", stripe, {1}, {}, {2}, {}},
        {"raid5, two members", raid5, {0, 2}, {}, {2}, {}},
        {"raid5, one member", raid5, {1}, {}, {}, {2}},
        // Member 0 is lost already: the drive of member 1 (table entry 2)
        // takes the second.
        {"raid5 that lost a member, one more", raid5, {1}, {{"partition 2", "poke = 64:4=1"}}, {2}, {}},
        // Its own bit in the lost mask is this partition, counted once.
        {"raid5, own bit only", raid5, {1}, {{"partition 2", "poke = 64:4=2"}}, {}, {2}},
        {"a drive of no container", mirror, {3}, {}, {}, {}},
        // Legs are levels of container 2: one drive of each leg is one
        // affected container, a whole leg makes it dead.
        {"raid10, a drive of each leg", raid10, {0, 2}, {}, {}, {2}},
        {"raid10, a whole leg", raid10, {0, 2, 3}, {}, {2}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Fault> faults = c.faults;
        for (Fault& f : faults)
            f.times = 0;
        FSAAPI_CONTEXT* ctx = begin(c.container, faults);
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(find(ctx, c.drives), FSA_STS_SUCCESS);
        EXPECT_EQ(numbers(dead(), deadCount()), c.dead);
        EXPECT_EQ(numbers(affected(), affectedCount()), c.affected);
        for (const tag_FSA_CONTAINER& id : dead())
            EXPECT_TRUE(id == idOf(id.number)) << id.number << " " << std::hex << id.uniqueId;
        for (const tag_FSA_CONTAINER& id : affected())
            EXPECT_TRUE(id == idOf(id.number)) << id.number << " " << std::hex << id.uniqueId;
        EXPECT_TRUE(guardsIntact());
    }
}

TEST_F(AffectedContainersTest, ListsThatCannotHoldTheirEntriesGiveFiveAndStayEmpty)
{
    // Two stripes die with drive 0:0; the mirror loses one member.
    const std::string containers = "adapter0.ld1 = raid0 0:0 size=1G\nadapter0.ld2 = raid0 0:0,0:1 size=1G\n"
                                   "adapter0.ld3 = raid1 0:0,0:2 size=1G\n";
    struct Case {
        const char* what;
        uint32_t deadBytes;
        uint32_t affectedBytes;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {"both fit exactly", 24, 12, FSA_STS_SUCCESS},
        {"dead list one entry short", 12, 12, 5},
        {"dead list a byte short", 23, 12, 5},
        {"affected list one entry short", 24, 0, 5},
    };
    FSAAPI_CONTEXT* ctx = begin(containers);
    ASSERT_NE(ctx, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(find(ctx, {0}, c.deadBytes, c.affectedBytes), c.status);
        EXPECT_TRUE(guardsIntact());
        if (c.status == FSA_STS_SUCCESS) {
            EXPECT_EQ(numbers(dead(), deadCount()), (std::vector<uint32_t>{1, 2}));
            EXPECT_EQ(numbers(affected(), affectedCount()), (std::vector<uint32_t>{3}));
        } else {
            EXPECT_EQ(deadCount(), 0u);
            EXPECT_EQ(affectedCount(), 0u);
            EXPECT_EQ(dead().size(), 0u);
        }
    }
}

TEST_F(AffectedContainersTest, TheWorkAreaRefusesAContainerBeyondItsSize)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.ld1 = raid0 0:0 size=1G\nadapter0.ld2 = raid0 0:1 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    std::vector<FSA_PARTITION_CACHE_ELEMENT> parts;
    const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    for (uint32_t i = 0; i < cache->count; ++i)
        if (cache->elements[i].bytes[PART_FIRST_OWNER] != 0)
            parts.push_back(cache->elements[i]);
    ASSERT_EQ(parts.size(), 2u);

    FIND_CT_TO_DELETE_STRUCT list[2];
    std::memset(list, 0xA5, sizeof list);
    uint32_t count = 0;
    CT_AddToFindList(ctx, list, &count, &parts[0], 1);
    ASSERT_EQ(count, 1u);
    // The same container again is counted into its entry; another one no
    // longer fits and the entry after the work area stays untouched.
    CT_AddToFindList(ctx, list, &count, &parts[0], 1);
    EXPECT_EQ(list[0].words[FIND_HITS], 2u);
    EXPECT_EQ(thrownBy([&] { CT_AddToFindList(ctx, list, &count, &parts[1], 1); }), 5);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(list[1].words[0], 0xA5A5A5A5u);
}

TEST_F(AffectedContainersTest, UniqueIdOfAnyContainerNumber)
{
    // Container 3 lives on 0:2 only; the pair bytes of container 2's first
    // partition (table entry 1) name container 5, whose slot is container 2.
    const std::string containers = "adapter0.ld2 = raid1 0:0,0:1 size=1G\nadapter0.ld3 = raid0 0:2 size=1G\n";
    const Fault noSerial{"ct 165", "status = 12", 0, 0};
    const std::vector<Fault> pair = {{"partition 1", "poke = 54:1=5", 0, 0}, {"partition 1", "poke = 55:1=6", 0, 0},
                                     {"partition 1", "poke = 58:1=2", 0, 0}, {"partition 1", "poke = 59:1=7", 0, 0},
                                     {"partition 1", "poke = 79:1=3", 0, 0}};
    struct Case {
        const char* what;
        uint32_t container;
        bool serial;
        bool pair;
        int found;
        uint32_t uid;
    };
    const Case cases[] = {
        {"by the controller's serial", 2, true, false, 1, kUid + 2},
        {"from its own partition", 2, false, false, 1, kUid + 2},
        // The controller answers a pair member with the container of byte 79.
        {"as a pair member through its slot", 5, false, true, 1, kUid + 3},
        {"named by no partition", 9, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Fault> faults = c.pair ? pair : std::vector<Fault>{};
        if (!c.serial)
            faults.push_back(noSerial);
        FSAAPI_CONTEXT* ctx = begin(containers, faults);
        ASSERT_NE(ctx, nullptr);
        // The cache is current: what is sent below is the search's own.
        ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
        sim().clearRequests();
        uint32_t uid = 0xDEAD;
        EXPECT_EQ(CTGetUid(ctx, c.container, &uid), c.found);
        EXPECT_EQ(uid, c.uid);
        EXPECT_EQ(sent(500, CT_PAR_TO_32BITS_UID) != 0, !c.serial && c.found == 1);
    }
}

TEST_F(AffectedContainersTest, StandardIdOfAContainerTheTableLacksAsksTheController)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.ld2 = raid1 0:0,0:1 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(CT_UpdateCache(ctx), FSA_STS_SUCCESS);
    sim().clearRequests();
    tag_FSA_CONTAINER id{};
    CT_GetStandardID(ctx, &id, 2);
    EXPECT_TRUE(id == idOf(2));
    EXPECT_EQ(sent(500, 165), 0u) << "the table knew it";

    {
        FAUX_AUTORELEASE_MUTEX lock(ctx->uniqueIdMutex);
        ctx->uniqueIdCount = 0;
    }
    CT_GetStandardID(ctx, &id, 2);
    EXPECT_TRUE(id == idOf(2));
    EXPECT_EQ(sent(500, 165), 1u);
}

TEST_F(AffectedContainersTest, ActiveContainersOfADriveAreRemovedOnlyWhenAllowed)
{
    struct Case {
        const char* what;
        uint8_t target;
        int allowDelete;
        FSA_STATUS status;
        std::vector<uint32_t> left;
    };
    const Case cases[] = {
        {"dead container, deletion allowed", 0, 1, FSA_STS_SUCCESS, {3}},
        {"dead container, deletion not allowed", 0, 0, 137, {2, 3}},
        // The mirror only loses a member: it stays.
        {"affected container only", 2, 0, FSA_STS_SUCCESS, {2, 3}},
        {"drive without containers", 4, 0, FSA_STS_SUCCESS, {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSAAPI_CONTEXT* ctx = begin("adapter0.ld2 = raid0 0:0,0:1 size=1G\nadapter0.ld3 = raid1 0:2,0:3 size=1G\n");
        ASSERT_NE(ctx, nullptr);
        const uint32_t handle = c.target;  // bus 0, LUN 0
        EXPECT_EQ(thrownBy([&] { PCK_CheckAndRemoveActiveCtrs(ctx, static_cast<int>(handle), c.allowDelete, 0); }),
                  c.status);
        std::vector<uint32_t> left;
        for (const LogDevView& l : configurationOf(sim().controller(0)).logDevs)
            left.push_back(l.number);
        EXPECT_EQ(left, c.left);
        ASSERT_NE(ctx->partitionCache, nullptr);
        EXPECT_EQ(ctx->partitionCache->valid, 1u) << "the cache is refreshed";
    }
}

TEST_F(AffectedContainersTest, AlarmStatusesInBothDirections)
{
    struct Case {
        const char* what;
        const char* alarm;  // the controller's alarm
        uint32_t ct;
        bool sending;       // CT_AlarmCmdIn
        const char* status; // a status the controller answers instead, or null
        FSA_STATUS expected;
    };
    const Case cases[] = {
        {"state read", "sounding", CT_ALARM_GET_STATE, false, nullptr, FSA_STS_SUCCESS},
        {"state set", "on", CT_ALARM_SET_STATE, true, nullptr, FSA_STS_SUCCESS},
        {"no alarm, read", "none", CT_ALARM_GET_STATE, false, nullptr, 604},
        {"no alarm, set", "none", CT_ALARM_SET_STATE, true, nullptr, 604},
        {"disabled alarm switched", "off", CT_ALARM_ON_OFF, true, nullptr, 605},
        {"status 2, read", "on", CT_ALARM_GET_STATE, false, "status = 2", FSA_STS_BAD_PARAMETER},
        {"status 2, sent", "on", CT_ALARM_ON_OFF, true, "status = 2", FSA_STS_BAD_PARAMETER},
        {"status 3, read", "on", CT_ALARM_GET_STATE, false, "status = 3", FSA_STS_GENERAL_FAILURE},
        {"status 3, sent", "on", CT_ALARM_SET_STATE, true, "status = 3", 605},
        {"status 4, read", "on", CT_ALARM_GET_STATE, false, "status = 4", 604},
        {"status 5, read", "on", CT_ALARM_GET_STATE, false, "status = 5", FSA_STS_GENERAL_FAILURE},
        {"status 5, sent", "on", CT_ALARM_ON_OFF, true, "status = 5", FSA_STS_GENERAL_FAILURE},
        {"status 0, sent", "on", CT_ALARM_SET_STATE, true, "status = 0", FSA_STS_GENERAL_FAILURE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Fault> faults;
        if (c.status != nullptr)
            faults.push_back(Fault{"ct " + std::to_string(c.ct), c.status});
        // The open reads the alarm: a controller without one is made so after it.
        const bool none = std::string(c.alarm) == "none";
        FSAAPI_CONTEXT* ctx = begin(std::string("adapter0.alarm = ") + (none ? "on" : c.alarm) + "\n", faults);
        ASSERT_NE(ctx, nullptr);
        if (none)
            sim().controller(0).alarm = "none";
        // Sound the alarm for 30 seconds; a read fills every byte.
        _ALARM_INFO info{};
        info.bytes[0] = 0x3;
        info.bytes[4] = 30;
        if (!c.sending)
            std::memset(info.bytes, 0xEE, sizeof info.bytes);
        const FSA_STATUS status = thrownBy([&] {
            EXPECT_EQ(c.sending ? CT_AlarmCmdIn(ctx, c.ct, &info) : CT_AlarmCmdOut(ctx, c.ct, &info),
                      FSA_STS_SUCCESS);
        });
        EXPECT_EQ(status, c.expected);
        EXPECT_EQ(sent(500, c.ct), 1u);
        if (status == FSA_STS_SUCCESS && !c.sending) {
            // Enabled, sounding and switched on, for no time yet.
            const uint8_t expected[8] = {0x7, 0, 0, 0, 0, 0, 0, 0};
            EXPECT_EQ(std::memcmp(info.bytes, expected, sizeof expected), 0);
        }
    }
}

}  // namespace
