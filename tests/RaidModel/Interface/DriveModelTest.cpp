#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/FreeSpace.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/ModelXml.h"
#include "common/XMLWriter.h"

using vyntest::attributesOf;
using vyntest::ParsedXml;

namespace {

constexpr unsigned long UNSET = 0x7FFFFFFF;

// A controller whose reserved areas a test chooses.
class ReservingAdapter : public Adapter {
public:
    ReservingAdapter(unsigned beginning, unsigned end)
    {
        reservedInBeginning = beginning;
        reservedInEnd = end;
        setAdapterID(0);
    }
};

Chunk* newChunk(RaidObject* provider, LogicalDrive* consumer, unsigned long long start, unsigned long long count,
                int type = 1)
{
    return new Chunk(provider, consumer, start, count, static_cast<EnumChunkType>(type), 0, CHUNK_STATE_NORMAL,
                     UNSET, UNSET);
}

HardDrive* newDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size,
                    EnumPhysicalDeviceState state = PD_READY)
{
    return new HardDrive(adapter, channel, deviceID, size, state, nullptr, nullptr, nullptr, nullptr, false,
                         static_cast<EnumHardDriveCacheMode>(4), false, false, false, nullptr, false);
}

BasicLogicalDrive* newLogical(Adapter* adapter, unsigned long id, unsigned long long dataSpace = 0)
{
    return new BasicLogicalDrive(adapter, nullptr, id, LD_OPTIMAL, RAID_LEVEL_1, dataSpace, 0, false,
                                 static_cast<EnumLogicalDriveCacheMode>(0), false, false);
}

// A controller with one channel; the tree is freed with the fixture.
class DriveTree : public ::testing::Test {
protected:
    DriveTree() : adapter(new ReservingAdapter(64, 32)), channel(new SASChannel(adapter, 0, SPEED_UNSET))
    {
        adapter->addChild(channel);
    }
    ~DriveTree() override
    {
        adapter->deleteAllChildren();
        delete adapter;
    }

    HardDrive* addDrive(unsigned long deviceID, unsigned long long size, EnumPhysicalDeviceState state = PD_READY)
    {
        HardDrive* drive = newDrive(adapter, channel, deviceID, size, state);
        channel->addChild(drive);
        return drive;
    }
    BasicLogicalDrive* addLogical(unsigned long id, unsigned long long dataSpace = 0)
    {
        BasicLogicalDrive* ld = newLogical(adapter, id, dataSpace);
        adapter->addChild(ld);
        return ld;
    }
    // One extent as the controller family records it: a chunk under the
    // logical drive and its twin under the drive.
    void useExtent(HardDrive* drive, LogicalDrive* ld, unsigned long long start, unsigned long long count)
    {
        ld->addChild(newChunk(drive, ld, start, count));
        drive->addChild(newChunk(drive, ld, start, count));
    }

    Adapter* adapter;
    Channel* channel;
};

std::vector<FreeSpace> nonEmpty(const FreeSpaceVector& v)
{
    std::vector<FreeSpace> out;
    for (const FreeSpace& e : v.getExtents()) {
        if (e.numSectors != 0) {
            out.push_back(e);
        }
    }
    return out;
}

void expectExtents(const std::vector<FreeSpace>& got,
                   const std::vector<std::pair<unsigned long long, unsigned long long>>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].startSector, want[i].first) << i;
        EXPECT_EQ(got[i].numSectors, want[i].second) << i;
    }
}

// ---------------------------------------------------------------- free space

TEST(FreeSpaceVectorTest, StartsWithOneUnboundedExtentAndNoBiggest)
{
    FreeSpaceVector v;
    expectExtents(v.getExtents(), {{0, ~0ULL}});
    EXPECT_EQ(v.BigFreeStartSector(), 0u);
    EXPECT_EQ(v.BigFreeNumSectors(), 0u);
}

TEST(FreeSpaceVectorTest, SplitAppendsTheTailAndCoveringLeavesAnEmptySlot)
{
    FreeSpaceVector v;
    v.SetNumSectors(100);
    v.SubtractUsedSpace(40, 10);
    expectExtents(v.getExtents(), {{0, 40}, {50, 50}});
    EXPECT_EQ(v.BigFreeStartSector(), 50u);
    v.SubtractUsedSpace(0, 40);
    expectExtents(v.getExtents(), {{0, 0}, {50, 50}});
    // An empty range changes nothing, not even the biggest extent.
    v.SubtractUsedSpace(60, 0);
    expectExtents(v.getExtents(), {{0, 0}, {50, 50}});
}

TEST(FreeSpaceVectorTest, FindAdequateIsBestFitFirstOfEquals)
{
    FreeSpaceVector v;
    v.SetNumSectors(100);
    v.SubtractUsedSpace(50, 10);
    v.SubtractUsedSpace(72, 16);
    expectExtents(v.getExtents(), {{0, 50}, {60, 12}, {88, 12}});

    struct Case {
        unsigned long long size, start, found;
    } cases[] = {{10, 60, 12}, {12, 60, 12}, {13, 0, 50}, {51, 0, 0}, {0, 0, 50}};
    for (const Case& c : cases) {
        unsigned long long start = 99;
        unsigned long long size = c.size;
        v.FindAdequate(start, size);
        EXPECT_EQ(start, c.start) << c.size;
        EXPECT_EQ(size, c.found) << c.size;
    }
}

TEST_F(DriveTree, InitFreeSpaceTakesReservedAreasAndChunks)
{
    HardDrive* drive = addDrive(1, 1000);
    drive->addChild(newChunk(drive, nullptr, 100, 200));
    drive->InitFreeSpace(0);
    expectExtents(nonEmpty(drive->freeSpace), {{64, 36}, {300, 668}});
    EXPECT_EQ(drive->freeSpace.BigFreeStartSector(), 300u);
    EXPECT_EQ(drive->freeSpace.BigFreeNumSectors(), 668u);
}

// ---------------------------------------------------------------- holes

TEST_F(DriveTree, HolesStartOneSectorApartInTheTwoWalks)
{
    HardDrive* drive = addDrive(1, 1000);
    BasicLogicalDrive* ld = addLogical(1);
    useExtent(drive, ld, 0, 100);
    useExtent(drive, ld, 100, 50);

    std::vector<Chunk*> holes = drive->enumerateHoles();
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(holes[0]->getStartSector(), 151u);
    EXPECT_EQ(holes[0]->getNumSector(), 849u);
    EXPECT_EQ(holes[0]->getGroup(), 2u);
    EXPECT_EQ(holes[0]->getDeviceID(), 1u);
    for (Chunk* hole : holes) {
        delete hole;
    }

    holes = drive->enumerateHolesFromHarddisk();
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(holes[0]->getStartSector(), 150u);
    EXPECT_EQ(holes[0]->getNumSector(), 850u);
    for (Chunk* hole : holes) {
        delete hole;
    }
}

TEST_F(DriveTree, LargestHoleIsTheBiggestAndTheOthersAreFreed)
{
    HardDrive* drive = addDrive(1, 1000);
    BasicLogicalDrive* ld = addLogical(1);
    useExtent(drive, ld, 100, 100);
    useExtent(drive, ld, 300, 100);
    std::unique_ptr<Chunk> largest(drive->getLargestHoleToCreateLogical());
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->getStartSector(), 400u);
    EXPECT_EQ(largest->getNumSector(), 600u);
    std::unique_ptr<Chunk> none(addDrive(2, 0)->getLargestHole());
    EXPECT_EQ(none, nullptr);
}

TEST_F(DriveTree, ChunkRunningPastTheSectorRangeEndsTheWalk)
{
    HardDrive* drive = addDrive(1, 1000);
    drive->addChild(newChunk(drive, nullptr, 0, ~0ULL));
    EXPECT_TRUE(drive->enumerateHolesFromHarddisk().empty());
}

// ---------------------------------------------------------------- chunks

TEST_F(DriveTree, ChunkWithConsumerTurnsAReadyDriveOnline)
{
    struct Case {
        EnumPhysicalDeviceState before;
        bool consumer;
        EnumPhysicalDeviceState after;
    } cases[] = {{PD_READY, true, PD_ONLINE}, {PD_READY, false, PD_READY}, {PD_FAILED, true, PD_FAILED}};
    unsigned long id = 1;
    for (const Case& c : cases) {
        HardDrive* drive = addDrive(id++, 1000, c.before);
        BasicLogicalDrive* ld = addLogical(id);
        std::unique_ptr<Chunk> chunk(newChunk(drive, c.consumer ? ld : nullptr, 10, 20));
        EXPECT_EQ(drive->getState(), c.after);
        EXPECT_EQ(chunk->getChannelID(), 0u);
        EXPECT_EQ(chunk->getDeviceID(), drive->getDeviceID());
        EXPECT_EQ(chunk->getChunkID(), 10u);
    }
}

TEST_F(DriveTree, ChunkOfALogicalProviderIsALogicalDriveChunk)
{
    BasicLogicalDrive* outer = addLogical(5);
    BasicLogicalDrive* member = newLogical(adapter, 7);
    outer->addChild(member);
    Chunk* chunk = newChunk(member, outer, 0, 100);
    EXPECT_EQ(chunk->getLogicalDriveID(), 7u);
    EXPECT_EQ(chunk->getDeviceID(), UNSET);
    outer->addChild(chunk);
    EXPECT_EQ(outer->getNumHardDriveChunks(), 0u);
    EXPECT_EQ(outer->getLogicalDriveChunk(0), chunk);
    EXPECT_EQ(outer->getLogicalDrive(0), member);
}

TEST(ChunkTest, DriveWithoutChannelOrControllerGivesNoIds)
{
    std::unique_ptr<HardDrive> drive(newDrive(nullptr, nullptr, 3, 1000));
    std::unique_ptr<Chunk> chunk(newChunk(drive.get(), nullptr, 0, 10));
    EXPECT_EQ(chunk->getChannelID(), UNSET);
    EXPECT_EQ(chunk->getDeviceID(), 3u);

    std::unique_ptr<Chunk> orphan(new Chunk(0, 3, 0, 10, 0, 0, static_cast<EnumChunkType>(1), CHUNK_STATE_NORMAL,
                                            UNSET, UNSET));
    EXPECT_EQ(orphan->getPhysicalDevice(), nullptr);
}

TEST_F(DriveTree, ChunkFindsItsDriveByAddressUnderItsController)
{
    HardDrive* drive = addDrive(4, 1000);
    drive->setEnclosureID(2);
    BasicLogicalDrive* ld = addLogical(1);
    Chunk* chunk = new Chunk(0, 4, 0, 10, 0, 0, static_cast<EnumChunkType>(1), CHUNK_STATE_NORMAL, UNSET, UNSET);
    ld->addChild(chunk);
    EXPECT_EQ(chunk->getPhysicalDevice(), drive);
    char* text = nullptr;
    {
        XMLWriter writer(&text);
        chunk->writeToXML(&writer);
        const std::string xml(text);
        EXPECT_NE(xml.find(" enclosureID=\"2\""), std::string::npos);
        EXPECT_EQ(xml.find("slotID"), std::string::npos);
    }
}

TEST_F(DriveTree, ChunkWritesStartLengthAndGroupTwiceAndReadsThemBack)
{
    HardDrive* drive = addDrive(1, 1000);
    BasicLogicalDrive* ld = addLogical(9);
    Chunk* chunk = new Chunk(drive, ld, 6000000000ULL, 300, static_cast<EnumChunkType>(2), 4, CHUNK_STATE_NORMAL,
                             UNSET, 3);
    ld->addChild(chunk);
    const std::string attrs = attributesOf(*chunk);
    for (const char* expected :
         {" consumerLogicalID=\"9\"", " startSector=\"6000000000\"", " numSectors=\"300\"", " group=\"4\"",
          " groupSize=\"3\"", " chunkType=\"2\"", " startBlock=\"6000000000\"", " numBlocks=\"300\"",
          " groupNum=\"4\""}) {
        EXPECT_NE(attrs.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(attrs.find("groupPosition"), std::string::npos);

    ParsedXml xml(vyntest::xmlOf(*chunk));
    Chunk read(nullptr, nullptr, xml.parser());
    EXPECT_EQ(read.getStartSector(), 6000000000ULL);
    EXPECT_EQ(read.getChunkID(), 6000000000ULL);
    EXPECT_EQ(read.getGroupPosition(), UNSET);
    EXPECT_EQ(read.getGroupSize(), 3u);
    EXPECT_EQ(read.getEnclosureID(), UNSET);
    EXPECT_TRUE(read == *chunk);
}

// ---------------------------------------------------------------- logical drives

TEST(LogicalDriveTest, MergeStateFollowsItsTable)
{
    struct Row {
        int current, reported, result;
    } rows[] = {
        {2, 1, 1}, {2, 3, 3},  {4, 3, 6}, {5, 3, 7}, {1, 3, 1},  {6, 3, 6}, {7, 3, 7}, {8, 3, 3},
        {2, 4, 4}, {3, 4, 6},  {8, 4, 9}, {5, 4, 5}, {2, 5, 5},  {3, 5, 7}, {8, 5, 10}, {4, 5, 4},
        {0, 8, 8}, {2, 8, 8},  {3, 8, 3}, {2, 0, 2}, {2, 2, 2},  {3, 9, 3},
    };
    for (const Row& r : rows) {
        LogicalDrive ld(nullptr, nullptr, 1, static_cast<EnumLogicalDeviceState>(r.current), RAID_LEVEL_0, 0, 0,
                        false, static_cast<EnumLogicalDriveCacheMode>(0), false, false);
        ld.mergeStateProperty(static_cast<EnumLogicalDeviceState>(r.reported));
        EXPECT_EQ(ld.getState(), r.result) << r.current << " + " << r.reported;
    }
}

TEST(LogicalDriveTest, UserFormWritesTheWholeSizeInMB)
{
    struct Case {
        unsigned long long blocks;
        const char* size;
    } cases[] = {{2097152ULL, " size=\"1024\" sizeUnit=\"MB\""}, {1ULL << 33, " size=\"4194304\""},
                 {1ULL << 45, " size=\"17179869184\""}};
    for (const Case& c : cases) {
        std::unique_ptr<BasicLogicalDrive> ld(newLogical(nullptr, 1, c.blocks));
        char* text = nullptr;
        XMLWriter writer(&text);
        ld->writeToXML(&writer);
        EXPECT_NE(std::string(text).find(c.size), std::string::npos) << text;
        EXPECT_NE(std::string(text).find(" initMethod=\"2\""), std::string::npos);
    }
}

TEST(LogicalDriveTest, FullFormWritesOptionalAttributesOnlyWhenSet)
{
    std::unique_ptr<BasicLogicalDrive> ld(newLogical(nullptr, 1));
    std::string attrs = attributesOf(*ld);
    for (const char* absent : {"snapshotBUMode", "morphType", "morphPartnerID"}) {
        EXPECT_EQ(attrs.find(absent), std::string::npos) << absent;
    }
    EXPECT_NE(attrs.find(" unixMountPoint=\"none\""), std::string::npos);
    ld->setMorphTypeProperty(static_cast<EnumLDMorphType>(2));
    ld->setMorphPartnerID(4);
    attrs = attributesOf(*ld);
    EXPECT_NE(attrs.find(" morphType=\"2\" morphPartnerID=\"4\""), std::string::npos);
}

TEST(LogicalDriveTest, NullNameIsEmpty)
{
    LogicalDrive ld;
    EXPECT_EQ(ld.setName("data").getReturn(), 0);
    EXPECT_STREQ(ld.getName(), "data");
    EXPECT_EQ(ld.setName(nullptr).getReturn(), 0);
    EXPECT_STREQ(ld.getName(), "");
    EXPECT_EQ(ld.getUserSize(), 0u);
    EXPECT_EQ(ld.getReadCacheMode(), 0);
    EXPECT_EQ(ld.synchronize().getReturn(), -1);
}

std::unique_ptr<BasicLogicalDrive> readLogical(const std::string& xml, Adapter* adapter = nullptr)
{
    ParsedXml parsed(xml);
    return std::unique_ptr<BasicLogicalDrive>(new BasicLogicalDrive(adapter, parsed.parser()));
}

TEST(LogicalDriveTest, ReaderTakesUnitNameAndSnapshotRules)
{
    struct Case {
        const char* unit;
        int expected;
    } units[] = {{"MB", 0}, {"gb", 1}, {"Tb", 2}, {"KB", 3}};
    for (const Case& c : units) {
        auto ld = readLogical(std::string("<LogicalDrive logicalDriveID=\"2\" size=\"10\" sizeUnit=\"") + c.unit +
                              "\"></LogicalDrive>");
        EXPECT_EQ(ld->getUserSizeUnit(), c.expected) << c.unit;
        EXPECT_EQ(ld->getUserSize(), 10u);
        EXPECT_EQ(ld->getLogicalDriveID(), 2u);
    }

    auto named = readLogical("<LogicalDrive logicalName=\"second\" name=\"first\"/>");
    EXPECT_STREQ(named->getName(), "second");

    auto plain = readLogical("<LogicalDrive snapshotType=\"0\" snapshotBUMode=\"true\" snapshotPartnerID=\"3\"/>");
    EXPECT_FALSE(plain->getSnapshotBUMode());
    EXPECT_EQ(plain->getSnapshotPartnerID(), UNSET);

    // A snapshot reads the four values whether present or not.
    auto snapshot = readLogical("<LogicalDrive snapshotType=\"1\" snapshotBUMode=\"true\"/>");
    EXPECT_TRUE(snapshot->getSnapshotBUMode());
    EXPECT_EQ(snapshot->getSnapshotPartnerID(), 0u);
}

TEST_F(DriveTree, NestedLogicalDriveBecomesAMemberWhoseChunksNameTheOuterDrive)
{
    HardDrive* drive = addDrive(1, 1000);
    auto ld = readLogical("<LogicalDrive logicalDriveID=\"3\">"
                          "<LogicalDrive logicalDriveID=\"4\">"
                          "<Chunk channelID=\"0\" deviceID=\"1\" chunkID=\"0\" startSector=\"0\" numSectors=\"10\"/>"
                          "</LogicalDrive>"
                          "</LogicalDrive>",
                          adapter);
    ASSERT_EQ(ld->getSecondLevelLogicalVector().size(), 1u);
    LogicalDrive* member = ld->getSecondLevelLogicalVector()[0];
    EXPECT_EQ(member->getParent(), ld.get());
    EXPECT_EQ(member->getLogicalDriveID(), 4u);
    ASSERT_EQ(member->getChildCount(), 1u);
    Chunk* chunk = static_cast<Chunk*>(member->getChild(0));
    EXPECT_EQ(chunk->getConsumer(), ld.get());
    EXPECT_EQ(chunk->getProvider(), member);
    EXPECT_EQ(chunk->getProviderLogical(), member);
    EXPECT_EQ(ld->getNumHardDriveChunks(), 1u);
    EXPECT_NE(drive, nullptr);
    ld->deleteAllChildren();
}

TEST_F(DriveTree, ChunkReadUnderALogicalDriveIsLinkedToTheDriveCarryingItsTwin)
{
    HardDrive* drive = addDrive(1, 1000);
    Chunk* twin = newChunk(drive, nullptr, 0, 10);
    drive->addChild(twin);
    auto ld = readLogical(std::string("<LogicalDrive logicalDriveID=\"3\">") + vyntest::xmlOf(*twin) +
                              "</LogicalDrive>",
                          adapter);
    ASSERT_EQ(ld->getNumHardDriveChunks(), 1u);
    EXPECT_EQ(ld->getHardDriveChunk(0)->getProviderHardDrive(), drive);
    EXPECT_EQ(ld->getHardDrive(0), drive);
    EXPECT_EQ(twin->getConsumer(), ld.get());
    ld->deleteAllChildren();
}

TEST_F(DriveTree, IndexesSortChunksByTheirProviderId)
{
    HardDrive* drive = addDrive(1, 1000);
    BasicLogicalDrive* ld = addLogical(1);
    Chunk* both = newChunk(drive, ld, 0, 10);
    both->setLogicalDriveID(8);
    ld->addChild(both);
    ld->addChild(newChunk(drive, ld, 20, 5));
    EXPECT_EQ(ld->getNumHardDriveChunks(), 2u);
    EXPECT_EQ(ld->getLogicalDriveChunkVector().size(), 0u);
    EXPECT_EQ(ld->getNumHardDrives(), 2u);
    EXPECT_EQ(ld->getHardDrive(1), drive);
    EXPECT_EQ(ld->getSmallestChunk()->getNumSector(), 5u);
    EXPECT_EQ(ld->getHardDrive(2), nullptr);
}

// ---------------------------------------------------------------- hard drives

TEST_F(DriveTree, DriveReadWithAssignedIdsHoldsPlaceholdersAndWritesNoList)
{
    ParsedXml xml("<HardDrive deviceID=\"6\" size=\"2000\" spareType=\"2\" assignedTo=\"3,5\" "
                  "maxUsableBlocks=\"8589934592\" isCandidateSpare=\"True\" taskInProgress=\"true\"></HardDrive>");
    HardDrive drive(adapter, channel, xml.parser());
    EXPECT_EQ(drive.getDeviceID(), 6u);
    EXPECT_EQ(drive.getSize(), 2000u);
    ASSERT_EQ(drive.getNumAssignedLogical().size(), 2u);
    EXPECT_EQ(drive.getAssignedLogicalDrive(0)->getLogicalDriveID(), 3u);
    EXPECT_EQ(drive.getAssignedLogicalDrive(1)->getLogicalDriveID(), 5u);
    EXPECT_EQ(drive.getMaxUsableBlocks(), 8589934592ULL);
    EXPECT_FALSE(drive.getCandidateSpare());
    EXPECT_TRUE(drive.getTaskInProgress());
    EXPECT_EQ(attributesOf(drive).find("assignedTo"), std::string::npos);
    EXPECT_EQ(drive.dropPlaceholders(), (std::vector<unsigned long>{3, 5}));
    EXPECT_TRUE(drive.getNumAssignedLogical().empty());
}

TEST_F(DriveTree, BayIdsAreAlwaysInTheFullFormAndOnlyWhenSetInTheUserForm)
{
    HardDrive* drive = addDrive(1, 1000);
    EXPECT_NE(attributesOf(*drive).find(" enclosureID=\"2147483647\" slotID=\"2147483647\""), std::string::npos);
    char* text = nullptr;
    XMLWriter writer(&text);
    drive->writeToXML(&writer);
    EXPECT_EQ(std::string(text).find("enclosureID"), std::string::npos);
}

TEST_F(DriveTree, DedicatedSpareLinksBothWaysWithAPairOfExtents)
{
    HardDrive* spare = addDrive(2, 1000);
    BasicLogicalDrive* first = addLogical(1);
    BasicLogicalDrive* second = addLogical(3);
    first->addAssignedSpare(spare);
    first->addAssignedSpare(spare);
    second->addAssignedSpare(spare);

    EXPECT_EQ(spare->getState(), PD_HOT_SPARE);
    EXPECT_EQ(spare->getSpareType(), SPARE_DEDICATED);
    ASSERT_EQ(spare->getSpareListSize(), 2);
    EXPECT_EQ(spare->getSpareList()[0], 1);
    EXPECT_EQ(spare->getSpareList()[1], 3);
    EXPECT_EQ(first->getNumAssignedSpares(), 1u);
    EXPECT_EQ(first->getAssignedSpare(0), spare);
    ASSERT_EQ(spare->getChunkVector().size(), 2u);
    const Chunk* chunk = spare->getChunk(0);
    EXPECT_EQ(chunk->getStartSector(), 128u);
    EXPECT_EQ(chunk->getNumSector(), 872u);
    EXPECT_EQ(chunk->getChunkType(), 3);
    EXPECT_EQ(first->getNumHardDriveChunks(), 1u);
    EXPECT_NE(attributesOf(*spare).find(" assignedTo=\"1,3\""), std::string::npos);

    // A failed drive keeps its state; a tiny one gets an empty extent.
    HardDrive* failed = addDrive(3, 100, PD_FAILED);
    first->addAssignedSpare(failed);
    EXPECT_EQ(failed->getState(), PD_FAILED);
    EXPECT_EQ(failed->getChunk(0)->getNumSector(), 0u);
}

TEST_F(DriveTree, CopyTakesTheSpareListButNoIndexes)
{
    HardDrive* spare = addDrive(2, 1000);
    addLogical(1)->addAssignedSpare(spare);
    HardDrive copy(*spare);
    EXPECT_EQ(copy.getSpareListSize(), 1);
    EXPECT_NE(copy.getSpareList(), spare->getSpareList());
    EXPECT_TRUE(copy.getChunkVector().empty());
    EXPECT_TRUE(copy.getNumAssignedLogical().empty());
    EXPECT_TRUE(copy == *spare);
}

}  // namespace
