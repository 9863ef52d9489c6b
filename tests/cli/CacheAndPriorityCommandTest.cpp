#include "ActionCommandTest.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "cli/Engine.h"
#include "cli/commands/SetPriority.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class CacheAndPriorityCommandTest : public ActionCommandTest {};

struct CommandCase {
    const char* fixture;
    std::vector<std::string> words;
    TreeChange change;
    int exitCode;
    const char* shown;  // null: not checked
    std::vector<std::string> calls;
};

TreeChange driveCacheModes(int sata, int sas)
{
    return [sata, sas](System& root) { fixtureAdapter(root).setDriveCacheModesForTest(sata, sas); };
}

TreeChange twoChanges(TreeChange first, TreeChange second)
{
    return [first, second](System& root) {
        first(root);
        second(root);
    };
}

char enclosureText[] = "ENCL";

void addEnclosure(System& root)
{
    FixtureAdapter& adapter = fixtureAdapter(root);
    Channel* channel = adapter.getChannel(0);
    channel->addChild(new Enclosure(&adapter, channel, 7, enclosureText, enclosureText, enclosureText,
                                    enclosureText, PD_READY, enclosureText));
}

TEST_F(CacheAndPriorityCommandTest, SetCache)
{
    const std::string same = "New write cache mode is the same as the old write cache mode.\n";
    const CommandCase cases[] = {
        {"ld", {"LOGICALDRIVE", "0", "wb", "extra"}, nullptr, 3, "Invalid arguments.\n", {}},
        {"ld", {"LOGICALDRIVE", "0", "xyz"}, nullptr, 3, "Invalid cache option specified\nInvalid arguments.\n", {}},
        {"ld", {"LOGICALDRIVE", "x", "wt"}, nullptr, 3, nullptr, {}},
        {"ld", {"LOGICALDRIVE", "0", "wb"}, nullptr, 2, same.c_str(), {}},
        {"ld", {"LOGICALDRIVE", "0", "wb", "noprompt"}, nullptr, 2, same.c_str(), {}},
        {"ld", {"LOGICALDRIVE", "0", "WT"}, nullptr, 0, nullptr, {"setLogicalDriveCache adapter=0,logicalDrive=0 | 4, 1"}},
        {"ld", {"LOGICALDRIVE", "0", "wbb"}, nullptr, 0, nullptr,
         {"setLogicalDriveCache adapter=0,logicalDrive=0 | 4, 3"}},
        {"ld", {"LOGICALDRIVE", "0", "ron"}, nullptr, 2,
         "New read cache mode is the same as the old read cache mode.\n", {}},
        {"ld", {"LOGICALDRIVE", "0", "roff"}, nullptr, 0, nullptr,
         {"setLogicalDriveCache adapter=0,logicalDrive=0 | 1, 4"}},
        {"ld", {"LOGICALDRIVE", "0", "clearcache"}, nullptr, 0, nullptr,
         {"setLogicalDriveCache adapter=0,logicalDrive=0 | 5, 4"}},
        {"ld", {"LOGICALDRIVE", "0", "roff"}, setFeatureChange(featReadCacheChangeable, 0), 2,
         "Controller does not support read cache changes.\n", {}},
        {"ld", {"LOGICALDRIVE", "0", "wt"}, setFeatureChange(featCacheSupport, 0), 2,
         "Command not supported for this controller\n", {}},
        {"ld", {"LOGICALDRIVE", "7", "wt"}, nullptr, 2, "Logical device 7 does not exist.\n", {}},
        {"mixed", {"LOGICALDRIVE", "1", "wt"}, nullptr, 2,
         "logical device 1 is in failed state. Cache settings cannot be changed for offline/failed array.\n", {}},
        {"ld",
         {"LOGICALDRIVE", "0", "roff"},
         twoChanges(setFeatureChange(featOrvexaSupport, 1),
                    [](System& root) {
                        fixtureLogicalDrive(root, 0).setOrvexaPreferredForTest(
                            static_cast<EnumOrvexaPreferredSetting>(2));
                    }),
         0,
         nullptr,
         {"setOrvexaPreferredCache adapter=0,logicalDrive=0 | 1",
          "setLogicalDriveCache adapter=0,logicalDrive=0 | 1, 4"}},
        {"ld", {"DEVICE", "SATA", "wb", "SAS", "wt"}, driveCacheModes(1, 0), 0, nullptr,
         {"setControllerPhysicalDriveCache adapter=0 | 0, 1"}},
        {"ld", {"DEVICE", "SAS", "wb", "SAS", "wt"}, driveCacheModes(1, 1), 0, nullptr,
         {"setControllerPhysicalDriveCache adapter=0 | 1, 0"}},
        {"ld", {"DEVICE", "SATA", "wt", "SAS", "wb"}, driveCacheModes(1, 1), 0,
         "New SATA cache mode is the same as the old SATA cache mode.\nThe selected parameter will be ignored.\n",
         {"setControllerPhysicalDriveCache adapter=0 | 1, 0"}},
        {"ld", {"DEVICE", "SATA", "wb", "SAS", "wt"}, driveCacheModes(3, 3), 2,
         "Controller #1 does not support setting global SAS device cache.\nThe selected parameter will be ignored.\n"
         "Controller #1 does not support setting global SATA device cache.\nThe selected parameter will be ignored.\n"
         "No new supported cache settings have been specified.\n",
         {}},
        {"ld", {"DEVICE", "SAS", "wb", "SATA"}, nullptr, 3, "Invalid cache option specified\n", {}},
        {"ld", {"DEVICE", "SAS", "xx", "SATA", "wb"}, nullptr, 3, "Invalid cache option specified\n", {}},
        {"ld", {"DEVICE", "SAS", "wt"}, setFeatureChange(featEnableHDDCache, 0), 2,
         "Controller #1 does not have Hard Drive Cache support.\n", {}},
        {"ld", {"DEVICE", "0", "2", "wt"}, nullptr, 0, nullptr,
         {"setPhysicalDriveCache adapter=0,channel=0,device=2 | 1"}},
        {"ld", {"DEVICE", "0", "2", "wt", "extra"}, nullptr, 0, nullptr,
         {"setPhysicalDriveCache adapter=0,channel=0,device=2 | 1"}},
        {"ld", {"DEVICE", "0", "2", "wb"}, nullptr, 2, same.c_str(), {}},
        {"ld", {"DEVICE", "0", "2", "xx"}, nullptr, 3, "Invalid cache option specified\n", {}},
        {"ld", {"DEVICE", "0", "x", "wt"}, nullptr, 3, nullptr, {}},
        {"ld", {"DEVICE", "0", "9", "wt"}, nullptr, 2, "The device specified does not exist.\n", {}},
        {"ld", {"DEVICE", "0", "7", "wt"}, addEnclosure, 2, "The device specified is not a hard drive.\n", {}},
        {"ld",
         {"DEVICE", "0", "2", "wt"},
         twoChanges(setFeatureChange(featOrvexaSupport, 1),
                    [](System& root) { fixtureDrive(root, 0, 2).setOrvexaAssignedForTest(true); }),
         2,
         "Disk specified cannot be used as it is assigned to Orvexa pool\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture + std::string(" ") + ::testing::PrintToString(c.words));
        use(c.fixture);
        if (c.change)
            scenario->changeTree(c.change);
        std::vector<std::string> words{"SETCACHE", "1"};
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

TEST_F(CacheAndPriorityCommandTest, SetCacheAsksOnlyWhereDataOrThePreferenceIsAtStake)
{
    use("ld");
    // The fixture's drive is in write-back already: no question, nothing done.
    ProviderResult result = runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "wb"}, true);
    EXPECT_EQ(result.warningType, 0);
    EXPECT_THAT(calls(), IsEmpty());
    result = runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "wt"}, true);
    EXPECT_EQ(result.warningType, 0);
    EXPECT_EQ(result.text, "Controllers found: 1\n\nCommand completed successfully.\n");

    use("ld").changeTree(setFeatureChange(featOrvexaSupport, 1));
    scenario->changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setOrvexaPreferredForTest(static_cast<EnumOrvexaPreferredSetting>(2));
    });
    result = runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "roff"}, true);
    EXPECT_EQ(result.text, "Controllers found: 1\n\n\nAre you sure you want to continue?\n"
                           "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(result.warningType, 1);
    EXPECT_THAT(calls(), IsEmpty());
    // A failed preference change leaves the read cache alone.
    scenario->answer("setOrvexaPreferredCache", Ret(-5));
    runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "roff"}, false);
    EXPECT_THAT(calls(), ElementsAre("setOrvexaPreferredCache adapter=0,logicalDrive=0 | 1"));
}

TEST_F(CacheAndPriorityCommandTest, WriteBackAsksAboutPowerFailure)
{
    use("ld").changeTree([](System& root) { fixtureLogicalDrive(root, 0).setWriteCacheSettingForTest(1); });
    const ProviderResult asked = runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "wb"}, true);
    EXPECT_EQ(asked.text, "Controllers found: 1\nWARNING: Power failure without battery/KVT support will lead to "
                          "data loss.\nDo you wish to continue?\n"
                          "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(asked.warningType, 1);
    const ProviderResult acted = runProvider({"SETCACHE", "1", "LOGICALDRIVE", "0", "wb"}, false);
    EXPECT_EQ(acted.text, "\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("setLogicalDriveCache adapter=0,logicalDrive=0 | 4, 2"));
}

TEST_F(CacheAndPriorityCommandTest, SetPriority)
{
    const TreeChange withFeature = setFeatureChange(featDefaultLDTaskPriority, 1);
    const CommandCase cases[] = {
        {"ld", {"high"}, withFeature, 0, nullptr, {"setDefaultLDTaskPriority adapter=0 | 2, false"}},
        {"ld", {"MEDIUM", "current"}, withFeature, 0, nullptr, {"setDefaultLDTaskPriority adapter=0 | 1, true"}},
        {"ld", {"high", "later"}, withFeature, 0, nullptr, {"setDefaultLDTaskPriority adapter=0 | 2, false"}},
        {"ld", {"high", "current", "x"}, withFeature, 3, "Invalid arguments.\n", {}},
        {"ld", {"3"}, withFeature, 3, nullptr, {}},
        {"ld", {"fast"}, withFeature, 3, nullptr, {}},
        {"ld", {"low"}, withFeature, 2, "The controller global priority is already set to Low.\n", {}},
        {"ld", {"high"}, nullptr, 2, "The requested feature is not supported on this controller.\n", {}},
        {"ld", {"3", "high"}, withFeature, 0, nullptr,
         {"getTasks adapter=0,logicalDrive=0", "setTaskPriority adapter=0 | 3, 2"}},
        {"ld", {"3", "low"}, withFeature, 2, "Task 3 is already running at Low priority.\n",
         {"getTasks adapter=0,logicalDrive=0"}},
        {"ld", {"4", "high"}, withFeature, 2, "Task 4 is not a valid logical device task ID.\n",
         {"getTasks adapter=0,logicalDrive=0"}},
        {"basic", {"3", "high"}, withFeature, 2, "Task 3 is not a valid logical device task ID.\n", {}},
        // One word after the priority is taken in either form.
        {"ld", {"3", "high", "x"}, withFeature, 0, nullptr,
         {"getTasks adapter=0,logicalDrive=0", "setTaskPriority adapter=0 | 3, 2"}},
        {"ld", {"3", "high", "x", "y"}, withFeature, 3, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture + std::string(" ") + ::testing::PrintToString(c.words));
        use(c.fixture);
        if (c.change)
            scenario->changeTree(c.change);
        Progress running = task(TASK_TYPE_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 10, 3);
        running.setPriority(PRIORITY_LOW);
        scenario->seedTasks(logicalDriveAddr(0), {running});
        std::vector<std::string> words{"SETPRIORITY", "1"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        int code = -1;
        const std::string shown = runShown(words, code);
        EXPECT_EQ(code, c.exitCode);
        if (c.shown != nullptr) {
            EXPECT_THAT(shown, HasSubstr(c.shown));
        }
        EXPECT_THAT(calls(), ElementsAreArray(c.calls));
    }
    // The outcome of each logical drive's query is what the engine reports
    // when no task matched.
    use("ld").answer("getTasks", Ret(-5));
    int code = -1;
    EXPECT_THAT(runShown({"SETPRIORITY", "1", "3", "high"}, code),
                HasSubstr("Task 3 is not a valid logical device task ID.\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(CacheAndPriorityCommandTest, SetPriorityWithoutASystemFails)
{
    for (const std::vector<std::string>& given :
         {std::vector<std::string>{"high"}, std::vector<std::string>{"3", "high"}}) {
        SCOPED_TRACE(::testing::PrintToString(given));
        RecordingLib lib("ld");
        std::vector<std::string> words{"vynconf", "SETPRIORITY", "1"};
        words.insert(words.end(), given.begin(), given.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        SetPriority command;
        ASSERT_EQ(command.loadArguments(argv.data(), static_cast<int>(words.size()), &lib), 0);
        discardOutputData();
        EXPECT_EQ(command.execute(&lib), 1);
        EXPECT_EQ(retString, "\nSystem Failure.\n");
        EXPECT_TRUE(lib.calls().empty());
    }
}

}  // namespace
