#include "CommandTest.h"

#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/ModelEnums.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

class OrvexaPowerCommandsTest : public CommandTest {
protected:
    int count(const std::string& text, const std::string& part)
    {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
};

const char* const kOrvexaUsage = " Usage: SETORVEXA <Controller#> LOGICALDRIVE <LD#> [<LD#> <LD#>..] READCACHE";
const char* const kPowerUsage = " Usage: SETPOWER <Controller#> <stayawake <disable | starttime# endtime# [DAYS]>>";
const char* const kOrdering =
    "Make sure slow down time is less than poweroff time & poweroff time is less than verify time\n";

// SETORVEXA -------------------------------------------------------------------

TEST_F(OrvexaPowerCommandsTest, OrvexaBalanceOutOfRangeShowsItsMessageAndTheUsage)
{
    use("ssd");
    int code = -1;
    const std::string shown = runShown({"SETORVEXA", "1", "RWBALANCE", "0", "5"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(shown, HasSubstr("The read, write balance factor should be between 1 to 10 inclusive.\n"
                                 "Invalid arguments.\n\n Read Caching:\n"));
    EXPECT_THAT(shown, HasSubstr(kOrvexaUsage));
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, OrvexaWordsAreCountedExactly)
{
    use("ssd");
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"SETORVEXA", "1", "RWBALANCE", "5"}, 3, nullptr},
        {{"SETORVEXA", "1", "RWBALANCE", "5", "5", "5"}, 3, nullptr},
        {{"SETORVEXA", "1", "RWBALANCE", "5", "x"}, 3, "between 1 to 10 inclusive."},
        {{"SETORVEXA", "1", "CLEAR", "x"}, 3, nullptr},
        {{"SETORVEXA", "1", "FLUSHANDFETCHRATE", "1001"}, 3, "The flush and fetch rate should be between 1 and 1000"},
        {{"SETORVEXA", "1", "FLUSHANDFETCHRATE", "x"}, 3, nullptr},
        {{"SETORVEXA", "1", "FLUSHANDFETCHRATE", "10", "x"}, 3, nullptr},
        {{"SETORVEXA", "1", "DIRTYPAGETHRESHOLD", "101"}, 3, "dirty page threshold should be in between 1 to 100."},
        {{"SETORVEXA", "1", "SOMETHING"}, 3, nullptr},
        {{"SETORVEXA", "x", "CLEAR"}, 3, nullptr},
        {{"SETORVEXA", "1", "ADDTOPOOL", "0,1", "0", "1"}, 3, "\nCannot use a drive multiple times\n"},
        {{"SETORVEXA", "1", "ADDTOPOOL", "0,x"}, 3, nullptr},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "0", "READCACHE", "ENABLE"},
         3,
         "The logical device number is redundant in the given input\n"},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "ENABLE", "WB"}, 3, nullptr},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "ENABLE", "WRITEPOLICY", "XX"}, 3, nullptr},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "READCACHE", "ENABLE", "x"}, 3, nullptr},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "1", "2", "3"}, 3, nullptr},
        {{"SETORVEXA", "1", "LOGICALDRIVE", "0", "READCACHE", "MAYBE"}, 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_THAT(shown, HasSubstr("Invalid arguments.\n\n Read Caching:"));
        if (c.message != nullptr) {
            EXPECT_THAT(shown, HasSubstr(c.message));
        }
    }
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, OrvexaLogicalDriveLinesThatParse)
{
    use("ld");
    scenario->changeTree(setFeatureChange(featOrvexaWriteCacheSupport, 1));
    scenario->changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setOrvexaWriteCacheForTest(static_cast<EnumOrvexaWriteCachePreferredSetting>(1),
                                                                static_cast<EnumOrvexaWriteCachePolicySetting>(0));
    });
    int code = -1;
    runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "ENABLE", "WRITEPOLICY", "wb", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    runShown({"SETORVEXA", "1", "logicaldrive", "0", "writecache", "enable", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPreferredOrvexaWriteCache adapter=0,logicalDrive=0 | 2, 1",
                                     "setPreferredOrvexaWriteCache adapter=0,logicalDrive=0 | 2, 0"));
}

TEST_F(OrvexaPowerCommandsTest, PoolTakesWhatItCanHoldAndReportsTheRest)
{
    use("ssd");
    int code = -1;
    const std::string shown = runShown({"SETORVEXA", "1", "ADDTOPOOL", "0", "4", "0,5", "0", "6", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("Adapter::isOrvexaHasDirtyData adapter=0",
                                     "Adapter::addDriveToOrvexaPool adapter=0 | [adapter=0,channel=0,device=4]",
                                     "Adapter::addDriveToOrvexaPool adapter=0 | [adapter=0,channel=0,device=5]"));
    EXPECT_EQ(count(shown, "Orvexa pool can support a maximum of 2 SSD drives.\nUnable to add more SSD drives.\n"), 1);
    EXPECT_THAT(shown, HasSubstr("Warning:Requested operation could not be performed on 1 disks.\n"));
    EXPECT_THAT(shown, EndsWith("Command completed successfully.\n"));
}

TEST_F(OrvexaPowerCommandsTest, PoolRefusesDrivesOneByOne)
{
    use("ssd");
    scenario->changeTree([](System& root) {
        fixtureDrive(root, 0, 5).setOrvexaAssignedForTest(true);
        fixtureDrive(root, 0, 6).setStateProperty(PD_ONLINE);
    });
    int code = -1;
    const std::string shown =
        runShown({"SETORVEXA", "1", "ADDTOPOOL", "0", "0", "0", "5", "0", "6", "0", "9", "noprompt"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("Disk 0,0 is not Orvexa capable.\n\n"
                                 "Disk 0,5 is already a member of the Orvexa pool.\n\n"
                                 "Disk 0,6 is not in Ready state. Only SSD drives with Ready state can be assigned "
                                 "to orvexa pool.\n\n"
                                 "Disk 0,9 does not exist\n\n"));
    EXPECT_THAT(calls(), ElementsAre("Adapter::isOrvexaHasDirtyData adapter=0"));

    // Removal: only members leave; a failing call prints the decoded reason.
    scenario->clearCalls();
    scenario->failWithApiStatus("Adapter::removeDriveFromOrvexaPool", 31);
    const std::string removed = runShown({"SETORVEXA", "1", "REMOVEFROMPOOL", "0,5", "0,4", "noprompt"}, code);
    // Every listed drive failed: the driver reports the last refusal.
    EXPECT_EQ(code, 1);
    EXPECT_THAT(removed, EndsWith("\nCommand failed.\n"));
    EXPECT_THAT(removed, HasSubstr("Disk 0,4 is not a member of the Orvexa pool.\n\n"));
    EXPECT_THAT(removed, HasSubstr("Disk 0, 5: "));
    EXPECT_THAT(removed, HasSubstr("Warning:Requested operation could not be performed on 2 disks.\n"));
    EXPECT_THAT(calls(), ElementsAre("Adapter::isOrvexaHasDirtyData adapter=0",
                                     "Adapter::removeDriveFromOrvexaPool adapter=0 | [adapter=0,channel=0,device=5]"));
}

TEST_F(OrvexaPowerCommandsTest, DirtyPoolDataStopsPoolChanges)
{
    use("ssd");
    scenario->failWithApiStatus("Adapter::isOrvexaHasDirtyData", 639);
    int code = -1;
    const std::string shown = runShown({"SETORVEXA", "1", "ADDTOPOOL", "0,4", "noprompt"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("\nThis operation is not allowed because Orvexa is having dirty data. Please disable "
                                 "the Orvexa write-back caching on all logical devices and try later.\n\n"));
    EXPECT_THAT(calls(), ElementsAre("Adapter::isOrvexaHasDirtyData adapter=0"));

    // CLEAR learns it from its own answer.
    scenario->clearCalls();
    scenario->changeTree([](System& root) { fixtureAdapter(root).setOrvexaPoolForTest(1, 2); });
    scenario->failWithApiStatus("Adapter::clearOrvexaPool", 639);
    EXPECT_THAT(runShown({"SETORVEXA", "1", "CLEAR"}, code), HasSubstr("Orvexa is having dirty data"));
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), ElementsAre("Adapter::clearOrvexaPool adapter=0"));
}

TEST_F(OrvexaPowerCommandsTest, PoolAsksOnceBeforeTheFirstChange)
{
    use("ssd");
    const ProviderResult asked = runProvider({"SETORVEXA", "1", "ADDTOPOOL", "0,4", "0,5"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, EndsWith("This will add the disks specified to the Orvexa pool.\n"
                                     "\nAre you sure you want to continue?\n"
                                     "Press y, then ENTER to continue or press ENTER to abort: "));
    EXPECT_THAT(calls(), ElementsAre("Adapter::isOrvexaHasDirtyData adapter=0"));
}

TEST_F(OrvexaPowerCommandsTest, PoolSettings)
{
    use("ssd");
    scenario->changeTree(setFeatureChange(featOrvexaFlushAndFetchRate, 1));
    scenario->changeTree([](System& root) { fixtureAdapter(root).setOrvexaRatesForTest(50, 30); });
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* message;
        std::vector<std::string> calls;
    } cases[] = {
        {{"SETORVEXA", "1", "CLEAR"}, 2, "\nThe requested operation needs a Orvexa pool configured. \n", {}},
        {{"SETORVEXA", "1", "FLUSHANDFETCHRATE", "50"},
         2,
         "The flush and fetch rate input value is same as the existing one\n",
         {}},
        {{"SETORVEXA", "1", "FLUSHANDFETCHRATE", "60"},
         0,
         "\nWarning: There is no cache pool configured.\nThe settings would be effective only after the cache pool "
         "is configured \n",
         {"setOrvexaFlushAndFetchRate adapter=0 | 60"}},
        {{"SETORVEXA", "1", "DIRTYPAGETHRESHOLD", "30"},
         2,
         "The dirty page threshold input value is same as the existing one\n",
         {}},
        {{"SETORVEXA", "1", "DIRTYPAGETHRESHOLD", "40"}, 0, nullptr, {"setDirtyPageThresholdValue adapter=0 | 40"}},
        {{"SETORVEXA", "1", "RWBALANCE", "3", "7"},
         2,
         "The requested feature is not supported on this controller.\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        scenario->clearCalls();
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        if (c.message != nullptr) {
            EXPECT_THAT(shown, HasSubstr(c.message));
        }
        EXPECT_EQ(calls(), c.calls);
    }
}

TEST_F(OrvexaPowerCommandsTest, OrvexaNeedsTheControllerFeatures)
{
    use("ld");
    int code = -1;
    EXPECT_THAT(runShown({"SETORVEXA", "1", "CLEAR"}, code),
                HasSubstr("Controller 1 does not support Orvexa read and write cache.\n"));
    EXPECT_EQ(code, 19);
    scenario->changeTree(setFeatureChange(featOrvexaSupport, 1));
    EXPECT_THAT(runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "DISABLE"}, code),
                HasSubstr("Controller 1 does not support Orvexa write cache.\n"));
    EXPECT_EQ(code, 19);
    EXPECT_THAT(runShown({"SETORVEXA", "2", "CLEAR"}, code), HasSubstr("Invalid controller number."));
    EXPECT_EQ(code, 6);
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, LogicalDrivesAlreadySetMakeNoCall)
{
    use("ld");
    scenario->changeTree(setFeatureChange(featOrvexaSupport, 1));
    scenario->changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setOrvexaPreferredForTest(static_cast<EnumOrvexaPreferredSetting>(2));
    });
    int code = -1;
    const std::string shown = runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "7", "READCACHE", "ENABLE"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("\nOrvexa read cache is currently enabled for the logical device 0\n"
                                 "\nlogical device 7 does not exist.\n"
                                 "Warning:Requested operation could not be performed on 2 logical device(s).\n"));
    EXPECT_THAT(calls(), IsEmpty());

    // Disabling asks once, before its first call.
    const ProviderResult asked =
        runProvider({"SETORVEXA", "1", "LOGICALDRIVE", "0", "READCACHE", "DISABLE"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, HasSubstr("\nAre you sure you want to continue?\n"));
    EXPECT_THAT(calls(), IsEmpty());
    runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "READCACHE", "DISABLE"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setOrvexaPreferredCache adapter=0,logicalDrive=0 | 1"));
}

TEST_F(OrvexaPowerCommandsTest, WriteCacheWarningFollowsTheCacheProtection)
{
    use("ld");
    scenario->changeTree(setFeatureChange(featOrvexaWriteCacheSupport, 1));
    scenario->changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setOrvexaWriteCacheForTest(static_cast<EnumOrvexaWriteCachePreferredSetting>(1),
                                                                static_cast<EnumOrvexaWriteCachePolicySetting>(0));
    });
    const std::vector<std::string> words{"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITECACHE", "ENABLE"};
    // The fixture's battery is not installed (4).
    EXPECT_THAT(runProvider(words, true).text,
                HasSubstr("\nWARNING: Power failure without battery/KVT support will lead to \ndata loss.\n"));
    scenario->changeTree([](System& root) { fixtureAdapter(root).backupUnitForTest(true, 0); });
    EXPECT_THAT(runProvider(words, true).text, Not(HasSubstr("WARNING: Power failure")));
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, WritePolicyChangesOnlyAnEnabledCache)
{
    use("ld");
    scenario->changeTree(setFeatureChange(featOrvexaWriteCacheSupport, 1));
    scenario->changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setOrvexaWriteCacheForTest(static_cast<EnumOrvexaWriteCachePreferredSetting>(2),
                                                                static_cast<EnumOrvexaWriteCachePolicySetting>(1));
    });
    int code = -1;
    EXPECT_THAT(runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITEPOLICY", "WB"}, code),
                HasSubstr("Orvexa write cache policy \"Write Back\" is already enabled for the logical device 0\n"));
    EXPECT_EQ(code, 1);
    runShown({"SETORVEXA", "1", "LOGICALDRIVE", "0", "WRITEPOLICY", "WT"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPreferredOrvexaWriteCache adapter=0,logicalDrive=0 | 3, 3"));
}

// SETPOWER --------------------------------------------------------------------

TEST_F(OrvexaPowerCommandsTest, StayAwakeWindowInMinutesWithItsDays)
{
    int code = -1;
    const std::string shown = runShown({"SETPOWER", "1", "stayawake", "1345", "1640", "sun", "fri", "wed"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 825, 1000, 1, 84"));
    EXPECT_THAT(shown, EndsWith("Command completed successfully.\n"));

    scenario->clearCalls();
    runShown({"SETPOWER", "1", "stayawake", "1345", "1640"}, code);
    EXPECT_EQ(code, 0);
    runShown({"SETPOWER", "1", "stayawake", "disable"}, code);
    EXPECT_EQ(code, 0);
    runShown({"SETPOWER", "1", "spinup", "5", "11"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 825, 1000, 1, 127",
                                     "setPMControllerStayAwakePeriod adapter=0 | 0, 0, 0, 0",
                                     "setPMControllerSpinupLimits adapter=0 | 5, 11"));
}

TEST_F(OrvexaPowerCommandsTest, PowerValuesOutOfRangeAbortWithTheHelp)
{
    use("ld");
    const struct {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {
        {{"SETPOWER", "1", "stayawake", "2400", "0100"}, "2400 out of range. Check usage below\n"},
        {{"SETPOWER", "1", "stayawake", "1000", "1360"}, "1360 out of range. Check usage below\n"},
        {{"SETPOWER", "1", "spinup", "21", "30"},
         "21 out of range. Check usage below\n30 out of range. Check usage below\n"},
        {{"SETPOWER", "1", "ld", "0", "slowdown", "4"}, "4 out of range. Check usage below\n"},
        {{"SETPOWER", "1", "ld", "0", "verify", "5"}, "300 out of range. Check usage below\n"},
        {{"SETPOWER", "1", "ld", "0", "verify", "4294967"}, "257698020 out of range. Check usage below\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, 2);
        EXPECT_THAT(shown, HasSubstr(std::string(c.message) + kPowerUsage));
        EXPECT_THAT(shown, HasSubstr("\nCommand aborted.\n"));
    }
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, PowerParsing)
{
    use("ld");
    const struct {
        std::vector<std::string> words;
        int exitCode;
    } cases[] = {
        {{"SETPOWER", "1", "stayawake"}, 3},
        {{"SETPOWER", "1", "stayawake", "1000"}, 3},
        {{"SETPOWER", "1", "stayawake", "1000", "x"}, 3},
        {{"SETPOWER", "1", "stayawake", "1000", "1100", "someday"}, 3},
        {{"SETPOWER", "1", "stayawake", "1000", "1100", "mon", "tue", "wed", "thu", "fri", "sat", "sun", "mon", "tue"},
         3},
        {{"SETPOWER", "1", "spinup", "5"}, 3},
        {{"SETPOWER", "1", "spinup", "5", "6", "7"}, 3},
        {{"SETPOWER", "1", "ld", "0"}, 3},
        {{"SETPOWER", "1", "ld", "x", "disable"}, 3},
        {{"SETPOWER", "1", "ld", "0", "slowdown"}, 3},
        {{"SETPOWER", "1", "ld", "0", "sleep", "5"}, 3},
        {{"SETPOWER", "1", "ld", "0", "slowdown", "5", "slowdown", "10"}, 3},
        {{"SETPOWER", "1", "ld", "0", "slowdown", "5", "poweroff"}, 3},
        {{"SETPOWER", "1", "wake", "up"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_THAT(shown, HasSubstr(std::string("Invalid arguments.\n\n") + kPowerUsage));
        EXPECT_THAT(shown, Not(HasSubstr(kOrdering)));
    }
    int code = -1;
    const std::string repeated = runShown({"SETPOWER", "1", "ld", "0", "poweroff", "5", "poweroff", "10"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(repeated, HasSubstr(std::string(kOrdering) + "Invalid arguments.\n"));
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(OrvexaPowerCommandsTest, LogicalDriveTimers)
{
    use("ld");
    scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 0).setPMForTest(false, 3, 10, 60); });
    int code = -1;
    // Verify is typed in hours; the other two keep the drive's values.
    runShown({"SETPOWER", "1", "ld", "0", "verify", "4"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMLogicalDriveTimers adapter=0,logicalDrive=0 | 3, 10, 240",
                                     "setPMLogicalDriveEnabled adapter=0,logicalDrive=0 | true"));
    const int discoveries = scenario->discoveries();

    scenario->clearCalls();
    EXPECT_THAT(runShown({"SETPOWER", "1", "ld", "0", "slowdown", "20", "poweroff", "10"}, code),
                HasSubstr(kOrdering));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), IsEmpty());
    runShown({"SETPOWER", "1", "ld", "0", "slowdown", "20", "poweroff", "0"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMLogicalDriveTimers adapter=0,logicalDrive=0 | 20, 0, 60",
                                     "setPMLogicalDriveEnabled adapter=0,logicalDrive=0 | true"));
    EXPECT_GT(scenario->discoveries(), discoveries);

    // Power management already on after the timers: no switch-on.
    scenario->clearCalls();
    scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 0).setPMForTest(true, 3, 10, 60); });
    runShown({"SETPOWER", "1", "ld", "0", "slowdown", "5"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMLogicalDriveTimers adapter=0,logicalDrive=0 | 5, 10, 60"));
}

TEST_F(OrvexaPowerCommandsTest, PowerManagementOffAndItsChecks)
{
    use("ld");
    int code = -1;
    EXPECT_THAT(runShown({"SETPOWER", "1", "ld", "0", "disable"}, code), HasSubstr("Already Disabled\n"));
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), IsEmpty());
    scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 0).setPMForTest(true, 0, 0, 0); });
    runShown({"SETPOWER", "1", "ld", "0", "disable"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("setPMLogicalDriveEnabled adapter=0,logicalDrive=0 | false"));

    EXPECT_THAT(runShown({"SETPOWER", "1", "ld", "3", "disable"}, code),
                HasSubstr("Logical device 3 does not exist.\n"));
    EXPECT_EQ(code, 2);
    runShown({"SETPOWER", "2", "spinup", "1", "1"}, code);
    EXPECT_EQ(code, 6);
    scenario->changeTree(setFeatureChange(featPowerManagement, 0));
    EXPECT_THAT(runShown({"SETPOWER", "1", "spinup", "1", "1"}, code),
                HasSubstr("Controller 1 does not support power management.\n"));
    EXPECT_EQ(code, 18);
}

TEST_F(OrvexaPowerCommandsTest, RefusedPowerSettingIsReportedAsAFailure)
{
    scenario->failWithApiStatus("setPMControllerSpinupLimits", 31);
    int code = -1;
    const std::string shown = runShown({"SETPOWER", "1", "spinup", "2", "2"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, EndsWith("\nThe function specified is not supported for this controller.\n\nCommand failed.\n"));
    EXPECT_THAT(shown, Not(HasSubstr("Command completed successfully.")));
    EXPECT_THAT(calls(), ElementsAre("setPMControllerSpinupLimits adapter=0 | 2, 2"));
}

}  // namespace
