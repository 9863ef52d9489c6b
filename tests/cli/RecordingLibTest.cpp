#include "cli/support/RecordingLib.h"

#include "RaidModel/Interface/Adapter.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/LogicalDriveSpec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace vyntest;
using ::testing::ElementsAre;

namespace {

Addr device(std::uint32_t adapter, std::uint32_t channel, std::uint32_t id)
{
    Addr addr;
    addr.setAdapterID(adapter);
    addr.setChannelID(channel);
    addr.setDeviceID(id);
    return addr;
}

TEST(RecordingLibTest, RecordsEveryCallAndAnswersAsTold)
{
    RecordingLib lib;
    lib.failWithApiStatus("setCopyBack", 609);
    char text[] = "pw";
    EXPECT_EQ(lib.createJBOD(device(0, 1, 2)).getReturn(), 0);
    const Ret failed = lib.setCopyBack(device(0, 1, 2), true);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(failed.getAPIReturn(), 609u);
    lib.startTask(device(1, 0, 3), static_cast<EnumTaskType>(2), text);
    lib.configureATAPassword(device(0, 0, 1), "secret", false);
    EXPECT_THAT(lib.calls(),
                ElementsAre("createJBOD adapter=0,channel=1,device=2",
                            "setCopyBack adapter=0,channel=1,device=2 | true",
                            "startTask adapter=1,channel=0,device=3 | 2, \"pw\"",
                            "configureATAPassword adapter=0,channel=0,device=1 | \"secret\", false"));
}

TEST(RecordingLibTest, LogicalDriveRequestsAreRecordedWithTheirChunks)
{
    RecordingLib lib;
    LogicalDriveSpec spec(static_cast<EnumRaidLevel>(1), static_cast<EnumStripeSize>(256), "Data");
    spec.addChunk(0, 0, 0, 20480000, 0, static_cast<EnumChunkType>(0));
    spec.addChunk(0, 1, 0, 20480000, 0, static_cast<EnumChunkType>(0));
    Addr controller;
    controller.setAdapterID(0);
    lib.createLogicalDrive(controller, spec);
    const std::vector<ChunkSpec> more(spec.chunks.begin() + 1, spec.chunks.end());
    lib.increaseLogicalDriveSize(controller, more, static_cast<EnumPriorityLevel>(2));
    EXPECT_THAT(lib.calls(),
                ElementsAre("createLogicalDrive adapter=0 | \"Data\", 1, 256, [0,0@0+20480000;0,1@0+20480000]",
                            "increaseLogicalDriveSize adapter=0 | [0,1@0+20480000], 2"));
}

TEST(RecordingLibTest, FixturesBuildTheirTreesThroughDiscovery)
{
    struct Case {
        const char* fixture;
        unsigned long controllers;
        std::size_t hardDrives;
        std::size_t logicalDrives;
    } cases[] = {
        {"empty", 0, 0, 0},
        {"basic", 1, 4, 0},
        {"ld", 1, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        RecordingLib lib(c.fixture);
        EXPECT_EQ(lib.getSystemConfig().getReturn(), 0);
        unsigned long count = 99;
        lib.getControllerCount(count);
        EXPECT_EQ(count, c.controllers);
        Adapter* adapter = lib.getAdapter(0);
        EXPECT_EQ(adapter != nullptr, c.controllers > 0);
        if (adapter != nullptr) {
            EXPECT_EQ(adapter->getAllHardDrives().size(), c.hardDrives);
            EXPECT_EQ(adapter->getAllLogicalDrives().size(), c.logicalDrives);
        }
        // A second discovery gives a fresh tree, not one grown twice.
        lib.getSystemConfig();
        lib.getControllerCount(count);
        EXPECT_EQ(count, c.controllers);
        EXPECT_TRUE(lib.calls().empty());
    }
    EXPECT_THROW(RecordingLib("no such fixture"), std::invalid_argument);
}

TEST(RecordingLibTest, SingleControllerDiscoveryKnowsOnlyPositionZero)
{
    RecordingLib lib("ld");
    EXPECT_EQ(lib.getSystemConfigForSingleAdapter(0).getReturn(), 0);
    unsigned long count = 0;
    lib.getControllerCount(count);
    EXPECT_EQ(count, 1u);
    ASSERT_NE(lib.getAdapter(0), nullptr);
    EXPECT_EQ(lib.getAdapter(0)->getAllLogicalDrives().size(), 1u);

    for (unsigned long index : {1ul, static_cast<unsigned long>(-1L)}) {
        EXPECT_NE(lib.getSystemConfigForSingleAdapter(index).getReturn(), 0) << index;
        lib.getControllerCount(count);
        EXPECT_EQ(count, 0u) << index;
    }
    RecordingLib empty("empty");
    EXPECT_NE(empty.getSystemConfigForSingleAdapter(0).getReturn(), 0);
}

}  // namespace
