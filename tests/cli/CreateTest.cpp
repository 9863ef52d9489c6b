#include "CommandTest.h"

#include "RaidModel/Interface/Features.h"
#include "cli/Engine.h"
#include "cli/commands/Create.h"
#include "common/Progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class CreateTest : public CommandTest {
protected:
    std::string runFresh(const std::vector<std::string>& words, int& code)
    {
        std::FILE* previous = out;
        out = std::tmpfile();
        code = run(words);
        const std::string text = realOut();
        std::fclose(out);
        out = previous;
        return text;
    }
};

TEST_F(CreateTest, Raid5OnThreeDrivesIsCreatedAsRequested)
{
    EXPECT_EQ(run({"CREATE", "1", "LOGICALDRIVE", "NAME", "web", "100", "5", "0", "0", "0", "1", "0", "2", "noprompt"}), 0);
    EXPECT_EQ(realOut(), "Controllers found: 1\n\nCreating logical device: web\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(),
                ElementsAre("createLogicalDrive adapter=0 | \"web\", 5, 256, [0,0@0+102400;0,1@0+102400;0,2@0+102400]"));

    // The provider keeps only what the command printed while acting.
    const ProviderResult provider = runProvider(
        {"CREATE", "1", "LOGICALDRIVE", "NAME", "web", "100", "5", "0", "0", "0", "1", "0", "2", "noprompt"}, true);
    EXPECT_EQ(provider.text, "Creating logical device: web\n\nCommand completed successfully.\n");
    EXPECT_EQ(provider.value, 0);
    EXPECT_EQ(provider.warningType, 0);
}

TEST_F(CreateTest, SizeBelowTwentyMegabytesIsRefused)
{
    int code = -1;
    const std::string shown = runFresh({"CREATE", "1", "LOGICALDRIVE", "19", "1", "0", "0", "0", "1"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(shown, "Controllers found: 1\nRequested logical device size is too small.\n\nCommand aborted.\n");
    EXPECT_THAT(calls(), IsEmpty());
    runFresh({"CREATE", "1", "LOGICALDRIVE", "20", "1", "0", "0", "0", "1"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("createLogicalDrive adapter=0 | \"LogicalDrv 0\", 1, 256, [0,0@0+40960;0,1@0+40960]"));
}

}  // namespace

namespace {

TEST_F(CreateTest, OptionCases)
{
    const struct {
        const char* fixture;
        std::vector<FeatureEnum> features;
        std::vector<std::string> words;
        int exitCode;
        const char* shown;       // a line of the real output
        const char* created;     // the start of the recorded request; null: none
    } cases[] = {
        {"basic", {}, {"NAME", "abcdefghijklmnopq", "100", "1", "0", "0", "0", "1"}, 3,
         "\nLogical device name must be no more than 16 characters\nInvalid arguments.\n", nullptr},
        {"ld", {}, {"NAME", " Data", "100", "1", "0", "2", "0", "3"}, 2,
         "\nThere exists another logical device with that name.\n\nCommand aborted.\n", nullptr},
        {"ld", {}, {"NAME", "data", "100", "1", "0", "2", "0", "3"}, 2, "\nThere exists another logical device with that name.\n", nullptr},
        {"basic", {}, {"NAME", "tab\there", "100", "1", "0", "0", "0", "1"}, 3,
         "\nOne or more characters in the logical device name is invalid.\n", nullptr},
        {"ld", {featRaidVolume}, {"RCACHE", "ron", "RVOLUME", "0", "1"}, 3, "Invalid arguments.\n", nullptr},
        {"ld", {featRaidVolume}, {"RVOLUME", "0", "0"}, 2,
         "\nLogical device members of a raid volume must be distinct\n\nCommand aborted.\n", nullptr},
        {"ld", {}, {"RVOLUME", "0", "1"}, 3, "\nThe selected controller does not support raid volume creation.\n",
         nullptr},
        {"basic", {}, {"STRIPESIZE", "64", "100", "1", "0", "0", "0", "1"}, 0,
         "The STRIPESIZE option will be ignored for a logical device of this raid level.\n\n"
         "Creating logical device: LogicalDrv 0\n",
         "createLogicalDrive adapter=0 | \"LogicalDrv 0\", 1, 64, [0,0@0+204800;0,1@0+204800]"},
        {"basic", {}, {"STRIPESIZE", "2048", "100", "1", "0", "0", "0", "1"}, 3, "Invalid arguments.\n", nullptr},
        {"basic", {}, {"STRIPESIZE", "8", "100", "1", "0", "0", "0", "1"}, 3, "Invalid arguments.\n", nullptr},
        {"basic", {featRaid6RS}, {"100", "6", "0", "0", "0", "1", "0", "2", "0", "3"}, 0, "Creating logical device: LogicalDrv 0\n",
         "createLogicalDrive adapter=0 | \"LogicalDrv 0\", 18, 256, [0,0@0+102400;0,1@0+102400;0,2@0+102400;0,3@0+102400]"},
        {"basic", {}, {"100", "6", "0", "0", "0", "1", "0", "2", "0", "3"}, 0, "Creating logical device: LogicalDrv 0\n",
         "createLogicalDrive adapter=0 | \"LogicalDrv 0\", 16, 256, [0,0@0+102400;0,1@0+102400;0,2@0+102400;0,3@0+102400]"},
        {"basic", {}, {"100", "1E", "0", "0", "0", "1", "0", "2"}, 2, "The selected RAID level is not supported by this controller.\n",
         nullptr},
        {"basic", {}, {"0", "1", "0", "0", "0", "1"}, 3, "Invalid arguments.\n", nullptr},
        {"basic", {}, {"MAX", "1", "0", "0", "0", "1"}, 0, "Creating logical device: LogicalDrv 0\n",
         "createLogicalDrive adapter=0 | \"LogicalDrv 0\", 1, 256, [0,0@0+286748672;0,1@0+286748672]"},
        {"basic", {}, {"RCACHE", "rxx", "100", "1", "0", "0", "0", "1"}, 3, "\nInvalid read cache mode input.\n", nullptr},
        {"basic", {}, {"ORVEXAREADCACHE", "ion", "100", "1", "0", "0", "0", "1"}, 3,
         "Controller 0 does not support Orvexa read and write cache.\n", nullptr},
        {"basic", {}, {"WRITEPOLICY", "WB", "100", "1", "0", "0", "0", "1"}, 3, "Controller 0 does not support Orvexa write cache.\n",
         nullptr},
        {"basic", {}, {"PRIORITY", "urgent", "100", "1", "0", "0", "0", "1"}, 3,
         "\nInvalid Initialization Priority input.\nValid inputs are HIGH, MED, or LOW.\n", nullptr},
        {"basic", {}, {"METHOD", "fast", "100", "1", "0", "0", "0", "1"}, 3, "\nInvalid Initialization Method input.\n", nullptr},
        {"basic", {}, {"LEGS", "1", "100", "1", "0", "0", "0", "1"}, 3, "Invalid arguments.\n", nullptr},
        {"basic", {}, {"100", "1", "0", "0", "0", "0"}, 3,
         "\nCannot use a drive multiple times in one logical device!\n", nullptr},
        {"basic", {}, {"100", "5", "0", "0", "0", "1"}, 2, "Incorrect number of disks for the requested RAID type.\n",
         nullptr},
        {"basic", {}, {"100", "1", "0", "0", "0", "7"}, 2, "A selected device is not available for use.\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use(c.fixture);
        for (FeatureEnum feature : c.features)
            scenario->changeTree(setFeatureChange(feature, 1));
        std::vector<std::string> words = {"CREATE", "1", "LOGICALDRIVE"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        words.push_back("noprompt");
        int code = -1;
        const std::string shown = runFresh(words, code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_THAT(shown, HasSubstr(c.shown));
        if (c.created != nullptr) {
            EXPECT_THAT(scenario->callsOf("createLogicalDrive"), ElementsAre(c.created));
        } else {
            EXPECT_THAT(scenario->callsOf("createLogicalDrive"), IsEmpty());
        }
    }
}

}  // namespace

namespace {

TEST_F(CreateTest, ProviderPhases)
{
    // The acting phase keeps only what was printed after the question.
    const std::vector<std::string> raid1 = {"CREATE", "1", "LOGICALDRIVE", "STRIPESIZE", "64", "100", "1",
                                            "0", "0", "0", "1", "noprompt"};
    ProviderResult result = runProvider(raid1, true);
    EXPECT_EQ(result.text, "Creating logical device: LogicalDrv 0\n\nCommand completed successfully.\n");
    EXPECT_THAT(scenario->callsOf("createLogicalDrive"), ElementsAre(HasSubstr("\"LogicalDrv 0\", 1, 64")));

    // The first phase: the default name announced, then the question.
    use("ld");
    result = runProvider({"CREATE", "1", "LOGICALDRIVE", "NAME", "   ", "100", "1", "0", "2", "0", "3"}, true);
    EXPECT_EQ(result.text, "Controllers found: 1\n\nLogical device name cannot be blank. Default name LogicalDrv 1 "
                           "will be assigned.\n\nDo you want to add a logical device to the configuration?\n"
                           "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(result.warningType, 1);
    EXPECT_EQ(result.value, 0);
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(CreateTest, DefaultNamesSkipTakenOnes)
{
    use("ld").changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setNameForTest("LogicalDrv 1");
        addFixtureLogicalDrive(fixtureAdapter(root), 2, "LogicalDrv 3", RAID_LEVEL_1, {2, 3}, 0, 40960, 40960);
    });
    int code = -1;
    runFresh({"CREATE", "1", "LOGICALDRIVE", "100", "1", "0", "2", "0", "3", "noprompt"}, code);
    // Id 1 is free, "LogicalDrv 1" taken, "LogicalDrv 2" not.
    EXPECT_THAT(scenario->callsOf("createLogicalDrive"), ElementsAre(HasSubstr("\"LogicalDrv 2\", 1, 256, [0,2@40960")));
}

TEST_F(CreateTest, JbodsUpToTheControllersLimit)
{
    scenario->changeTree([](System& root) { fixtureAdapter(root).setJBODLimit(1); });
    int code = -1;
    const std::string shown = runFresh({"CREATE", "1", "JBOD", "0", "1", "0", "2"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("createJBOD adapter=0,channel=0,device=1"));
    EXPECT_EQ(shown, "Controllers found: 1\nCreated JBOD: 0,1\nNo more JBODs may be created.\n\n"
                     "Command completed successfully.\n");

    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 2).setStateProperty(PD_FAILED); });
    scenario->clearCalls();
    EXPECT_EQ(runFresh({"CREATE", "1", "JBOD", "0", "1", "0", "2"}, code),
              "Controllers found: 1\nA selected device is not available for use.\n\nCommand aborted.\n");
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), IsEmpty());

    // No attempt at all: aborted.
    use("basic").changeTree([](System& root) {
        fixtureAdapter(root).setJBODLimit(1);
        fixtureDrive(root, 0, 0).setJBODForTest(true);
    });
    EXPECT_THAT(runFresh({"CREATE", "1", "JBOD", "0", "1"}, code), EndsWith("\nCommand aborted.\n"));
    EXPECT_EQ(code, 2);
    use("basic").changeTree(setFeatureChange(featJBOD, 0));
    EXPECT_THAT(runFresh({"CREATE", "1", "JBOD", "0", "1"}, code),
                HasSubstr("The requested feature is not supported on this controller.\n"));
    EXPECT_EQ(code, 2);
    use("basic").changeTree(setFeatureChange(featJBODDriver, 0));
    EXPECT_THAT(runFresh({"CREATE", "1", "JBOD", "0", "1"}, code),
                HasSubstr("WARNING: The selected controller supports JBODs, but the currently\n"));
    EXPECT_EQ(code, 0);
}

TEST_F(CreateTest, Raid6StripeLimitMessage)
{
    Create create;
    EXPECT_EQ(create.check_raid6_limits(8, 512, RAID_LEVEL_6), 5);
    EXPECT_EQ(retString, "The maximum stripe size allowed for the selected configuration is 256k.\n");
    retString.clear();
    EXPECT_EQ(create.check_raid6_limits(8, 256, RAID_LEVEL_6), 0);
    EXPECT_EQ(create.check_raid6_limits(17, 16, RAID_LEVEL_6), 1);
    EXPECT_EQ(retString, "");
    unsigned long long segment = 0;
    EXPECT_EQ(create.set_raid6_chunksize(15 * 2048, segment, 17, RAID_LEVEL_6RS), 0);
    EXPECT_EQ(segment, 15u * 2048 / 15 * 17 / 17);
}

TEST_F(CreateTest, SyncWaitsWhileABuildRuns)
{
    use("ld");
    RecordedSleeps sleeps;
    const Addr drive = logicalDriveAddr(0);
    const Progress build = task(TASK_TYPE_BUILD_VERIFY, drive, TASK_STATE_IN_PROGRESS, 10);
    scenario->seedTaskRounds(drive, {{build}, {build}, {}});
    int code = -1;
    runFresh({"CREATE", "1", "LOGICALDRIVE", "SYNC", "100", "1", "0", "2", "0", "3", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(scenario->callsOf("getProgress").size(), 3u);
    EXPECT_THAT(sleeps.pauses(), ElementsAre(15u, 15u));

    // A reconfiguration is no reason to wait.
    use("ld");
    scenario->seedTasks(drive, {task(TASK_TYPE_RECONFIGURATION, drive, TASK_STATE_IN_PROGRESS, 10)});
    RecordedSleeps none;
    runFresh({"CREATE", "1", "LOGICALDRIVE", "SYNC", "100", "1", "0", "2", "0", "3", "noprompt"}, code);
    EXPECT_EQ(scenario->callsOf("getProgress").size(), 1u);
    EXPECT_THAT(none.pauses(), IsEmpty());
}

TEST_F(CreateTest, SyncKeepsTheOutcomeOfTheCreation)
{
    use("ld");
    RecordedSleeps sleeps;
    scenario->answer("createLogicalDrive", Ret(-1));
    int code = -1;
    const std::string shown =
        runFresh({"CREATE", "1", "LOGICALDRIVE", "SYNC", "100", "1", "0", "2", "0", "3", "noprompt"}, code);
    EXPECT_NE(code, 0);
    EXPECT_THAT(shown, Not(HasSubstr("Command completed successfully.")));
    // Nothing was created: no wait.
    EXPECT_THAT(scenario->callsOf("getProgress"), IsEmpty());

    // A successful creation stays successful whatever the progress queries
    // answer.
    use("ld");
    scenario->answer("getProgress", Ret(-1));
    EXPECT_THAT(runFresh({"CREATE", "1", "LOGICALDRIVE", "SYNC", "100", "1", "0", "2", "0", "3", "noprompt"}, code),
                EndsWith("Command completed successfully.\n"));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(scenario->callsOf("getProgress").size(), 1u);
}

}  // namespace

namespace {

TEST_F(CreateTest, ControllerLimits)
{
    use("ld").changeTree([](System& root) { fixtureAdapter(root).setMaxTopLevelLogicalDrives(1); });
    int code = -1;
    EXPECT_THAT(runFresh({"CREATE", "1", "LOGICALDRIVE", "100", "1", "0", "2", "0", "3", "noprompt"}, code),
                HasSubstr("Cannot create another logical device. Logical device limit (1) has been reached.\n"));
    EXPECT_EQ(code, 2);
    use("basic").changeTree([](System& root) { fixtureAdapter(root).maxRaid0Members = 2; });
    EXPECT_THAT(runFresh({"CREATE", "1", "LOGICALDRIVE", "100", "0", "0", "0", "0", "1", "0", "2", "noprompt"}, code),
                HasSubstr("The requested RAID level cannot contain more than 2 segments; you have selected 3.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), IsEmpty());

    // A controller whose stripes stop at 256 KB defaults to 64 KB.
    use("basic").changeTree([](System& root) { fixtureAdapter(root).setStripeSizeLimits(16, 256); });
    runFresh({"CREATE", "1", "LOGICALDRIVE", "100", "1", "0", "0", "0", "1", "noprompt"}, code);
    EXPECT_THAT(calls(), ElementsAre(HasSubstr("\"LogicalDrv 0\", 1, 64, ")));
}

TEST_F(CreateTest, SyncFollowsTheLastLogicalDriveWithARunningTask)
{
    use("ld").changeTree([](System& root) {
        addFixtureLogicalDrive(fixtureAdapter(root), 1, "Second", RAID_LEVEL_1, {2, 3}, 0, 40960, 40960);
    });
    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_BUILD_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 5)});
    scenario->seedTasks(logicalDriveAddr(1), {task(TASK_TYPE_RECONFIGURATION, logicalDriveAddr(1), TASK_STATE_IN_PROGRESS, 5)});
    RecordedSleeps sleeps;
    int code = -1;
    runFresh({"CREATE", "1", "LOGICALDRIVE", "SYNC", "MAX", "1", "0", "2", "0", "3", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(scenario->callsOf("getProgress"),
                ElementsAre("getProgress adapter=0,logicalDrive=0", "getProgress adapter=0,logicalDrive=1"));
    EXPECT_THAT(sleeps.pauses(), IsEmpty());
}

}  // namespace
