#include "ActionCommandTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

class SetStateCommandTest : public ActionCommandTest {};

// A second RAID 1 on the members of "Data", after it.
void addSecondArray(System& root)
{
    addFixtureLogicalDrive(fixtureAdapter(root), 2, "More", RAID_LEVEL_1, {0, 1}, 20480000ull, 20480000ull,
                           20480000ull);
}

TEST_F(SetStateCommandTest, DeviceTransitions)
{
    const struct {
        std::vector<std::string> words;
        TreeChange change;
        int exitCode;
        const char* shown;  // null: not checked
        std::vector<std::string> calls;
    } cases[] = {
        {{"DEVICE", "0,4", "HSP"}, nullptr, 3, "Invalid arguments.\n", {}},
        {{"DEVICE", "0", "4", "HSP"}, nullptr, 0, nullptr,
         {"getTasks adapter=0,channel=0,device=4", "createGlobalHotSpare adapter=0,channel=0,device=4"}},
        {{"DEVICE", "0,4", "HSP", "x"}, nullptr, 3, nullptr, {}},
        {{"DEVICE", "0", "4", "DDD", "LOGICALDRIVE", "0"}, nullptr, 3, nullptr, {}},
        {{"DEVICE", "0", "4", "EMP"}, nullptr, 3, nullptr, {}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE"}, nullptr, 3, nullptr, {}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "9"}, nullptr, 2, "Logical device 9 does not exist.\n", {}},
        {{"DEVICE", "0", "9", "HSP"}, nullptr, 2, "The device specified does not exist.\n", {}},
        {{"DEVICE", "0", "2", "HSP"}, nullptr, 2, "The physical device is already in the Hot Spare state.\n", {}},
        {{"DEVICE", "0", "5", "HSP"}, nullptr, 2, "Cannot change device state from Failed to Hot Spare\n\n",
         {"getTasks adapter=0,channel=0,device=5"}},
        {{"DEVICE", "0", "2", "HSP", "LOGICALDRIVE", "0"}, nullptr, 2, "The device is already a Global Spare.\n",
         {"getTasks adapter=0,channel=0,device=2"}},
        {{"DEVICE", "0", "5", "HSP", "LOGICALDRIVE", "0"}, nullptr, 2,
         "Cannot change device state from Failed to Hot Spare\n\n", {"getTasks adapter=0,channel=0,device=5"}},
        {{"DEVICE", "0", "2", "HSP", "LOGICALDRIVE", "0"},
         [](System& root) { fixtureDrive(root, 0, 2).setSpareTypeProperty(SPARE_NONE); },
         2,
         "The device is already a Standby Spare.\n",
         {"getTasks adapter=0,channel=0,device=2"}},
        {{"DEVICE", "0", "3", "HSP", "LOGICALDRIVE", "2"}, addSecondArray, 0, nullptr,
         {"getTasks adapter=0,channel=0,device=3",
          "createAssignedHotSpare adapter=0,channel=0,device=3 | [adapter=0,logicalDrive=2;adapter=0,logicalDrive=0]"}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "0", "2"}, addSecondArray, 0, nullptr,
         {"getTasks adapter=0,channel=0,device=4",
          "createAssignedHotSpare adapter=0,channel=0,device=4 | [adapter=0,logicalDrive=0;adapter=0,logicalDrive=2]"}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "0", "1"}, nullptr, 2,
         "The candidate spare cannot protect logical device 1, invalid target RAID level (0).\n",
         {"getTasks adapter=0,channel=0,device=4"}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "0"},
         [](System& root) { fixtureDrive(root, 0, 4).setSizeForTest(1000); },
         2,
         "The candidate spare cannot protect logical device 0, candidate spare too small.\n",
         {"getTasks adapter=0,channel=0,device=4"}},
        {{"DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "0"},
         [](System& root) { fixtureAdapter(root).dedicatedSpareLimit = 2; },
         2,
         "The maximum number of spares allowed for this controller\nhave already been configured.\n",
         {"getTasks adapter=0,channel=0,device=4"}},
        {{"DEVICE", "0", "6", "HSP", "LOGICALDRIVE", "0"}, nullptr, 2,
         "The candidate spare cannot protect logical device 0, SAS drive cannot protect SATA array.\n",
         {"getTasks adapter=0,channel=0,device=6"}},
        {{"DEVICE", "0", "6", "HSP", "LOGICALDRIVE", "0"}, setFeatureChange(featSasProtectSataArrays, 1), 0, nullptr,
         {"getTasks adapter=0,channel=0,device=6",
          "createAssignedHotSpare adapter=0,channel=0,device=6 | [adapter=0,logicalDrive=0]"}},
        {{"DEVICE", "0", "6", "HSP"}, nullptr, 0,
         "Controllers found: 1\nOne or more existing logical devices cannot be protected by this spare.\n\n"
         "Command completed successfully.\n",
         {"getTasks adapter=0,channel=0,device=6", "createGlobalHotSpare adapter=0,channel=0,device=6"}},
        {{"DEVICE", "0", "5", "RDY"}, nullptr, 0, nullptr, {"downHardDrive adapter=0,channel=0,device=5 | false"}},
        {{"DEVICE", "0", "4", "DDD"}, nullptr, 0, nullptr, {"downHardDrive adapter=0,channel=0,device=4 | true"}},
        {{"DEVICE", "0", "5", "DDD"}, nullptr, 2, "The physical device is already in the Failed state.\n", {}},
        {{"DEVICE", "0", "4", "RDY"}, nullptr, 2, "The physical device is already in the Ready state.\n", {}},
        {{"DEVICE", "0", "0", "RDY"}, nullptr, 2, "Cannot change device state from Online to Ready\n\n", {}},
        {{"DEVICE", "0", "2", "RDY"}, nullptr, 0, nullptr, {"deleteHotSpare adapter=0,channel=0,device=2"}},
        {{"DEVICE", "0", "2", "RDY", "LOGICALDRIVE", "0"}, nullptr, 2, "The specified spare is NOT of type: DHS.\n",
         {}},
        {{"DEVICE", "0", "3", "RDY", "LOGICALDRIVE", "0"}, nullptr, 0, nullptr,
         {"deleteAssignedHotSpare adapter=0,channel=0,device=3 | [adapter=0,logicalDrive=0]"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("mixed");
        if (c.change)
            scenario->changeTree(c.change);
        std::vector<std::string> words{"SETSTATE", "1"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        int code = -1;
        const std::string shown = runShown(words, code);
        EXPECT_EQ(code, c.exitCode);
        if (c.shown != nullptr) {
            EXPECT_THAT(shown, HasSubstr(c.shown));
        }
        EXPECT_THAT(calls(), ElementsAreArray(c.calls));
    }
}

TEST_F(SetStateCommandTest, SpareRefusalsWithoutAMessage)
{
    use("mixed").changeTree([](System& root) {
        FixtureAdapter& adapter = fixtureAdapter(root);
        adapter.addChild(new FixtureLogicalDrive(&adapter, 3, "Bare", RAID_LEVEL_1, 20480000ull));
    });
    int code = -1;
    // A logical drive without chunks has nothing to measure the spare by.
    EXPECT_EQ(runShown({"SETSTATE", "1", "DEVICE", "0", "4", "HSP", "LOGICALDRIVE", "3"}, code),
              "Controllers found: 1\n\nCommand aborted.\n");
    EXPECT_EQ(code, 2);
    EXPECT_THAT(scenario->callsOf("createAssignedHotSpare"), IsEmpty());

    use("mixed").answer("getTasks", Ret(-5));
    EXPECT_EQ(runShown({"SETSTATE", "1", "DEVICE", "0", "4", "HSP"}, code), "Controllers found: 1\n\nCommand aborted.\n");

    use("mixed");
    scenario->seedTasks(deviceAddr(0, 4), {task(TASK_TYPE_CLEAR, deviceAddr(0, 4), TASK_STATE_IN_PROGRESS, 3)});
    EXPECT_THAT(runShown({"SETSTATE", "1", "DEVICE", "0", "4", "HSP"}, code),
                HasSubstr("The physical device has a running task.\n"));
}

TEST_F(SetStateCommandTest, LogicalDriveWords)
{
    const struct {
        std::vector<std::string> words;
        int exitCode;
    } cases[] = {
        {{"LOGICALDRIVE", "1", "OPTIMAL", "ADVANCED", "NOCHECK"}, 3},
        {{"LOGICALDRIVE", "1", "OPTIMAL", "ADVANCED"}, 3},
        {{"LOGICALDRIVE", "1", "OPTIMAL", "advanced", "nocheck", "x"}, 3},
        {{"LOGICALDRIVE", "1", "OPTIMAL", "x"}, 3},
        {{"LOGICALDRIVE", "1", "FAILED"}, 3},
        {{"LOGICALDRIVE", "x", "OPTIMAL"}, 3},
        {{"LOGICALDRIVE", "1"}, 3},
        {{"VOLUME", "1", "OPTIMAL"}, 3},
        {{"LOGICALDRIVE", "1", "OPTIMAL", "ADVANCED", "nocheck"}, 0},
        {{"LOGICALDRIVE", "1", "optimal"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("mixed");
        std::vector<std::string> words{"SETSTATE", "1"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(runCounting(words), c.exitCode);
    }
    EXPECT_EQ(runCounting({"SETSTATE", "9", "LOGICALDRIVE", "1", "OPTIMAL"}), 6);
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(SetStateCommandTest, ForceOnlineFlagsDecideInRuleOrder)
{
    const unsigned b1 = 1u << 1;
    const struct {
        unsigned flags;
        const char* shown;
        bool acts;
    } cases[] = {
        {b1, "The controller reported an unsupported combination of force online flags 0x2.\n", false},
        {0x3, "The logical device has been forced online.\n", true},
        {0x3 | (1u << 29), "The logical device has been forced online.\n", true},
        {(1u << 29) | (1u << 30), "The controller cannot find enough disks that were part of this logical device.\n",
         false},
        {1u << 30, "The controller cannot find any disks that were part of this logical device.\n", false},
        {(1u << 27) | b1, "The controller cannot find all of the disks of this logical device present when it failed.\n",
         false},
        {1u << 27, "unsupported combination of force online flags 0x8000000.\n", false},
        {(1u << 28) | b1, "The controller cannot determine the order of the disk failures", false},
        {(1u << 31) | b1, "The controller has identified two independent halves of this logical device.\n", false},
        {(1u << 31) | (1u << 28), "unsupported combination of force online flags 0x90000000.\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        use("mixed").changeTree(
            [&c](System& root) { fixtureLogicalDrive(root, 1).setForceOnlineFlagsForTest(c.flags); });
        int code = -1;
        const std::string shown = runShown({"SETSTATE", "1", "LOGICALDRIVE", "1", "OPTIMAL"}, code);
        EXPECT_THAT(shown, HasSubstr(c.shown));
        EXPECT_EQ(code, c.acts ? 0 : 2);
        if (c.acts) {
            EXPECT_THAT(calls(), ElementsAre("setLogicalDriveState adapter=0,logicalDrive=1 | 2, 1, 0"));
        } else {
            EXPECT_THAT(calls(), IsEmpty());
        }
    }
}

TEST_F(SetStateCommandTest, ForcingOnlineAsksFirst)
{
    use("mixed").changeTree([](System& root) { fixtureLogicalDrive(root, 1).setForceOnlineFlagsForTest(0x3); });
    const ProviderResult asked = runProvider({"SETSTATE", "1", "LOGICALDRIVE", "1", "OPTIMAL"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, HasSubstr("This logical device might contain corrupt data.\n"
                                      "\nAre you sure you want to continue?\nPress y"));
    EXPECT_THAT(calls(), IsEmpty());

    scenario->answer("setLogicalDriveState", Ret(-5));
    const ProviderResult failed = runProvider({"SETSTATE", "1", "LOGICALDRIVE", "1", "OPTIMAL", "noprompt"}, true);
    EXPECT_THAT(failed.text, HasSubstr("The logical device could not be forced online.\n"));

    scenario->answer("setLogicalDriveState", Ret(0));
    scenario->clearCalls();
    const ProviderResult advanced =
        runProvider({"SETSTATE", "1", "LOGICALDRIVE", "1", "OPTIMAL", "advanced", "nocheck"}, false);
    EXPECT_THAT(advanced.text, HasSubstr("you should start a Verify with fix task on this logical device;\n"));
    EXPECT_THAT(calls(), ElementsAre("setLogicalDriveState adapter=0,logicalDrive=1 | 2, 2, 0"));

    use("mixed").changeTree(setFeatureChange(featForceOnline, 0));
    int code = -1;
    EXPECT_THAT(runShown({"SETSTATE", "1", "LOGICALDRIVE", "1", "OPTIMAL"}, code),
                HasSubstr("The requested feature is not supported on this controller.\n"));
    EXPECT_THAT(runShown({"SETSTATE", "1", "LOGICALDRIVE", "4", "OPTIMAL"}, code), Not(HasSubstr("does not exist")));
    use("mixed");
    EXPECT_THAT(runShown({"SETSTATE", "1", "LOGICALDRIVE", "4", "OPTIMAL"}, code),
                HasSubstr("Logical device 4 does not exist.\n"));
}

}  // namespace
