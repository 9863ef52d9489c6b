#include "ActionCommandTest.h"

#include "common/Progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class TaskCommandTest : public ActionCommandTest {
protected:
    std::vector<std::string> task(std::vector<std::string> words)
    {
        words.insert(words.begin(), "TASK");
        return words;
    }
};

TEST_F(TaskCommandTest, AllOnlyInitializes)
{
    int code = -1;
    const std::string shown = runShown({"TASK", "START", "1", "DEVICE", "ALL", "verify"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(shown, StartsWith("Controllers found: 1\nThe ALL parameter is only valid for an INITIALIZE task.\n"
                                  "Invalid arguments.\n\n Usage: TASK START <Controller#> LOGICALDRIVE"));
    EXPECT_THAT(shown, HasSubstr("    Password       : Password is used for ata secure erase task\n"));
    EXPECT_THAT(calls(), IsEmpty());
    // Whatever password follows, ALL is what is wrong with the line.
    for (const std::string& password : {std::string("pw"), std::string(32, 'p')}) {
        SCOPED_TRACE(password);
        EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "ALL", "secureerase", password}, code),
                    StartsWith("Controllers found: 1\nThe ALL parameter is only valid for an INITIALIZE task.\n"
                               "Invalid arguments.\n"));
        EXPECT_EQ(code, 3);
    }
}

TEST_F(TaskCommandTest, WordsOfEachForm)
{
    const auto secureErase = [](System& root) {
        fixtureAdapter(root).setFeature(featSecureErase, 1);
        fixtureDrive(root, 0, 1).setATASecuritySupportForTest(true);
    };
    const struct {
        std::vector<std::string> words;
        TreeChange change;
        int exitCode;
        std::vector<std::string> calls;
    } cases[] = {
        {{"STOP", "1", "LOGICALDRIVE", "0", "verify"}, nullptr, 3, {}},
        {{"STOP", "1", "DEVICE", "ALL"}, nullptr, 3, {}},
        {{"PAUSE", "1", "DEVICE", "0", "1"}, nullptr, 3, {}},
        {{"START", "1", "DISK", "0", "verify"}, nullptr, 3, {}},
        {{"START", "1", "LOGICALDRIVE", "0"}, nullptr, 3, {}},
        {{"START", "1", "DEVICE", "0", "1"}, nullptr, 3, {}},
        {{"START", "1", "DEVICE", "0", "x", "verify"}, nullptr, 3, {}},
        {{"START", "1", "DEVICE", "0", "1", "secureerase", "pw"},
         secureErase,
         0,
         {"getTasks adapter=0,channel=0,device=1", "startTask adapter=0,channel=0,device=1 | 13, \"pw\""}},
        {{"START", "1", "DEVICE", "0", "1", "secureerase", "pw", "x"}, secureErase, 3, {}},
        {{"START", "1", "DEVICE", "0", "1", "secureerase", std::string(32, 'p')}, secureErase, 3, {}},
        {{"START", "1", "DEVICE", "0", "1", "secureerase", std::string(31, 'p')},
         secureErase,
         0,
         {"getTasks adapter=0,channel=0,device=1",
          "startTask adapter=0,channel=0,device=1 | 13, \"" + std::string(31, 'p') + "\""}},
        {{"START", "1", "DEVICE", "0", "1", "verify", "x"}, nullptr, 3, {}},
        {{"START", "1", "DEVICE", "0", "1", "verify", "force"}, nullptr, 3, {}},
        // Drive 0,1 is a member of the array: only "force" initializes it.
        {{"START", "1", "DEVICE", "0", "1", "initialize"}, nullptr, 2, {"getTasks adapter=0,channel=0,device=1"}},
        {{"START", "1", "DEVICE", "0", "1", "initialize", "force"},
         nullptr,
         0,
         {"getTasks adapter=0,channel=0,device=1", "initializeHardDrive adapter=0,channel=0,device=1"}},
        {{"START", "1", "LOGICALDRIVE", "0", "Verify"},
         nullptr,
         0,
         {"getTasks adapter=0,logicalDrive=0", "synchronizeLogicalDrive adapter=0,logicalDrive=0 | false"}},
        {{"START", "1", "LOGICALDRIVE", "0", "VERIFY_FIX"},
         nullptr,
         0,
         {"getTasks adapter=0,logicalDrive=0", "synchronizeLogicalDrive adapter=0,logicalDrive=0 | true"}},
        {{"START", "1", "LOGICALDRIVE", "0", "clear"},
         nullptr,
         0,
         {"getTasks adapter=0,logicalDrive=0", "initializeLogicalDrive adapter=0,logicalDrive=0 | 1, 1"}},
        {{"START", "1", "LOGICALDRIVE", "0", "verify", "x"}, nullptr, 3, {}},
        {{"START", "1", "LOGICALDRIVE", "0", "bogus"}, nullptr, 2, {"getTasks adapter=0,logicalDrive=0"}},
        {{"START", "1", "DEVICE", "0", "2", "verify"},
         nullptr,
         0,
         {"getTasks adapter=0,channel=0,device=2", "startTask adapter=0,channel=0,device=2 | 5, null"}},
        {{"START", "1", "DEVICE", "0,2", "verify_fix"}, nullptr, 3, {}},
        {{"START", "1", "DEVICE", "0", "2", "verify_fix"},
         nullptr,
         0,
         {"getTasks adapter=0,channel=0,device=2", "startTask adapter=0,channel=0,device=2 | 4, null"}},
        {{"START", "9", "LOGICALDRIVE", "0", "verify"}, nullptr, 6, {}},
        {{"START", "9", "DEVICE", "0", "1", "verify"}, nullptr, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("ld");
        if (c.change)
            scenario->changeTree(c.change);
        EXPECT_EQ(runCounting(task(c.words)), c.exitCode);
        EXPECT_THAT(calls(), ElementsAreArray(c.calls));
    }
    int code = -1;
    EXPECT_EQ(runShown({"TASK", "START", "9", "DEVICE", "0", "1", "verify"}, code),
              "Controllers found: 1\nThe device specified does not exist.\n\nCommand aborted.\n");
    EXPECT_THAT(runShown({"TASK", "START", "9", "LOGICALDRIVE", "0", "verify"}, code),
                EndsWith("Invalid controller number.\n"));
    EXPECT_THAT(runShown({"TASK", "START", "1", "LOGICALDRIVE", "0", "bogus"}, code),
                HasSubstr("'bogus' is an invalid task option.\n Usage: TASK START"));
}

TEST_F(TaskCommandTest, LogicalDriveRefusals)
{
    const struct {
        unsigned long logicalDrive;
        const char* task;
        TreeChange change;
        const char* refusal;
    } cases[] = {
        // Logical drive 1 of "mixed" is a RAID 0.
        {1, "verify", nullptr, "Cannot perform a Verify task on a raid level 0.\n"},
        {1, "verify_fix", nullptr, "Cannot perform a Verify with fix task on a raid level 0.\n"},
        {0, "verify",
         [](System& root) { fixtureLogicalDrive(root, 0).setSubState(LD_SUBSTATE_IMPACTED); },
         "Cannot verify an impacted logical device.\n"},
        {0, "verify",
         [](System& root) { fixtureLogicalDrive(root, 0).setSubState(static_cast<EnumLogicalDeviceSubState>(8)); },
         "Cannot verify a quick initialized logical device.\nYou must run a verify_fix task.\n"},
        {0, "clear",
         [](System& root) { fixtureLogicalDrive(root, 0).setStateProperty(LD_SUBOPTIMAL_RECONFIGURING); },
         "Reconfiguring logical devices cannot be verified.\n"},
        {7, "clear", nullptr, "Logical device 7 does not exist.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.logicalDrive) + " " + c.task);
        use("mixed");
        if (c.change)
            scenario->changeTree(c.change);
        int code = -1;
        const std::string shown =
            runShown({"TASK", "START", "1", "LOGICALDRIVE", std::to_string(c.logicalDrive), c.task}, code);
        EXPECT_EQ(code, 2);
        EXPECT_EQ(shown, "Controllers found: 1\n" + std::string(c.refusal) + "\nCommand aborted.\n");
    }
}

TEST_F(TaskCommandTest, ClearOfAMountedLogicalDriveIsRefusedBeforeAnyWarning)
{
    use("ld").changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setMountPointForTest("/data");
        fixtureLogicalDrive(root, 0).setPartitionForTest(true);
    });
    const ProviderResult asked = runProvider({"TASK", "START", "1", "LOGICALDRIVE", "0", "clear"}, true);
    EXPECT_EQ(asked.text, "Controllers found: 1\nThe selected logical device is mounted on /data and cannot be "
                          "altered.\n\nCommand aborted.\n");
    EXPECT_EQ(asked.warningType, 0);
    use("ld").changeTree([](System& root) { fixtureLogicalDrive(root, 0).setPartitionForTest(true); });
    const ProviderResult unmounted = runProvider({"TASK", "START", "1", "LOGICALDRIVE", "0", "clear"}, true);
    EXPECT_EQ(unmounted.text, "Controllers found: 1\nWARNING: The logical device may contain a partition.\n"
                              "WARNING: All data on this logical device will be lost during the clear process.\n"
                              "\nAre you sure you want to continue?\n"
                              "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(unmounted.warningType, 1);
    EXPECT_THAT(calls(), ElementsAre("getTasks adapter=0,logicalDrive=0"));
}

TEST_F(TaskCommandTest, RunningTasksAreNotStartedTwice)
{
    use("ld");
    scenario->seedTasks(logicalDriveAddr(0), {vyntest::task(TASK_TYPE_VERIFY, logicalDriveAddr(0),
                                                            TASK_STATE_IN_PROGRESS, 10)});
    int code = -1;
    EXPECT_THAT(runShown({"TASK", "START", "1", "LOGICALDRIVE", "0", "verify"}, code),
                HasSubstr("Task 'Verify' is already running on this device.  Aborting \n"));
    EXPECT_EQ(code, 2);
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 2).setTaskInProgressForTest(true); });
    scenario->seedTasks(deviceAddr(0, 2), {vyntest::task(TASK_TYPE_CLEAR, deviceAddr(0, 2), TASK_STATE_IN_PROGRESS, 3)});
    EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "0", "2", "verify"}, code),
                HasSubstr("Task 'Clear' is already running on this device.  Aborting \n"));
    EXPECT_EQ(code, 2);
}

TEST_F(TaskCommandTest, StoppingTasks)
{
    use("mixed");
    scenario->seedTasks(logicalDriveAddr(0),
                        {vyntest::task(TASK_TYPE_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 10, 7)});
    scenario->seedTasks(logicalDriveAddr(1),
                        {vyntest::task(TASK_TYPE_RECONFIGURATION, logicalDriveAddr(1), TASK_STATE_IN_PROGRESS, 10, 8)});
    scenario->seedTasks(deviceAddr(0, 2), {vyntest::task(TASK_TYPE_CLEAR, deviceAddr(0, 2), TASK_STATE_IN_PROGRESS, 3, 9)});
    scenario->changeTree([](System& root) {
        fixtureDrive(root, 0, 2).setTaskInProgressForTest(true);
        // The drive says it runs a task, but the controller lists none.
        fixtureDrive(root, 0, 6).setTaskInProgressForTest(true);
    });
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* shown;
        const char* abort;  // null: none
    } cases[] = {
        {{"STOP", "1", "LOGICALDRIVE", "0"}, 0, "Controllers found: 1\n\nCommand completed successfully.\n",
         "abortTask adapter=0 | 7"},
        {{"STOP", "1", "LOGICALDRIVE", "1"}, 2, "Cannot stop a reconfiguration task.\n", nullptr},
        {{"STOP", "1", "LOGICALDRIVE", "5"}, 2, "Logical device 5 does not exist.\n", nullptr},
        {{"STOP", "1", "DEVICE", "0", "2"}, 0, "Controllers found: 1\n\nCommand completed successfully.\n",
         "abortTask adapter=0 | 9"},
        {{"STOP", "1", "DEVICE", "0", "4"}, 2,
         "Controllers found: 1\nThere exists no task to stop on this device.\nCommand aborted.\n", nullptr},
        {{"STOP", "1", "DEVICE", "0", "6"}, 2, "There exists no task to stop on this device.\nCommand aborted.\n",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        scenario->clearCalls();
        int code = -1;
        const std::string shown = runShown(task(c.words), code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_THAT(shown, HasSubstr(c.shown));
        if (c.abort != nullptr) {
            EXPECT_EQ(scenario->callsOf("abortTask"), std::vector<std::string>{c.abort});
        } else {
            EXPECT_THAT(scenario->callsOf("abortTask"), IsEmpty());
        }
    }
    use("ld");
    int code = -1;
    EXPECT_THAT(runShown({"TASK", "STOP", "1", "LOGICALDRIVE", "0"}, code),
                HasSubstr("There is currently no running task on the specified logical device.\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(TaskCommandTest, InitializingEveryDrive)
{
    const auto nothingReady = [](System& root) {
        for (unsigned long device = 0; device < 4; ++device)
            fixtureDrive(root, 0, device).setStateProperty(PD_ONLINE);
    };
    use("basic").changeTree(nothingReady);
    int code = -1;
    EXPECT_EQ(runShown({"TASK", "START", "1", "DEVICE", "ALL", "initialize"}, code),
              "Controllers found: 1\n0 device(s) initialized.\nThe requested action is not supported\n\n"
              "Command failed.\n");
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), IsEmpty());

    use("mixed");
    EXPECT_EQ(runShown({"TASK", "START", "1", "DEVICE", "ALL", "initialize"}, code),
              "Controllers found: 1\nInitializing Channel 0, Device 4.\nInitializing Channel 0, Device 6.\n"
              "2 device(s) initialized.\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("initializeHardDrive adapter=0,channel=0,device=4",
                                     "initializeHardDrive adapter=0,channel=0,device=6"));

    use("mixed").changeTree(setFeatureChange(featMultiInit, 1));
    EXPECT_EQ(runCounting({"TASK", "START", "1", "DEVICE", "ALL", "INITIALIZE", "FORCE"}), 0);
    EXPECT_THAT(calls(), ElementsAre("initializeHardDriveSet adapter=0 | [adapter=0,channel=0,device=0;"
                                     "adapter=0,channel=0,device=1;adapter=0,channel=0,device=2;"
                                     "adapter=0,channel=0,device=3;adapter=0,channel=0,device=4;"
                                     "adapter=0,channel=0,device=5;adapter=0,channel=0,device=6], false"));

    // What the library could not initialize is named and not counted.
    use("mixed").changeTree(setFeatureChange(featMultiInit, 1));
    scenario->answer("initializeHardDriveSet", Ret(-5));
    EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "ALL", "initialize"}, code),
                HasSubstr("Initializing Channel 0, Device 6.\n0 device(s) initialized.\n"
                          "initialization failed Channel 0, Device 4.\n"
                          "initialization failed Channel 0, Device 6.\n"));

    // The library fails a set the firmware took but could not carry out
    // with the firmware's success status: the named drives are the message,
    // not that status's text.
    Ret notAll;
    notAll.setApiError(1);
    const std::vector<std::string> initializations[] = {
        {"TASK", "START", "1", "DEVICE", "ALL", "initialize"},
        {"TASK", "START", "1", "DEVICE", "0", "6", "initialize"},
    };
    for (const std::vector<std::string>& args : initializations) {
        SCOPED_TRACE(args[4]);
        use("mixed").changeTree(setFeatureChange(featMultiInit, 1));
        scenario->answer("initializeHardDriveSet", notAll);
        const std::string shown = runShown(args, code);
        EXPECT_THAT(shown, HasSubstr("initialization failed Channel 0, Device 6.\n\nCommand failed.\n"));
        EXPECT_THAT(shown, Not(HasSubstr("successful")));
        EXPECT_EQ(code, 1);
    }
}

TEST_F(TaskCommandTest, FailedDriveWithAFailedSegmentInitializesWithoutForce)
{
    use("mixed");
    int code = -1;
    EXPECT_EQ(runShown({"TASK", "START", "1", "DEVICE", "0", "5", "initialize"}, code),
              "Controllers found: 1\nInitializing Channel 0, Device 5 will erase its metadata, the section\n"
              "where all the logical device definition data is stored\nInitializing Channel 0, Device 5.\n"
              "\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("getTasks adapter=0,channel=0,device=5",
                                     "initializeHardDrive adapter=0,channel=0,device=5"));
    // A failed drive without one needs "force".
    EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "0", "2", "initialize"}, code),
                HasSubstr("Initialize task can only be performed on a READY device.\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(TaskCommandTest, EachConfirmationPointDropsWhatCameBefore)
{
    use("mixed");
    const std::vector<std::string> clear{"TASK", "START", "1", "DEVICE", "0", "5", "clear"};
    const ProviderResult asked = runProvider(clear, true);
    EXPECT_EQ(asked.text, "Controllers found: 1\nThe device is in a Failed state.\n"
                          "After this operation, the device state will be Ready.\n"
                          "\nAre you sure you want to continue?\n"
                          "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(scenario->callsOf("startTask"), IsEmpty());

    const ProviderResult acted = runProvider(clear, false);
    EXPECT_EQ(acted.text, "Clearing Channel 0, Device 5.\n\nCommand completed successfully.\n");
    EXPECT_THAT(scenario->callsOf("startTask"), ElementsAre("startTask adapter=0,channel=0,device=5 | 1, null"));

    int code = -1;
    EXPECT_EQ(runShown(clear, code), "Controllers found: 1\nThe device is in a Failed state.\n"
                                     "After this operation, the device state will be Ready.\n"
                                     "Clear of a Hard drive is a long process.\n"
                                     "Clearing Channel 0, Device 5.\n\nCommand completed successfully.\n");

    // The initialize question of the multi-drive controllers.
    use("mixed").changeTree(setFeatureChange(featMultiInit, 1));
    const ProviderResult initialized = runProvider({"TASK", "START", "1", "DEVICE", "0", "6", "initialize"}, false);
    EXPECT_EQ(initialized.text, "Initializing Channel 0, Device 6.\n\nCommand completed successfully.\n");
    EXPECT_THAT(scenario->callsOf("initializeHardDriveSet"),
                ElementsAre("initializeHardDriveSet adapter=0 | [adapter=0,channel=0,device=6], false"));
}

TEST_F(TaskCommandTest, SecureErase)
{
    use("ld");
    int code = -1;
    EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "0", "2", "secureerase"}, code),
                HasSubstr("The requested feature is not supported on this controller.\n"));
    EXPECT_EQ(code, 2);

    use("ld").changeTree(setFeatureChange(featSecureErase, 1));
    EXPECT_EQ(runShown({"TASK", "START", "1", "DEVICE", "0", "1", "secureerase"}, code),
              "Controllers found: 1\nWARNING: The drive appears to be in use.\n"
              "Erasing the drive will result in loss of data.\nSecure erase of a Hard drive is a long process.\n"
              "Warning: Rebooting the machine would stop the Secure erase task.\n"
              "Secure Erasing Channel 0, Device 1.\n\nCommand completed successfully.\n");
    EXPECT_THAT(scenario->callsOf("startTask"), ElementsAre("startTask adapter=0,channel=0,device=1 | 13, null"));

    // A password for a drive without ATA security.
    scenario->clearCalls();
    EXPECT_THAT(runShown({"TASK", "START", "1", "DEVICE", "0", "1", "secureerase", "pw"}, code),
                HasSubstr("Secure Erasing Channel 0, Device 1.\nThe requested feature is not supported on this "
                          "device.\n\nCommand aborted.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(scenario->callsOf("startTask"), IsEmpty());
}

}  // namespace
