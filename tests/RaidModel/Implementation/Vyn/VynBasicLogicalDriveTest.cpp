// Logical drives of the family built from container records: chunks on the
// hard drives and placeholders for lost members, the state missing members
// give, parity space, members and sub-drives, the attributes written, and
// the drive's progress.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynChunk.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynTaskProgress.h"
#include "RaidModel/Interface/Channel.h"
#include "ScriptedFsaExports.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

// One member element of a record: its first word, the drive's address and
// the extent in blocks.
struct Element {
    uint32_t first;
    uint8_t bus;
    uint8_t target;
    uint64_t start;
    uint64_t blocks;
};

// An element naming member container `number`.
Element member(uint32_t number) { return {number, 0, 0, 0, 0}; }

// A container record: number, type, primary or not, capacity in blocks.
FSA_CONTAINER_INFO_EXTND containerRecord(uint32_t number, uint32_t type, bool primary, uint64_t blocks,
                                         const std::vector<Element>& elements)
{
    FSA_CONTAINER_INFO_EXTND r = {};
    faPutLe32(r.bytes, number);
    faPutLe32(r.bytes + 4, 0x5A000000 + number);
    faPutLe32(r.bytes + 28, type);
    faPutLe32(r.bytes + 64, primary ? 1 : 0);
    faPutLe64(r.bytes + 68, blocks * 512);
    faPutLe32(r.bytes + 104, 0xFFFFFFFF);
    faPutLe32(r.bytes + 260, static_cast<uint32_t>(elements.size()));
    for (size_t i = 0; i < elements.size(); ++i) {
        uint8_t* e = r.bytes + 552 + 28 * i;
        faPutLe32(e, elements[i].first);
        e[4] = elements[i].bus;
        e[5] = elements[i].target;
        faPutLe64(e + 12, elements[i].start * 512);
        faPutLe64(e + 20, elements[i].blocks * 512);
    }
    return r;
}

// A partition record of the given type and bad-block count.
std::vector<uint8_t> partition(uint32_t type, uint32_t badBlocks = 0)
{
    std::vector<uint8_t> p(112, 0);
    faPutLe32(p.data() + 28, type);
    faPutLe32(p.data() + 36, 9);
    faPutLe32(p.data() + 72, badBlocks);
    return p;
}

// A spare list of the given drives (bus, target).
std::vector<uint8_t> spares(std::initializer_list<std::pair<uint8_t, uint8_t>> drives)
{
    std::vector<uint8_t> reply = words({static_cast<uint32_t>(drives.size())});
    for (const auto& [bus, target] : drives) {
        const std::vector<uint8_t> device = {0, 0, 0, 0, bus, target, 0, 0, 0xDE, 0xC0, 0x17, 0x5A};
        reply.insert(reply.end(), device.begin(), device.end());
    }
    return reply;
}

// Runs single phases of the tree build.
class PhaseAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    using VynAdapter::buildGlobalSpares;
};

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

// A drive whose blink answers a set result.
class BlinkingDrive : public VynHardDrive {
public:
    BlinkingDrive(VynAdapter* adapter, Channel* channel, unsigned long id, int result)
        : VynHardDrive(adapter, channel, id, 1000000), result(result)
    {
    }
    Ret identifyDevice(bool) override
    {
        ++calls;
        return Ret(result);
    }
    int result;
    int calls = 0;
};

class VynBasicLogicalDriveTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        fsa_.reset(new ScriptedFsaExports());
        fsa_->answerUnscripted(31);
        SetUpAdapterOnly();
    }
    // A fresh controller that is never opened, with an empty bus 0.
    void SetUpAdapterOnly()
    {
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter_.reset(new PhaseAdapter(&r, nullptr, 0, nullptr, nullptr));
        bus_ = new Channel(adapter_.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter_->addChild(bus_);
    }
    void TearDown() override
    {
        drive_.reset();
        adapter_.reset();
        fsa_.reset();
        vyntest::FamilyTest::TearDown();
    }
    HardDrive* disk(uint8_t target, EnumPhysicalDeviceState state = PD_READY)
    {
        auto* d = new VynHardDrive(adapter_.get(), bus_, target, 1000000);
        d->setStateProperty(state);
        bus_->addChild(d);
        return d;
    }
    // The record, with cache parameters and cache mode of two words each.
    VynLogicalDriveInfo* keep(const FSA_CONTAINER_INFO_EXTND& r, std::vector<uint8_t> params = {},
                              std::vector<uint8_t> mode = {})
    {
        params.resize(VynLogicalDriveInfo::PARAMS_SIZE);
        mode.resize(VynLogicalDriveInfo::PARAMS_SIZE);
        auto* info = new VynLogicalDriveInfo(&r, reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params.data()),
                                             reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(mode.data()));
        adapter_->addLogicalInfo(info);
        return info;
    }
    VynBasicLogicalDrive* build(VynLogicalDriveInfo* info, EnumRaidLevel level)
    {
        drive_.reset(new VynBasicLogicalDrive(info, adapter_.get(), info->getContainerNumber(), level, 1000, 0,
                                              LD_OPTIMAL, false));
        return drive_.get();
    }
    // A primary container over drives 0:0 .. 0:n-1 of `blocks` each.
    VynBasicLogicalDrive* primary(uint32_t type, EnumRaidLevel level, unsigned n, uint64_t blocks = 1000)
    {
        std::vector<Element> elements;
        for (unsigned i = 0; i < n; ++i) {
            if (bus_->getChildCount() <= i)
                disk(static_cast<uint8_t>(i));
            elements.push_back({0, 0, static_cast<uint8_t>(i), 128, blocks});
        }
        return build(keep(containerRecord(0, type, true, blocks * n, elements)), level);
    }
    // Options whose drive-count entry `n` of the first table is {p, d}.
    void raid6Entries(std::initializer_list<std::array<unsigned, 3>> entries, bool reedSolomon = false)
    {
        std::vector<uint8_t> options(340, 0);
        for (const auto& e : entries) {
            uint8_t* at = options.data() + (reedSolomon ? 212 : 84) + 4 * e[0];
            at[1] = static_cast<uint8_t>(e[1]);
            faPutLe16(at + 2, static_cast<uint16_t>(e[2]));
        }
        fsa_->script("FsaGetRaid6Options", 1, options);
        FSA_GENERAL_INFO2 g = {};
        faPutLe32(g.bytes + GI_RAID_SUPPORT_MASK, 0x400);
        adapter_->setFsaGeneralInfo(&g);
    }

    std::unique_ptr<ScriptedFsaExports> fsa_;
    vyntest::TreePtr<VynAdapter> adapter_;
    Channel* bus_ = nullptr;
    vyntest::TreePtr<VynBasicLogicalDrive> drive_;
};

TEST_F(VynBasicLogicalDriveTest, EachMemberGetsAChunkUnderTheDriveAndUnderItsHardDrive)
{
    HardDrive* d0 = disk(0);
    HardDrive* d1 = disk(1);
    fsa_->script("FsaGetFsaPartitionInfo", 1, partition(0, 3));
    fsa_->script("FsaGetFsaPartitionInfo", 1, partition(0, 4));
    VynLogicalDriveInfo* info =
        keep(containerRecord(0, 1, true, 1000, {{0, 0, 0, 128, 1000}, {0, 0, 1, 256, 1000}}));
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_1);
    EXPECT_EQ(info->getLogicalDrive(), ld);
    ASSERT_EQ(ld->getNumHardDriveChunks(), 2u);
    Chunk* second = ld->getHardDriveChunk(1);
    EXPECT_STREQ(second->typeName(), "VynChunk");
    EXPECT_EQ(second->getProviderHardDrive(), d1);
    EXPECT_EQ(second->getStartSector(), 256u);
    EXPECT_EQ(second->getNumSector(), 1000u);
    EXPECT_EQ(second->getGroupPosition(), 1u);
    EXPECT_EQ(second->getGroupSize(), 2u);
    EXPECT_EQ(ld->getNumHardDrives(), 2u);
    // The hard drives list their chunk too, and are online in the drive.
    ASSERT_EQ(d0->getChildCount(), 1u);
    EXPECT_EQ(static_cast<Chunk*>(d0->getChild(0))->getConsumer(), ld);
    EXPECT_EQ(d0->getState(), PD_ONLINE);
    EXPECT_EQ(ld->getParitySpace(), 1000u);
    EXPECT_EQ(ld->getBadBlockCount(), 7);
    EXPECT_EQ(ld->getState(), LD_OPTIMAL);
    EXPECT_EQ(ld->getSubState(), 0x7FFFFFFF);
}

TEST_F(VynBasicLogicalDriveTest, MissingMembersGiveTheStateOfTheLevel)
{
    // Per member: 'k' kept, 'd' dead partition (type 2), 'f' failed drive,
    // 'q' partition query failing, 'r' rebuilding partition.
    struct Case {
        uint32_t type;
        EnumRaidLevel level;
        const char* members;
        uint32_t flags;
        EnumLogicalDeviceState state;
    };
    const Case cases[] = {
        {4, RAID_LEVEL_5, "dkk", 0, LD_DEGRADED},      {4, RAID_LEVEL_5, "ddk", 0, LD_FAILED},
        {4, RAID_LEVEL_5, "fkk", 0, LD_DEGRADED},      {4, RAID_LEVEL_5, "qkk", 0, LD_DEGRADED},
        {4, RAID_LEVEL_5, "rkk", 0, LD_DEGRADED},      {4, RAID_LEVEL_5, "rkk", 0x8, LD_OPTIMAL},
        {45, RAID_LEVEL_6, "dkkk", 0, LD_SUBOPTIMAL},  {45, RAID_LEVEL_6, "ddkk", 0, LD_DEGRADED},
        {45, RAID_LEVEL_6, "dddk", 0, LD_FAILED},      {2, RAID_LEVEL_0, "dkk", 0, LD_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.members) + " type " + std::to_string(c.type));
        drive_.reset();
        adapter_.reset();
        SetUpAdapterOnly();
        const std::string m = c.members;
        std::vector<Element> elements;
        for (size_t i = 0; i < m.size(); ++i) {
            disk(static_cast<uint8_t>(i), m[i] == 'f' ? PD_FAILED : PD_READY);
            elements.push_back({0, 0, static_cast<uint8_t>(i), 128, 1000});
            if (m[i] == 'q')
                fsa_->script("FsaGetFsaPartitionInfo", 13);
            else
                fsa_->script("FsaGetFsaPartitionInfo", 1, partition(m[i] == 'd' ? 2 : m[i] == 'r' ? 3 : 0));
        }
        FSA_CONTAINER_INFO_EXTND r = containerRecord(0, c.type, true, 3000, elements);
        faPutLe32(r.bytes + 480, c.flags);
        VynBasicLogicalDrive* ld = build(keep(r), c.level);
        EXPECT_EQ(ld->getState(), c.state);
        ASSERT_EQ(ld->getNumHardDriveChunks(), m.size());
        for (size_t i = 0; i < m.size(); ++i) {
            Chunk* chunk = ld->getHardDriveChunk(i);
            EXPECT_STREQ(chunk->typeName(), m[i] == 'q' ? "Chunk" : "VynChunk");
            EXPECT_EQ(static_cast<int>(chunk->getChunkState()), m[i] == 'd' ? 2 : m[i] == 'r' ? 1 : 0);
        }
        if (m[0] == 'r') {
            EXPECT_EQ(ld->getHardDrive(0)->getState(), PD_REBUILDING);
        }
    }
    EXPECT_NE(traceLog().find("hd ad:0 ch:0 id:0  (partitionType == 2)  deadCount:1"), std::string::npos);
    EXPECT_NE(traceLog().find("(FsaGetFsaPartitionInfo status == 13)  deadCount:1"), std::string::npos);
    EXPECT_NE(traceLog().find("(state == DRIVE_DEAD)  deadCount:1"), std::string::npos);
}

TEST_F(VynBasicLogicalDriveTest, LostMembersBecomePlaceholdersAndReplacedOnesNeverShowTheNewDrive)
{
    HardDrive* d0 = disk(0);
    // Member 0:5 is gone; member 0:0 is marked replaced while its drive is
    // still there.
    VynLogicalDriveInfo* info = keep(containerRecord(0, 4, true, 2000, {{1, 0, 0, 128, 1000}, {0, 0, 5, 128, 1000}}));
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_5);
    ASSERT_EQ(ld->getNumHardDrives(), 2u);
    HardDrive* replaced = ld->getHardDrive(0);
    HardDrive* lost = ld->getHardDrive(1);
    EXPECT_NE(replaced, d0);
    EXPECT_STREQ(replaced->getVendor(), "*MISSING*");
    EXPECT_EQ(replaced->getDeviceID(), 0xFF00FFu);
    EXPECT_EQ(info->getScsiBusNum(0), 0xFFu);
    EXPECT_STREQ(lost->getVendor(), "*MISSING*");
    EXPECT_EQ(lost->getChannel(), bus_);
    EXPECT_EQ(lost->getDeviceID(), 5u);
    EXPECT_EQ(d0->getChildCount(), 0u);
    // Both count as missing: the partition queries failed (31).
    EXPECT_EQ(ld->getState(), LD_FAILED);
}

TEST_F(VynBasicLogicalDriveTest, ParitySpaceFollowsTheLevel)
{
    // 3 chunks of 1001 blocks.
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_1E, 1001, 3, adapter_.get()), 1501u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_5, 1001, 3, adapter_.get()), 1001u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_50, 1001, 6, adapter_.get()), 1001u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_0, 1001, 3, adapter_.get()), 0u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_RAID_VOLUME, 1001, 3, adapter_.get()), 0u);

    // RAID 6 of three members reads the entry for four.
    raid6Entries({{3, 1, 1}, {4, 2, 2}, {6, 2, 4}});
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_6, 1000, 3, adapter_.get()), 2000u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_60, 1000, 6, adapter_.get()), 2000u);
    // No entry for five, none for the Reed-Solomon forms, none beyond the
    // tables' 32 entries: nothing added, one line each.
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_6, 1000, 5, adapter_.get()), 0u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_6RS, 1000, 4, adapter_.get()), 0u);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_6, 1000, 40, adapter_.get()), 0u);
    EXPECT_EQ(errorCount("Raid6 parity and data count error."), 2u);
    EXPECT_EQ(errorCount("Raid6RS parity and data count error."), 1u);

    raid6Entries({{4, 1, 3}}, true);
    EXPECT_EQ(VynBasicLogicalDrive::parityBlocksOf(RAID_LEVEL_60RS, 1000, 4, adapter_.get()), 1000u);

    // Built: the first chunk's size decides.
    EXPECT_EQ(primary(40, RAID_LEVEL_1E, 3, 1001)->getParitySpace(), 1501u);
}

TEST_F(VynBasicLogicalDriveTest, BadBlocksComeFromThePartitionsOrFromTheRecord)
{
    for (bool fromRecord : {false, true}) {
        SCOPED_TRACE(fromRecord);
        drive_.reset();
        adapter_.reset();
        SetUpAdapterOnly();
        FSA_GENERAL_INFO2 g = {};
        faPutLe32(g.bytes + GI_SUPPORTED_OPTIONS2, fromRecord ? 1u << 24 : 0);
        adapter_->setFsaGeneralInfo(&g);
        disk(0);
        disk(1);
        fsa_->script("FsaGetFsaPartitionInfo", 1, partition(0, 5));
        fsa_->script("FsaGetFsaPartitionInfo", 1, partition(0, 6));
        FSA_CONTAINER_INFO_EXTND r = containerRecord(0, 1, true, 1000, {{0, 0, 0, 128, 1000}, {0, 0, 1, 128, 1000}});
        faPutLe32(r.bytes + 484, 40);
        EXPECT_EQ(build(keep(r), RAID_LEVEL_1)->getBadBlockCount(), fromRecord ? 40 : 11);
    }
}

TEST_F(VynBasicLogicalDriveTest, MembersOfATwoLevelDriveAreListedAndWritten)
{
    disk(0);
    disk(1);
    keep(containerRecord(3, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    FSA_CONTAINER_INFO_EXTND seven = containerRecord(7, 1, true, 1000, {{0, 0, 1, 128, 1000}});
    faPutLe32(seven.bytes + 236, 1);  // not redundant
    faPutLe32(seven.bytes + 484, 4);
    keep(seven);
    FSA_CONTAINER_INFO_EXTND top = containerRecord(20, 2, false, 2000, {member(3), member(7), member(99)});
    faPutLe32(top.bytes + 32, 26);
    faPutLe32(top.bytes + 252, 1);
    VynLogicalDriveInfo* info = keep(top);
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_10);
    ASSERT_EQ(ld->getMemberRecords().size(), 2u);
    EXPECT_EQ(ld->getNumHardDriveChunks(), 2u);
    EXPECT_EQ(ld->getHardDriveChunk(1)->getGroup(), 1u);
    EXPECT_EQ(ld->getBadBlockCount(), 4);
    // A member that is not redundant makes the drive so, one that never was
    // takes the drive's claim away.
    EXPECT_EQ(info->word(236), 1u);
    EXPECT_EQ(info->word(252), 0u);
    const std::string xml = xmlOf(*ld);
    EXPECT_NE(xml.find("fsaSecContainers=\"3,7\""), std::string::npos) << xml;

    drive_.reset();
    EXPECT_EQ(xmlOf(*primary(1, RAID_LEVEL_1, 1)).find("fsaSecContainers"), std::string::npos);
}

TEST_F(VynBasicLogicalDriveTest, NestingDeeperThanThreeLevelsStops)
{
    disk(0);
    keep(containerRecord(6, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    // 1 over 2 over ... over 5 over the primary 6.
    for (uint32_t n = 1; n <= 5; ++n)
        keep(containerRecord(n, 2, false, 1000, {member(n + 1)}));
    VynBasicLogicalDrive* ld = build(keep(containerRecord(0, 2, false, 1000, {member(1)})), RAID_LEVEL_10);
    EXPECT_EQ(errorCount("recursionLevel > 3"), 1u);
    EXPECT_EQ(ld->getNumHardDriveChunks(), 0u);
    EXPECT_EQ(ld->getMemberRecords().size(), 5u);
}

// Records that name themselves end the walk instead of multiplying it or
// recursing without end.
TEST_F(VynBasicLogicalDriveTest, RecordsNamingThemselvesEndTheWalk)
{
    disk(0);
    keep(containerRecord(6, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    // Every one of the most elements names the record itself, the last the
    // primary: walked level by level that is 128 to the fourth power.
    std::vector<Element> selves(VynLogicalDriveInfo::MAX_ELEMENTS - 1, member(2));
    selves.push_back(member(6));
    keep(containerRecord(2, 2, false, 1000, selves));
    VynBasicLogicalDrive* mirror = build(keep(containerRecord(1, 2, false, 1000, {member(2)})), RAID_LEVEL_10);
    EXPECT_EQ(mirror->getMemberRecords().size(), 2u);
    EXPECT_EQ(mirror->getNumHardDriveChunks(), 1u);
    // A RAID volume over itself.
    VynBasicLogicalDrive* volume =
        build(keep(containerRecord(9, 15, false, 1000, {member(9)})), RAID_LEVEL_RAID_VOLUME);
    std::vector<RaidObject*> subs;
    volume->getChildren(subs, "VynBasicLogicalDrive", true, true);
    EXPECT_LE(subs.size(), VynBasicLogicalDrive::MAX_RECURSION + 1);
    EXPECT_EQ(errorCount("recursionLevel > 3"), 1u);
}

TEST_F(VynBasicLogicalDriveTest, ARaidVolumeHasOneSubDrivePerMember)
{
    disk(0);
    disk(1);
    fsa_->script("FsaGetFsaPartitionInfo", 1, partition(2));
    fsa_->script("FsaGetFsaPartitionInfo", 1, partition(0, 2));
    keep(containerRecord(3, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    keep(containerRecord(4, 1, true, 800, {{0, 0, 1, 128, 800}}));
    VynLogicalDriveInfo* info = keep(containerRecord(9, 15, false, 1800, {member(3), member(4)}));
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_RAID_VOLUME);
    std::vector<RaidObject*> subs;
    ld->getChildren(subs, "VynBasicLogicalDrive", false, true);
    ASSERT_EQ(subs.size(), 2u);
    auto* second = static_cast<VynBasicLogicalDrive*>(subs[1]);
    EXPECT_EQ(second->getLogicalDriveID(), 4u);
    EXPECT_EQ(second->getDataSpace(), 800u);
    EXPECT_EQ(second->getHardDriveChunk(0)->getGroup(), 1u);
    // The sub-drive's chunk as the volume's member, in both.
    std::vector<RaidObject*> own;
    for (RaidObject* child : ld->getChildList())
        if (std::string(child->typeName()) == "Chunk")
            own.push_back(child);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(static_cast<Chunk*>(own[1])->getProviderLogical(), second);
    EXPECT_EQ(static_cast<Chunk*>(own[1])->getNumSector(), 800u);
    EXPECT_EQ(static_cast<Chunk*>(own[1])->getGroupPosition(), 1u);
    EXPECT_EQ(second->getLogicalDriveChunkVector().size(), 1u);
    // The first member lost its only mirror half: the volume is degraded.
    EXPECT_EQ(subs[0]->isInstanceOf("LogicalDrive") ? static_cast<LogicalDrive*>(subs[0])->getState() : LD_OPTIMAL,
              LD_DEGRADED);
    EXPECT_EQ(ld->getState(), LD_DEGRADED);
    EXPECT_EQ(ld->getBadBlockCount(), 2);
    EXPECT_TRUE(ld->getMemberRecords().empty());
}

TEST_F(VynBasicLogicalDriveTest, ARaidVolumeOverASnapshotTakesTheSnapshotsMembers)
{
    disk(0);
    keep(containerRecord(3, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    FSA_CONTAINER_INFO_EXTND snapshot = containerRecord(5, 15, false, 1000, {member(3)});
    std::memcpy(snapshot.bytes + 12, "Snap            ", 16);
    faPutLe32(snapshot.bytes + 96, 65536);
    keep(snapshot);
    VynLogicalDriveInfo* info = keep(containerRecord(9, 5, false, 1000, {member(5)}));
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_RAID_VOLUME);
    std::vector<RaidObject*> subs;
    ld->getChildren(subs, "VynBasicLogicalDrive", false, true);
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0]->getLogicalDriveID(), 3u);
    EXPECT_EQ(ld->getSnapshotTopContainer(), 5u);
    EXPECT_EQ(info->word(96), 65536u);
    EXPECT_STREQ(ld->getName(), "Snap");
    EXPECT_NE(xmlOf(*ld).find("fsaSnapshotTopContainer=\"5\""), std::string::npos);
}

TEST_F(VynBasicLogicalDriveTest, RecordFlagsGiveTheDrivesFlags)
{
    struct Case {
        uint32_t flags;
        EnumRaidLevel level;
        int raid5EEState;
        bool forced;
        bool noBuild;
    };
    const Case cases[] = {
        {0x2 | 0x1, RAID_LEVEL_5EE, 1, false, false}, {0x1 | 0x4, RAID_LEVEL_5EE, 2, false, false},
        {0x4, RAID_LEVEL_5EE, 3, false, false},       {0x0, RAID_LEVEL_5EE, 0, false, false},
        {0x2 | 0x40, RAID_LEVEL_5, 0x7FFFFFFF, true, false}, {0x80, RAID_LEVEL_5, 0x7FFFFFFF, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        drive_.reset();
        FSA_CONTAINER_INFO_EXTND r = containerRecord(1, 34, true, 0, {});
        faPutLe32(r.bytes + 480, c.flags);
        faPutLe32(r.bytes + 488, 0x21);
        VynBasicLogicalDrive* ld = build(keep(r), c.level);
        EXPECT_EQ(ld->getRaid5EEState(), c.raid5EEState);
        EXPECT_EQ(ld->isForcedOnline(), c.forced);
        EXPECT_EQ(ld->isCreatedWithNoBuild(), c.noBuild);
        EXPECT_EQ(ld->getForceOnlineFlags(), 0x21);
    }
    // The record writes the drive's RAID-5EE state and the copy-back flag
    // only for a controller with those features.
    drive_.reset();
    FSA_CONTAINER_INFO_EXTND r = containerRecord(1, 34, true, 0, {});
    faPutLe32(r.bytes + 480, 0x8 | 0x2);
    VynBasicLogicalDrive* ld = build(keep(r), RAID_LEVEL_5EE);
    std::string xml = xmlOf(*ld);
    EXPECT_NE(xml.find("Raid5EEState=\"2147483647\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("copybackInProgress"), std::string::npos);
    adapter_->setFeature(featRaid5EE, 1);
    adapter_->setFeature(featCopyBack, 1);
    xml = xmlOf(*ld);
    EXPECT_NE(xml.find("Raid5EEState=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("copybackInProgress=\"true\""), std::string::npos);
}

TEST_F(VynBasicLogicalDriveTest, IdentifyBlinksEveryMemberAndKeepsTheLastFailure)
{
    auto* a = new BlinkingDrive(adapter_.get(), bus_, 0, 0);
    auto* b = new BlinkingDrive(adapter_.get(), bus_, 1, -5);
    auto* c = new BlinkingDrive(adapter_.get(), bus_, 2, 0);
    for (HardDrive* d : {static_cast<HardDrive*>(a), static_cast<HardDrive*>(b), static_cast<HardDrive*>(c)})
        bus_->addChild(d);
    fsa_->scriptTimes("FsaGetFsaPartitionInfo", 3, 1, partition(0));
    VynBasicLogicalDrive* ld = primary(4, RAID_LEVEL_5, 3);
    EXPECT_EQ(ld->identifyDevice(true).getReturn(), -5);
    EXPECT_EQ(a->calls + b->calls + c->calls, 3);
}

TEST_F(VynBasicLogicalDriveTest, GlobalSparesKeepAFailedStateAndLostOnesArePlaceholders)
{
    HardDrive* ready = disk(3);
    HardDrive* failed = disk(4, PD_FAILED);
    fsa_->script("FsaFailoverSpace", 1, spares({{0, 3}, {0, 4}, {0, 12}}));
    FSA_STORAGE_DEVICE devices[8] = {};
    Ret ret;
    static_cast<PhaseAdapter*>(adapter_.get())->buildGlobalSpares(devices, 8, ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(ready->getState(), PD_HOT_SPARE);
    EXPECT_EQ(ready->getSpareType(), SPARE_GLOBAL);
    EXPECT_EQ(failed->getState(), PD_FAILED);
    EXPECT_EQ(failed->getSpareType(), SPARE_GLOBAL);
    HardDrive* lost = adapter_->findHardDrive(0, 12);
    ASSERT_NE(lost, nullptr);
    EXPECT_STREQ(lost->getVendor(), "*MISSING*");
    EXPECT_EQ(lost->getState(), PD_FAILED);
    EXPECT_EQ(lost->getSpareType(), SPARE_GLOBAL);
    EXPECT_EQ(lost->getChannel(), bus_);
    // A list longer than the room given is read only as far as the room.
    fsa_->script("FsaFailoverSpace", 1, spares({{0, 3}, {0, 20}}));
    static_cast<PhaseAdapter*>(adapter_.get())->buildGlobalSpares(devices, 1, ret);
    EXPECT_EQ(adapter_->findHardDrive(0, 20), nullptr);
}

// A task list of one task with the given id and task function.
std::vector<uint8_t> oneTask(uint32_t id, uint32_t function)
{
    std::vector<uint8_t> reply = words({1, id, function});
    reply.resize(4 + 36, 0);
    return reply;
}

// Task details in state 0 (running) at `tenths` of a percent.
std::vector<uint8_t> details(uint32_t tenths)
{
    std::vector<uint8_t> d(56, 0);
    faPutLe32(d.data() + 40, tenths);
    return d;
}

TEST_F(VynBasicLogicalDriveTest, TheRecordGivesTheDrivesModelFields)
{
    for (bool features : {true, false}) {
        SCOPED_TRACE(features);
        drive_.reset();
        for (int f : {27, 270, 276})
            adapter_->setFeature(static_cast<FeatureEnum>(f), features ? 1 : 0);
        // Container 64 is beyond what the host's view is probed for.
        FSA_CONTAINER_INFO_EXTND r = containerRecord(64, 1, true, 0, {});
        std::memcpy(r.bytes + 12, "Data  \t         ", 16);
        const uint8_t created[7] = {7, 14, 0xE9, 0x07, 13, 5, 9};
        std::memcpy(r.bytes + 88, created, sizeof created);
        faPutLe32(r.bytes + 60, 3);
        faPutLe32(r.bytes + 76, 50);
        faPutLe32(r.bytes + 240, 1);
        faPutLe32(r.bytes + 488, 0x11);
        faPutLe32(r.bytes + 492, 0x3);
        faPutLe32(r.bytes + 496, 10);
        faPutLe32(r.bytes + 500, 20);
        faPutLe32(r.bytes + 504, 30);
        faPutLe32(r.bytes + 508, 1);
        faPutLe32(r.bytes + 96, 262144);
        r.bytes[56] = 'E';
        faPutLe32(r.bytes + 512, 1);
        faPutLe32(r.bytes + 524, 1);
        r.bytes[528] = 3;
        VynBasicLogicalDrive* ld = build(keep(r, words({1, 0x1}), words({0, 0x2})), RAID_LEVEL_1);
        EXPECT_STREQ(ld->getName(), "Data");
        const LogicalDriveCreationDate& date = ld->getCreationDate();
        EXPECT_EQ(date.dateValid, 1u);
        EXPECT_EQ(date.month, 7u);
        EXPECT_EQ(date.day, 14u);
        EXPECT_EQ(date.year, 2025u);
        EXPECT_EQ(date.timeValid, 1u);
        EXPECT_EQ(date.hour, 13u);
        EXPECT_EQ(date.minute, 5u);
        EXPECT_EQ(date.second, 9u);
        EXPECT_EQ(ld->getUniqueID(), 0x5A000040u);
        EXPECT_EQ(ld->getOsDiskNumber(), 3);
        EXPECT_EQ(ld->getTaskPriority(), PRIORITY_MEDIUM);
        EXPECT_TRUE(ld->isBootDrive());
        EXPECT_EQ(ld->getForceOnlineFlags(), 0x11);
        EXPECT_TRUE(ld->getPMEnabled());
        EXPECT_EQ(ld->getPMStandbyTimer(), 10u);
        EXPECT_EQ(ld->getPMOffTimer(), 20u);
        EXPECT_EQ(ld->getPMVerifyTimer(), 30u);
        EXPECT_EQ(ld->getPMState(), 1);
        EXPECT_EQ(ld->getStripeSize(), 256);
        EXPECT_EQ(ld->getHasPartition(), 2);
        EXPECT_FALSE(ld->hasOSPartition());
        EXPECT_STREQ(ld->getDriveLetter(), "E");
        EXPECT_EQ(ld->getReadCacheSetting(), features ? 2 : 0);
        EXPECT_EQ(ld->getWriteCacheSetting(), features ? 3 : 0);
        EXPECT_EQ(ld->getWriteCacheMode(), features ? 2 : 0);
        EXPECT_EQ(ld->getOrvexaPreferredSetting(), features ? 2 : 1);
        EXPECT_EQ(ld->getOrvexaSetting(), 1);
        EXPECT_EQ(ld->getOrvexaWriteCachePreferredSetting(), 1);
        EXPECT_EQ(ld->getOrvexaWriteCacheSetting(), features ? 2 : 1);
        EXPECT_EQ(ld->getOrvexaWriteCachePolicySetting(), features ? 3 : 5);
    }
}

TEST_F(VynBasicLogicalDriveTest, ASnapshotShowsItsFirstMembersNameDateFlagsAndStripe)
{
    disk(0);
    FSA_CONTAINER_INFO_EXTND base = containerRecord(3, 1, true, 1000, {{0, 0, 0, 128, 1000}});
    std::memcpy(base.bytes + 12, "Base            ", 16);
    base.bytes[88] = 7;
    faPutLe32(base.bytes + 480, 0x1000);
    faPutLe32(base.bytes + 96, 131072);
    keep(base);
    FSA_CONTAINER_INFO_EXTND top = containerRecord(9, 5, false, 1000, {member(3)});
    std::memcpy(top.bytes + 12, "Top             ", 16);
    faPutLe32(top.bytes + 96, 65536);
    VynLogicalDriveInfo* info = keep(top);
    VynBasicLogicalDrive* ld = build(info, RAID_LEVEL_1);
    EXPECT_STREQ(ld->getName(), "Base");
    EXPECT_EQ(ld->getCreationDate().month, 7u);
    EXPECT_EQ(info->word(480) & 0x1000, 0x1000u);
    EXPECT_EQ(ld->getSubState(), 7);
    EXPECT_EQ(ld->getStripeSize(), 128);
}

TEST_F(VynBasicLogicalDriveTest, TheRecordsStateWordsGiveStateAndSubState)
{
    struct Case {
        uint32_t notRedundant;
        uint32_t initiallyRedundant;
        uint32_t flags;
        uint32_t unconfig;
        uint32_t quickInit;
        EnumLogicalDeviceState state;
        int subState;
    };
    const Case cases[] = {
        {1, 1, 0, 0, 0, LD_DEGRADED, 0x7FFFFFFF}, {1, 1, 0x8, 0, 0, LD_OPTIMAL, 7}, {1, 1, 0x4, 0, 0, LD_OPTIMAL, 7},
        {1, 0, 0, 0, 0, LD_OPTIMAL, 7},           {0, 0, 0, 1, 0, LD_FAILED, 0x7FFFFFFF},
        {0, 0, 0, 0, 1, LD_OPTIMAL, 8},           {0, 0, 0x1000, 0, 0, LD_OPTIMAL, 7},
        {0, 0, 0x1000, 0, 1, LD_OPTIMAL, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.notRedundant << c.initiallyRedundant << " " << c.flags << " "
                                        << c.unconfig << c.quickInit);
        drive_.reset();
        FSA_CONTAINER_INFO_EXTND r = containerRecord(1, 1, true, 0, {});
        faPutLe32(r.bytes + 236, c.notRedundant);
        faPutLe32(r.bytes + 252, c.initiallyRedundant);
        faPutLe32(r.bytes + 480, c.flags);
        faPutLe32(r.bytes + 476, c.unconfig);
        faPutLe32(r.bytes + 472, c.quickInit);
        VynBasicLogicalDrive* ld = build(keep(r), RAID_LEVEL_1);
        EXPECT_EQ(ld->getState(), c.state);
        EXPECT_EQ(ld->getSubState(), c.subState);
    }
}

TEST_F(VynBasicLogicalDriveTest, ARunningTaskSetsTheStateFromTheDrivesProgress)
{
    struct Case {
        uint32_t type;
        FSA_STATUS listed;
        uint32_t function;
        EnumLogicalDeviceState state;
        int subState;
    };
    const Case cases[] = {
        {1, 1, 0, LD_FAILED, 6},          // clearing
        {1, 1, 5, LD_DEGRADED, 7},        // rebuilding
        {45, 1, 5, LD_OPTIMAL, 7},        // rebuilding RAID 6
        {1, 1, 1, LD_OPTIMAL, 0x7FFFFFFF},  // verifying
        {1, 31, 0, LD_OPTIMAL, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.listed << " " << c.function);
        drive_.reset();
        fsa_->clearCalls();
        FSA_CONTAINER_INFO_EXTND r = containerRecord(5, c.type, true, 0, {});
        faPutLe32(r.bytes + 192, 1);
        // Tasks of a container related below 64 run on that one.
        faPutLe32(r.bytes + 104, 7);
        fsa_->script("FsaGetTaskList", c.listed, oneTask(77, c.function));
        if (c.listed == 1)
            fsa_->script("FsaGetTaskDetails", 1, details(250));
        VynBasicLogicalDrive* ld = build(keep(r), RAID_LEVEL_1);
        EXPECT_EQ(ld->getState(), c.state);
        EXPECT_EQ(ld->getSubState(), c.subState);
        EXPECT_EQ(fsa_->containersAsked().back(), 7u);
    }
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetTaskList() fsaStatus=31 ***"), 1u);
}

TEST_F(VynBasicLogicalDriveTest, TheProgressOfADriveOfMembersIsTheLeastAdvancedTask)
{
    disk(0);
    disk(1);
    keep(containerRecord(3, 1, true, 1000, {{0, 0, 0, 128, 1000}}));
    keep(containerRecord(70, 1, true, 1000, {{0, 0, 1, 128, 1000}}));
    VynBasicLogicalDrive* ld = build(keep(containerRecord(9, 2, false, 2000, {member(3), member(70)})), RAID_LEVEL_10);
    fsa_->clearCalls();
    // None on the drive's own container; container 3 has two tasks, the
    // list is asked again with room for both; 70 has one.
    fsa_->script("FsaGetTaskList", 1, words({0}));
    fsa_->script("FsaGetTaskList", 5, words({2}));
    std::vector<uint8_t> two = words({2, 81, 1});
    two.resize(4 + 72, 0);
    fsa_->script("FsaGetTaskList", 1, two);
    fsa_->script("FsaGetTaskDetails", 1, details(300));
    fsa_->script("FsaGetTaskList", 1, oneTask(82, 1));
    fsa_->script("FsaGetTaskDetails", 1, details(100));
    ProgressCollection progress;
    EXPECT_EQ(ld->getProgress(progress), Ret(0));
    ASSERT_EQ(progress.getSize(), 1u);
    EXPECT_EQ(progress.getProgress(0)->getType(), TASK_TYPE_VERIFY);
    EXPECT_EQ(progress.getProgress(0)->getPercent(), 10u);
    EXPECT_EQ(progress.getProgress(0)->getTaskID(), 82u);
    EXPECT_EQ(progress.getProgress(0)->getDeviceAddr()->getLogicalDriveID(), 9u);
    EXPECT_EQ(fsa_->count("FsaGetTaskList"), 4u);

    // Without tasks the collection stays empty.
    fsa_->scriptTimes("FsaGetTaskList", 3, 1, words({0}));
    ProgressCollection none;
    EXPECT_EQ(ld->getProgress(none), Ret(0));
    EXPECT_EQ(none.getSize(), 0u);
}

TEST_F(VynBasicLogicalDriveTest, ChunksWriteTheirPartitionRecord)
{
    disk(0);
    std::vector<uint8_t> p = partition(4, 12);
    faPutLe32(p.data() + 32, 7);
    faPutLe32(p.data() + 48, 3);
    faPutLe32(p.data() + 52, 11);
    faPutLe32(p.data() + 64, 1);
    fsa_->script("FsaGetFsaPartitionInfo", 1, p);
    VynBasicLogicalDrive* ld = primary(1, RAID_LEVEL_1, 1);
    const std::string xml = xmlOf(*ld->getHardDriveChunk(0));
    size_t at = 0;
    for (const char* attribute : {"fsaPartitionType=\"4\"", "fsaPrimaryContainerType=\"7\"", "fsaPrimaryContainerNum=\"9\"",
                                  "fsaSecondaryContainerType=\"3\"", "fsaSecondaryContainerNum=\"11\"",
                                  "fsaReadOnly=\"true\"", "fsaMirrorSlaveSpace=\"false\"", "fsaBadBlockCount=\"12\""}) {
        at = xml.find(attribute, at);
        ASSERT_NE(at, std::string::npos) << attribute << "\n" << xml;
    }
}

// The tree build over the simulated controller: spares, the container
// records, the logical drives and their dedicated spares.
class VynTreeLogicalDrivesTest : public vyntest::FamilyTest {
protected:
    // Builds the first controller of a simulator of `description`, with
    // room for `spareLimit` spares in a list (the simulated controller
    // reports none).
    void build(const std::string& description, uint32_t spareLimit = 8)
    {
        startController(description);
        adapter_ = openController();
        ASSERT_NE(adapter_, nullptr);
        FSA_GENERAL_INFO2 info = *adapter_->getFsaInfo();
        faPutLe32(info.bytes + GI_MAX_GLOBAL_SPARES, spareLimit);
        adapter_->setFsaGeneralInfo(&info);
        adapter_->buildChildren(ret_);
    }
    // The container walk answers these records, then its end.
    static void walk(ScriptedFsaExports& fsa, const std::vector<FSA_CONTAINER_INFO_EXTND>& records)
    {
        for (const FSA_CONTAINER_INFO_EXTND& r : records)
            fsa.script("FsaGetContainerInfo2", 1, std::vector<uint8_t>(r.bytes, r.bytes + sizeof r.bytes));
        fsa.script("FsaGetContainerInfo2", 17);
        fsa.scriptAlways("FsaContainerGetCacheParams", 1, words({0, 0}));
        fsa.scriptAlways("FsaContainerGetCacheMode", 1, words({0, 0}));
        fsa.scriptAlways("FsaGetFsaPartitionInfo", 1, partition(0));
    }
    std::vector<VynBasicLogicalDrive*> drives() const
    {
        std::vector<RaidObject*> nodes;
        adapter_->getChildren(nodes, "VynBasicLogicalDrive", false, true);
        std::vector<VynBasicLogicalDrive*> out;
        for (RaidObject* node : nodes)
            out.push_back(static_cast<VynBasicLogicalDrive*>(node));
        return out;
    }
    HardDrive* hardDrive(uint32_t channel, uint32_t device) const
    {
        return adapter_->findHardDrive(channel, device);
    }

    vyntest::TreePtr<VynAdapter> adapter_;
    Ret ret_;
};

TEST_F(VynTreeLogicalDrivesTest, TheDefaultControllerHasItsRaid5AndItsGlobalSpare)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaFailoverSpace", 1, spares({{0, 3}}));
    fsa.scriptAlways("FsaFailoverSpace", 1, words({0}));
    build("base = default\n");
    EXPECT_EQ(ret_, Ret());
    const std::vector<VynBasicLogicalDrive*> found = drives();
    ASSERT_EQ(found.size(), 1u);
    VynBasicLogicalDrive* data = found[0];
    EXPECT_EQ(data->getLogicalDriveID(), 0u);
    EXPECT_STREQ(data->getName(), "Data");
    EXPECT_EQ(data->getRaidLevel(), RAID_LEVEL_5);
    EXPECT_EQ(data->getState(), LD_OPTIMAL);
    EXPECT_EQ(data->getStripeSize(), 256);
    ASSERT_EQ(data->getNumHardDriveChunks(), 3u);
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(data->getHardDrive(i), hardDrive(0, i));
        EXPECT_EQ(data->getHardDriveChunk(i)->getStartSector(), 128u);
    }
    EXPECT_EQ(data->getParitySpace(), data->getHardDriveChunk(0)->getNumSector());
    HardDrive* spare = hardDrive(0, 3);
    ASSERT_NE(spare, nullptr);
    EXPECT_EQ(spare->getState(), PD_HOT_SPARE);
    EXPECT_EQ(spare->getSpareType(), SPARE_GLOBAL);
    // The global list without a container, then the drive's own.
    EXPECT_EQ(fsa.containersAsked(), (std::vector<uint32_t>{0xFFFFFFFFu, 0}));
    EXPECT_EQ(adapter_->numLogicalInfo(), 1u);
    const std::string trace = traceLog();
    EXPECT_NE(trace.find("ctr:0  cacheParams r:"), std::string::npos);
}

TEST_F(VynTreeLogicalDrivesTest, TheDefaultControllersSpareComesFromTheController)
{
    build("base = default\n");
    EXPECT_EQ(ret_, Ret());
    HardDrive* spare = hardDrive(0, 3);
    ASSERT_NE(spare, nullptr);
    EXPECT_EQ(spare->getState(), PD_HOT_SPARE);
    EXPECT_EQ(spare->getSpareType(), SPARE_GLOBAL);
    ASSERT_EQ(drives().size(), 1u);
}

TEST_F(VynTreeLogicalDrivesTest, FailedSpareListsAreReportedAndTheBuildGoesOn)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaFailoverSpace", 31);
    fsa.script("FsaFailoverSpace", 479);
    build("base = default\n");
    EXPECT_EQ(ret_.getAPIReturn(), 479u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_GET_GLOBAL_SPARE,x,x) fsaStatus=31 ***"), 1u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaFailoverSpace(x,x,FSA_FF_GETFAILOVER,x,x) fsaStatus=479 ***"), 1u);
    EXPECT_EQ(drives().size(), 1u);
    EXPECT_EQ(hardDrive(0, 3)->getSpareType(), SPARE_NONE);
}

TEST_F(VynTreeLogicalDrivesTest, RecordsBeyondTheTopLevelAndTheCachePoolAreNotHung)
{
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, words({0}));
    FSA_CONTAINER_INFO_EXTND pool = containerRecord(40, 55, true, 4096, {{0, 0, 7, 128, 4096}});
    FSA_CONTAINER_INFO_EXTND beyond = containerRecord(33, 1, true, 1000, {{0, 0, 4, 128, 1000}});
    FSA_CONTAINER_INFO_EXTND shown = containerRecord(32, 1, true, 1000, {{0, 0, 5, 128, 1000}});
    walk(fsa, {pool, beyond, shown});
    build("base = default\n");
    EXPECT_EQ(ret_, Ret());
    EXPECT_EQ(adapter_->numLogicalInfo(), 3u);
    const std::vector<VynBasicLogicalDrive*> found = drives();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->getLogicalDriveID(), 32u);
    EXPECT_EQ(adapter_->getOrvexaReadCachePoolSize(), 4096u);
    EXPECT_EQ(adapter_->getNumLogicalDrives(), 1u);
    // The pool's drive is kept by the controller, its chunk on the SSD.
    // (The drives' own children besides: their reserved metadata areas.)
    auto memberChunks = [](HardDrive* drive) {
        std::vector<RaidObject*> chunks;
        drive->getChildren(chunks, "VynChunk", false, true);
        return chunks.size();
    };
    EXPECT_EQ(memberChunks(hardDrive(0, 7)), 1u);
    EXPECT_EQ(memberChunks(hardDrive(0, 4)), 0u);
}

TEST_F(VynTreeLogicalDrivesTest, AFailedCacheModeReadKeepsTheParametersAndTheWalkGoesOn)
{
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, words({0}));
    fsa.script("FsaContainerGetCacheParams", 1, words({1, 2}));
    fsa.script("FsaContainerGetCacheMode", 31);
    walk(fsa, {containerRecord(1, 1, true, 1000, {{0, 0, 4, 128, 1000}}),
               containerRecord(2, 1, true, 1000, {{0, 0, 5, 128, 1000}})});
    build("base = default\n");
    EXPECT_EQ(ret_.getAPIReturn(), 31u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaContainerGetCacheMode() fsaStatus=31 ***"), 1u);
    ASSERT_EQ(adapter_->numLogicalInfo(), 2u);
    const uint8_t* mode = adapter_->getLogicalInfo(0)->getCacheMode();
    EXPECT_EQ(faGetLe32(mode), 1u);
    EXPECT_EQ(faGetLe32(mode + 4), 2u);
    EXPECT_NE(traceLog().find("ctr:1  cacheParams r:1  w:2   cacheMode r:1  w:2"), std::string::npos);
    EXPECT_EQ(drives().size(), 2u);
}

TEST_F(VynTreeLogicalDrivesTest, SnapshotsTakeTheLevelOfTheirFirstMember)
{
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, words({0}));
    FSA_CONTAINER_INFO_EXTND raid5 =
        containerRecord(40, 4, true, 2000, {{0, 0, 4, 128, 1000}, {0, 0, 5, 128, 1000}, {0, 0, 6, 128, 1000}});
    // The third is a snapshot without members: no first member to ask.
    walk(fsa, {raid5, containerRecord(1, 5, false, 2000, {member(40)}), containerRecord(2, 6, false, 10, {member(50)}),
               containerRecord(3, 5, false, 10, {})});
    build("base = default\n");
    const std::vector<VynBasicLogicalDrive*> found = drives();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0]->getRaidLevel(), RAID_LEVEL_5);
    EXPECT_EQ(found[0]->getDataSpace(), 2000u);
    EXPECT_EQ(found[1]->getRaidLevel(), RAID_LEVEL_NONE);
    EXPECT_EQ(found[2]->getRaidLevel(), RAID_LEVEL_NONE);
}

TEST_F(VynTreeLogicalDrivesTest, AMorphingContainerIsHungAsSourceThenDestination)
{
    // 10 morphs from 41 into 42; 40 is the container it relates to. The
    // three are beyond the top-level limit: only the pair shows them.
    FSA_CONTAINER_INFO_EXTND related = containerRecord(40, 1, true, 1000, {});
    faPutLe32(related.bytes + 4, 0x00100007);
    faPutLe32(related.bytes + 40, 12);
    faPutLe32(related.bytes + 480, 0x200 | 0x400);
    std::memcpy(related.bytes + 420, "/dev/sdq", 8);
    FSA_CONTAINER_INFO_EXTND source = containerRecord(41, 1, true, 1000, {{0, 0, 4, 128, 1000}});
    FSA_CONTAINER_INFO_EXTND destination = containerRecord(42, 4, true, 3000, {{0, 0, 5, 128, 1000}});
    faPutLe32(destination.bytes + 480, 0x800 | 0x40);
    FSA_CONTAINER_INFO_EXTND morph = containerRecord(10, 16, false, 1000, {});
    faPutLe32(morph.bytes + 104, 40);
    faPutLe32(morph.bytes + 116, 41);
    faPutLe32(morph.bytes + 128, 42);
    for (bool withSource : {true, false}) {
        SCOPED_TRACE(withSource);
        ScriptedFsaExports fsa;
        fsa.scriptAlways("FsaFailoverSpace", 1, words({0}));
        std::vector<FSA_CONTAINER_INFO_EXTND> records = {related, destination, morph};
        if (withSource)
            records.insert(records.begin() + 1, source);
        walk(fsa, records);
        build("base = default\n");
        const std::vector<VynBasicLogicalDrive*> found = drives();
        ASSERT_EQ(found.size(), withSource ? 2u : 1u);
        VynBasicLogicalDrive* to = found.back();
        EXPECT_EQ(to->getLogicalDriveID(), 10u);
        EXPECT_EQ(to->getRaidLevel(), RAID_LEVEL_5);
        EXPECT_EQ(to->getDataSpace(), 3000u);
        EXPECT_EQ(to->getMorphType(), 2);
        const VynLogicalDriveInfo* info = to->getLogicalDriveInfo();
        EXPECT_EQ(info->word(104), 40u);
        EXPECT_EQ(info->word(4), 0x00100007u);
        EXPECT_EQ(info->word(40), 12u);
        EXPECT_EQ(info->getDeviceName(), "/dev/sdq");
        // Bits are only added.
        EXPECT_EQ(info->word(480), 0x200u | 0x400u | 0x800u | 0x40u);
        if (withSource) {
            VynBasicLogicalDrive* from = found[0];
            EXPECT_EQ(from->getLogicalDriveID(), 41u);
            EXPECT_EQ(from->getMorphType(), 1);
            EXPECT_EQ(from->getMorphPartnerID(), 10);
            EXPECT_EQ(from->getMorphPartner(), to);
            EXPECT_EQ(to->getMorphPartnerID(), 41);
            EXPECT_EQ(to->getMorphPartner(), from);
            EXPECT_EQ(to->getState(), LD_RECONFIGURING);
        } else {
            EXPECT_EQ(to->getMorphPartner(), nullptr);
            EXPECT_EQ(to->getMorphPartnerID(), 0x7FFFFFFF);
            EXPECT_EQ(to->getState(), LD_FAILED);
        }
        adapter_.reset();
    }
}

TEST_F(VynTreeLogicalDrivesTest, DedicatedSparesAreLinkedAndARelatedContainerIsAskedForThem)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaFailoverSpace", 1, words({0}));
    fsa.script("FsaFailoverSpace", 1, spares({{0, 6}, {0, 13}}));
    fsa.script("FsaFailoverSpace", 1, spares({{0, 7}}));
    FSA_CONTAINER_INFO_EXTND plain = containerRecord(1, 1, true, 1000, {{0, 0, 4, 128, 1000}});
    FSA_CONTAINER_INFO_EXTND related = containerRecord(2, 1, true, 1000, {{0, 0, 5, 128, 1000}});
    faPutLe32(related.bytes + 100, 3);
    faPutLe32(related.bytes + 104, 9);
    walk(fsa, {plain, related});
    build("base = default\n");
    EXPECT_EQ(fsa.containersAsked(), (std::vector<uint32_t>{0xFFFFFFFFu, 1, 9}));
    const std::vector<VynBasicLogicalDrive*> found = drives();
    ASSERT_EQ(found.size(), 2u);
    ASSERT_EQ(found[0]->getNumAssignedSpares(), 1u);
    EXPECT_EQ(found[0]->getAssignedSpare(0), hardDrive(0, 6));
    EXPECT_EQ(found[1]->getAssignedSpare(0), hardDrive(0, 7));
    EXPECT_EQ(hardDrive(0, 13), nullptr);
}

}  // namespace
