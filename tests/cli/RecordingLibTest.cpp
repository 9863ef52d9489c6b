#include "cli/support/RecordingLib.h"

#include "CliTest.h"

#include "cli/Engine.h"
#include "cli/support/CommandRunners.h"
#include "cli/support/Fixtures.h"
#include "common/HostPath.h"
#include "common/Progress.h"

#include "RaidModel/Interface/Adapter.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/LogicalDriveSpec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
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

namespace {

using vyntest::Scenario;

TEST(ScenarioTest, CallLogOutlivesTheLibrariesThatShareIt)
{
    auto scenario = Scenario::make("basic");
    scenario->failWithApiStatus("createJBOD", 609);
    {
        std::unique_ptr<StorLibPlugin> first(scenario->factory()());
        std::unique_ptr<StorLibPlugin> second(scenario->factory()());
        EXPECT_EQ(first->createJBOD(device(0, 0, 1)).getAPIReturn(), 609u);
        second->clearPPITable(vyntest::adapterAddr());
    }
    EXPECT_EQ(scenario->librariesMade(), 2);
    EXPECT_THAT(scenario->calls(),
                ElementsAre("createJBOD adapter=0,channel=0,device=1", "clearPPITable adapter=0"));
    EXPECT_THAT(scenario->callsOf("clearPPITable"), ElementsAre("clearPPITable adapter=0"));
}

TEST(ScenarioTest, TreeChangesApplyAtEveryDiscovery)
{
    auto scenario = Scenario::make("ld");
    scenario->changeTree([](System& root) {
        vyntest::fixtureAdapter(root).setJBODLimit(1);
        vyntest::fixtureDrive(root, 0, 3).setStateProperty(PD_FAILED);
        vyntest::fixtureLogicalDrive(root, 0).setMountPointForTest("/data");
    });
    scenario->changeTree(vyntest::setFeatureChange(featRaidVolume, 1));
    RecordingLib lib(scenario);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 0)
            lib.getSystemConfig();
        else
            lib.getSystemConfigForSingleAdapter(0);
        Adapter* adapter = lib.getAdapter(0);
        ASSERT_NE(adapter, nullptr);
        EXPECT_EQ(adapter->getMaxJBODs(), 1);
        EXPECT_EQ(adapter->getFeature(featRaidVolume), 1);
        EXPECT_EQ(adapter->getHardDrive(3)->getState(), PD_FAILED);
        EXPECT_STREQ(adapter->getLogicalDrive(0)->getUnixMountPoint(), "/data");
    }
    EXPECT_EQ(scenario->discoveries(), 2);
}

TEST(ScenarioTest, CannedControllerLogsSmartStatsAndSeededTasks)
{
    auto scenario = Scenario::make("ld");
    RecordingLib lib(scenario);
    lib.getSystemConfig();
    const Addr controller = vyntest::adapterAddr();
    char buffer[256];
    unsigned long size = sizeof buffer;
    EXPECT_EQ(lib.getControllerLog(controller, static_cast<EnumLogTypeRequest>(7), buffer, size, 0).getReturn(), 0);
    EXPECT_STREQ(buffer, "<ControllerLog controllerID=\"0\" type=\"7\"><![CDATA[uart text]]></ControllerLog>");
    char* xml = nullptr;
    unsigned long xmlSize = 0;
    char* csv = nullptr;
    unsigned long csvSize = 0;
    lib.getControllerLog(controller, static_cast<EnumLogTypeRequest>(8), &xml, &xmlSize, &csv, &csvSize);
    ASSERT_NE(xml, nullptr);
    EXPECT_EQ(std::string(xml), "<ControllerLog controllerID=\"0\" type=\"8\" time=\"0\" filename=\"" +
                                    vynHostPath("/var/log/") + "VelmornArch.log\"/>");
    delete[] xml;
    delete[] csv;
    scenario->setControllerLog(static_cast<EnumLogTypeRequest>(0), "<own/>");
    char* single = nullptr;
    lib.getControllerLog(controller, static_cast<EnumLogTypeRequest>(0), &single, &xmlSize);
    EXPECT_STREQ(single, "<own/>");
    delete[] single;
    char small[6];
    size = sizeof small;
    lib.getSmartStats(controller, small, size);
    EXPECT_STREQ(small, "<Smar");
    size = sizeof buffer;
    lib.getSmartStats(controller, buffer, size);
    EXPECT_STREQ(buffer, "<SmartStats/>");

    const Addr drive = vyntest::logicalDriveAddr(0);
    ProgressCollection none;
    lib.getTasks(drive, none);
    EXPECT_EQ(none.getSize(), 0u);
    scenario->seedTaskRounds(drive, {{vyntest::task(TASK_TYPE_BUILD_VERIFY, drive, TASK_STATE_IN_PROGRESS, 40)}, {}});
    ProgressCollection first;
    lib.getTasks(drive, first);
    ASSERT_EQ(first.getSize(), 1u);
    EXPECT_EQ(first.getProgress(0)->getPercent(), 40u);
    Progress progress;
    lib.getAdapter(0)->getLogicalDrive(0)->getProgress(progress);
    EXPECT_EQ(progress.getType(), TASK_TYPE_NONE);
    EXPECT_THAT(scenario->callsOf("getProgress"), ElementsAre("getProgress adapter=0,logicalDrive=0"));
}

}  // namespace

namespace {

class CommandRunnersTest : public vyntest::CliTest {};

TEST_F(CommandRunnersTest, ProviderViewTakesNopromptOffAndKeepsTheTextForTheCaller)
{
    auto scenario = Scenario::make("basic");
    const vyntest::ProviderResult result = vyntest::runAsProvider({"FOO", "BAR", "noprompt"}, scenario->factory(), true);
    EXPECT_EQ(result.warningType, 0);
    EXPECT_EQ(scenario->librariesMade(), 1);
    EXPECT_EQ(prompt, 0);
    EXPECT_EQ(inputWarningFlag, 1);
    EXPECT_THAT(result.text, ::testing::StartsWith("Controllers found: 1\n"));
    EXPECT_THAT(result.text, ::testing::EndsWith("\nCommand failed.\n"));
    EXPECT_EQ(result.value, 1);
}

TEST_F(CommandRunnersTest, RecordedSleepsStandInForTheRealOneWhileTheyLive)
{
    {
        vyntest::RecordedSleeps sleeps;
        cliSleep(15);
        cliSleep(15);
        EXPECT_THAT(sleeps.pauses(), ElementsAre(15u, 15u));
    }
    const CliSleepFunction real = setCliSleep(nullptr);
    EXPECT_EQ(setCliSleep(real), real);
}

}  // namespace
