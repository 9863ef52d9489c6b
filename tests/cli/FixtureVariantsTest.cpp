#include "cli/support/Fixtures.h"
#include "cli/support/RecordingLib.h"

#include "RaidModel/Interface/Chunk.h"

#include <gtest/gtest.h>

using namespace vyntest;

namespace {

HardDrive* driveAt(Adapter& adapter, unsigned long device)
{
    for (HardDrive* drive : adapter.getAllHardDrives())
        if (drive->getChannelID() == 0 && drive->getDeviceID() == device)
            return drive;
    return nullptr;
}

LogicalDrive* logicalAt(Adapter& adapter, unsigned long id)
{
    for (LogicalDrive* drive : adapter.getAllLogicalDrives())
        if (drive->getLogicalDriveID() == id)
            return drive;
    return nullptr;
}

TEST(FixtureVariantsTest, MixedHasADriveInEveryRole)
{
    RecordingLib lib("mixed");
    ASSERT_EQ(lib.getSystemConfig().getReturn(), 0);
    Adapter* adapter = lib.getAdapter(0);
    ASSERT_NE(adapter, nullptr);
    ASSERT_EQ(adapter->getAllHardDrives().size(), 7u);
    ASSERT_EQ(adapter->getAllLogicalDrives().size(), 2u);

    const struct {
        unsigned long device;
        EnumPhysicalDeviceState state;
        EnumSpareType spare;
        bool jbod;
        int interfaceType;
    } drives[] = {
        {0, PD_ONLINE, SPARE_NONE, false, 1},     {1, PD_ONLINE, SPARE_NONE, false, 1},
        {2, PD_HOT_SPARE, SPARE_GLOBAL, false, 1}, {3, PD_HOT_SPARE, SPARE_DEDICATED, false, 1},
        {4, PD_READY, SPARE_NONE, true, 1},       {5, PD_FAILED, SPARE_NONE, false, 1},
        {6, PD_READY, SPARE_NONE, false, 4},
    };
    for (const auto& d : drives) {
        SCOPED_TRACE(d.device);
        HardDrive* drive = driveAt(*adapter, d.device);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->getState(), d.state);
        EXPECT_EQ(drive->getSpareType(), d.spare);
        EXPECT_EQ(drive->isJBOD(), d.jbod);
        EXPECT_EQ(drive->getInterfaceType(), d.interfaceType);
    }
    HardDrive* dedicated = driveAt(*adapter, 3);
    ASSERT_EQ(dedicated->getSpareListSize(), 1);
    EXPECT_EQ(dedicated->getSpareList()[0], 0);

    LogicalDrive* lost = logicalAt(*adapter, 1);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->getState(), LD_FAILED);
    EXPECT_EQ(lost->getRaidLevel(), RAID_LEVEL_0);
    const std::vector<Chunk*> chunks = driveAt(*adapter, 5)->getChunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0]->getChunkState(), CHUNK_STATE_FAILED_SEGMENT);
    EXPECT_EQ(logicalAt(*adapter, 0)->getState(), LD_OPTIMAL);
}

}  // namespace
