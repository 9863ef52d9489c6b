#include "RaidModel/Interface/FilterCollection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/TapeDrive.h"

namespace {

// A controller with two channels added in reverse id order, each holding
// hard drives in reverse device order and one tape drive.
class ControllerTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        adapter.setAdapterID(0);
        sas = new SASChannel(&adapter, 1, SPEED_UNSET);
        scsi = new SCSIChannel(&adapter, 0, 7, SPEED_UNSET);
        addDrives(sas, {3, 1});
        addDrives(scsi, {2, 0});
        tape = new TapeDrive();
        tape->setDeviceID(9);
        scsi->addChild(tape);
        adapter.addChild(sas);
        adapter.addChild(scsi);
    }
    void TearDown() override { adapter.deleteAllChildren(); }

    void addDrives(Channel* channel, std::vector<unsigned long> ids)
    {
        for (unsigned long id : ids) {
            HardDrive* drive = new HardDrive();
            drive->setDeviceID(id);
            channel->addChild(drive);
        }
    }

    static std::vector<std::string> devicesOf(FilterCollection& c)
    {
        std::vector<std::string> out;
        for (int i = 0; i < c.size(); ++i) {
            RaidObject* o = c.elementAt(i);
            out.push_back(std::to_string(o->getChannelID()) + ":" + std::to_string(o->getDeviceID()));
        }
        return out;
    }

    Adapter adapter;
    SASChannel* sas = nullptr;
    SCSIChannel* scsi = nullptr;
    TapeDrive* tape = nullptr;
};

struct DeviceIDAbove : RaidFilter {
    explicit DeviceIDAbove(unsigned long limit, int* deleted) : limit(limit), deleted(deleted) {}
    ~DeviceIDAbove() override { ++*deleted; }
    bool matches(RaidObject* o) override { return o->getDeviceID() > limit; }
    unsigned long limit;
    int* deleted;
};

}  // namespace

TEST_F(ControllerTree, HoldsTheRootFirstThenLevelByLevel)
{
    FilterCollection all(&adapter);
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all.elementAt(0), &adapter);
    EXPECT_EQ(all.elementAt(1), sas);
    EXPECT_EQ(all.elementAt(2), scsi);
    EXPECT_EQ(all.elementAt(7), tape);
    EXPECT_EQ(all.elementAt(-1), nullptr);
    EXPECT_EQ(all.elementAt(all.size()), nullptr);
}

TEST_F(ControllerTree, HardDrivesSortByChannelThenDevice)
{
    FilterCollection drives(&adapter);
    drives.apply("HardDrive", true);
    EXPECT_EQ(devicesOf(drives), (std::vector<std::string>{"0:0", "0:2", "1:1", "1:3"}));
}

TEST_F(ControllerTree, ClassesWithoutAnOrderAreFilteredButNotSorted)
{
    FilterCollection channels(&adapter);
    channels.apply("SASChannel", true);
    ASSERT_EQ(channels.size(), 1);
    EXPECT_EQ(channels.elementAt(0), sas);

    FilterCollection unsorted(&adapter);
    unsorted.apply("Channel", false);
    EXPECT_EQ(unsorted.elementAt(0), sas);
    unsorted.resetFilters()->apply("Channel", true);
    EXPECT_EQ(unsorted.elementAt(0), scsi);
    EXPECT_EQ(unsorted.elementAt(1), sas);
}

TEST_F(ControllerTree, FiltersNarrowInTurnAndResetRestoresTheSubtree)
{
    int deleted = 0;
    FilterCollection c(&adapter);
    c.apply("PhysicalDevice", false)->apply(new DeviceIDAbove(1, &deleted));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(devicesOf(c), (std::vector<std::string>{"1:3", "0:2", "0:9"}));
    c.apply("HardDrive", true);
    EXPECT_EQ(devicesOf(c), (std::vector<std::string>{"0:2", "1:3"}));
    c.apply(static_cast<RaidFilter*>(nullptr));
    EXPECT_EQ(c.size(), 2);
    c.resetFilters();
    EXPECT_EQ(c.size(), 8);
    EXPECT_EQ(c.elementAt(0), &adapter);
}

TEST_F(ControllerTree, SortWithAGivenOrder)
{
    FilterCollection c(&adapter);
    c.apply("HardDrive", false);
    c.sort(nullptr);
    EXPECT_EQ(devicesOf(c), (std::vector<std::string>{"1:3", "1:1", "0:2", "0:0"}));
    c.sort(compareChannels);
    EXPECT_EQ(c.elementAt(0)->getChannelID(), 0u);
}

TEST(FilterCollectionAlone, RootWithoutChildrenAndTraceLines)
{
    HardDrive drive;
    universalDebugFlag = 0xF0;
    testing::internal::CaptureStderr();
    FilterCollection* c = new FilterCollection(&drive);
    EXPECT_EQ(c->size(), 1);
    c->apply("Channel", true);
    EXPECT_EQ(c->size(), 0);
    c->elementAt(3);
    delete c;
    const std::string trace = testing::internal::GetCapturedStderr();
    universalDebugFlag = 0;
    EXPECT_EQ(trace, "Constructing FilterCollection\n"
                     "FilterCollection::resetFilters()\n"
                     "FilterCollection::repackResultSet\n"
                     "FilterCollection::size\n"
                     "FilterCollection::apply(Channel)\n"
                     "FilterCollection::repackResultSet\n"
                     "FilterCollection::size\n"
                     "FilterCollection::elementAt(3)\n"
                     "Destructing FilterCollection\n");
}

TEST(FilterCollectionOrders, CompareFunctionsUseTheirIds)
{
    Adapter a0;
    Adapter a1;
    a0.setAdapterID(0);
    a1.setAdapterID(1);
    EXPECT_TRUE(compareAdapters(&a0, &a1));
    EXPECT_FALSE(compareAdapters(&a1, &a0));
    HardDrive d0;
    HardDrive d1;
    d0.setArrayID(2);
    d1.setArrayID(1);
    d0.setLogicalDriveID(1);
    d1.setLogicalDriveID(2);
    d0.setChannelID(1);
    d0.setDeviceID(0);
    d1.setChannelID(0);
    d1.setDeviceID(5);
    EXPECT_TRUE(compareArrays(&d1, &d0));
    EXPECT_TRUE(compareLogicalDrives(&d0, &d1));
    EXPECT_TRUE(compareChunks(&d1, &d0));
    EXPECT_TRUE(comparePhysicalDevices(&d1, &d0));
}
