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

class ControllerSettingsTest : public CommandTest {};

struct SettingCase {
    std::string fixture;
    std::vector<TreeChange> changes;
    std::vector<std::string> words;
    int exitCode;
    // Expected in the output; empty for no check.
    std::string message;
    std::vector<std::string> calls;
};

TreeChange adapterChange(std::function<void(FixtureAdapter&)> change)
{
    return [change](System& root) { change(fixtureAdapter(root)); };
}

TEST_F(ControllerSettingsTest, SettingsTable)
{
    const SettingCase cases[] = {
        // COPYBACK, and the family's shape on it.
        {"basic",
         {adapterChange([](FixtureAdapter& a) { a.setCopyBackForTest(true); })},
         {"COPYBACK", "1", "on"},
         2,
         "Copy back is already turned On.\n",
         {}},
        {"basic", {}, {"COPYBACK", "1", "ON"}, 0, "Command completed successfully.", {"setCopyBack adapter=0 | true"}},
        {"basic", {}, {"COPYBACK", "1", "on", "extra"}, 3, "Invalid arguments.\n\n Usage: COPYBACK <Controller#>", {}},
        {"basic", {}, {"COPYBACK", "1", "maybe"}, 3, "", {}},
        {"basic", {}, {"COPYBACK", "x", "on"}, 3, "", {}},
        {"basic", {}, {"COPYBACK", "2", "on"}, 6, "Invalid controller number.", {}},
        // FAILOVER: the fixture's failover is on.
        {"basic", {}, {"FAILOVER", "1", "on"}, 2, "Automatic Failover is already turned On.\n", {}},
        {"basic", {}, {"FAILOVER", "1", "off"}, 0, "", {"setAutoFailover adapter=0 | false"}},
        // SETNCQ
        {"basic", {}, {"SETNCQ", "1", "disable"}, 2, "NCQ is already disabled for controller 1.\n", {}},
        {"basic",
         {},
         {"SETNCQ", "1", "Enable"},
         0,
         "\nWARNING : NCQ setting changes will be reflected only after next power cycle.\n",
         {"setSataNCQ adapter=0 | true"}},
        {"basic", {}, {"SETNCQ", "1", "on"}, 3, "", {}},
        // SETSTATSDATACOLLECTION
        {"basic",
         {},
         {"SETSTATSDATACOLLECTION", "1", "enable"},
         2,
         "The requested feature is not supported on this controller.\n",
         {}},
        {"basic",
         {setFeatureChange(featAdapterStatsDataCollectionMode, 1)},
         {"SETSTATSDATACOLLECTION", "1", "disable"},
         2,
         "Statistics data collection is already disabled for controller 1.\n",
         {}},
        {"basic",
         {setFeatureChange(featAdapterStatsDataCollectionMode, 1)},
         {"SETSTATSDATACOLLECTION", "1", "enable"},
         0,
         "",
         {"setStatisticDataCollectionMode adapter=0 | true"}},
        // RESETSTATISTICSCOUNTERS
        {"basic",
         {setFeatureChange(featAdapterStatsResetCounters, 1)},
         {"RESETSTATISTICSCOUNTERS", "1", "anything"},
         0,
         "",
         {"resetStatisticsCounters adapter=0"}},
        {"basic",
         {setFeatureChange(featAdapterStatsResetCounters, 1)},
         {"RESETSTATISTICSCOUNTERS", "1", "any", "thing"},
         3,
         " Usage: RESETSTATISTICSCOUNTERS<Controller#> [nologs]",
         {}},
        {"basic",
         {},
         {"RESETSTATISTICSCOUNTERS", "1"},
         2,
         "The requested feature is not supported on this controller.\n",
         {}},
        // ORVEXAWRITECACHE: model names up to '5' have no SSD write cache.
        {"basic",
         {adapterChange([](FixtureAdapter& a) { a.setDeviceNameForTest("5805"); })},
         {"ORVEXAWRITECACHE", "1", "on"},
         2,
         "The requested feature is not supported on this controller.\n",
         {}},
        {"basic",
         {adapterChange([](FixtureAdapter& a) { a.setDeviceNameForTest("6805"); })},
         {"ORVEXAWRITECACHE", "1", "on"},
         0,
         "",
         {"setOrvexaWrite adapter=0 | true"}},
        // SETPERFORM
        {"basic", {}, {"SETPERFORM", "1", "4"}, 3, " Usage: SETPERFORM <Controller#> <Performance Mode>", {}},
        {"basic", {}, {"SETPERFORM", "1", "x"}, 3, "", {}},
        {"basic",
         {setFeatureChange(featPerformanceMode, 1),
          adapterChange(
              [](FixtureAdapter& a) { a.setPerformanceModeForTest(static_cast<EnumPerformanceMode>(3), 7); })},
         {"SETPERFORM", "1", "2"},
         2,
         "Controller 1 is already configured for OLTP/Database.\n",
         {}},
        {"basic",
         {setFeatureChange(featPerformanceMode, 1),
          adapterChange(
              [](FixtureAdapter& a) { a.setPerformanceModeForTest(static_cast<EnumPerformanceMode>(3), 7); })},
         {"SETPERFORM", "1", "3"},
         0,
         "",
         {"setPerformanceMode adapter=0 | 11"}},
        {"basic",
         {setFeatureChange(featPerformanceMode, 1)},
         {"SETPERFORM", "1", "1"},
         17,
         "The requested feature is not supported on this controller.\n",
         {}},
        {"basic", {}, {"SETPERFORM", "1", "1"}, 2, "The requested feature is not supported on this controller.\n", {}},
        // DATASCRUB
        {"basic",
         {},
         {"DATASCRUB", "1", "period", "9"},
         3,
         "background consistency check period must be between 10 and 365 days inclusive.\n",
         {}},
        {"basic", {}, {"DATASCRUB", "1", "period", "366"}, 3, "between 10 and 365 days", {}},
        {"basic", {}, {"DATASCRUB", "1", "period"}, 3, "", {}},
        {"basic", {}, {"DATASCRUB", "1", "on", "x"}, 3, "", {}},
        {"basic", {}, {"DATASCRUB", "1", "off"}, 0, "", {"setDataScrubActive adapter=0 | false"}},
        // SETALARM: the recording library reports an alarm that is off.
        {"enclosure",
         {},
         {"SETALARM", "1", "0", "5", "test"},
         0,
         "",
         {"SES2EnclosureDevice::setAlarmState adapter=0,channel=0,device=5 | 4"}},
        {"enclosure",
         {},
         {"SETALARM", "1", "0", "5", "on"},
         2,
         "The enclosure alarm is already in the requested state.\n",
         {}},
        {"enclosure", {}, {"SETALARM", "1", "0", "9", "on"}, 2, "Enclosure device does not exist.\n", {}},
        {"enclosure",
         {},
         {"SETALARM", "1", "0", "1", "on"},
         2,
         "The enclosure does not have an audible alarm device.\n",
         {}},
        {"basic", {}, {"SETALARM", "1", "test"}, 0, "", {"getAlarmState adapter=0", "setAlarmState adapter=0 | 4"}},
        {"basic",
         {},
         {"SETALARM", "1", "OFF"},
         2,
         "The controller alarm is already in the requested state.\n",
         {"getAlarmState adapter=0"}},
        {"basic", {}, {"SETALARM", "1", "loud"}, 3, "", {}},
        {"basic", {}, {"SETALARM", "1", "0", "test"}, 3, "", {}},
        {"basic", {}, {"SETALARM", "1", "0", "5", "6", "test"}, 3, "", {}},
        {"basic", {}, {"SETALARM", "1", "test", "test"}, 3, "", {}},
        // ATAPASSWORD: masked in the logs, bounded here.
        {"basic",
         {[](System& root) { fixtureDrive(root, 0, 1).setATASecuritySupportForTest(true); }},
         {"ATAPASSWORD", "1", "SET", "secret", "0", "1"},
         0,
         "Setting the ATA security password on the SATA harddrive \n",
         {"configureATAPassword adapter=0,channel=0,device=1 | \"secret\", true"}},
        {"basic",
         {[](System& root) { fixtureDrive(root, 0, 1).setATASecuritySupportForTest(true); }},
         {"ATAPASSWORD", "1", "clear", "secret", "0", "1"},
         0,
         "Clearing the ATA security password on the SATA harddrive\n",
         {"configureATAPassword adapter=0,channel=0,device=1 | \"secret\", false"}},
        {"basic",
         {},
         {"ATAPASSWORD", "1", "SET", "secret", "0", "1"},
         2,
         "The requested feature is not supported on this device.\n",
         {}},
        {"basic", {}, {"ATAPASSWORD", "1", "SET", "secret", "0", "9"}, 2, "The device specified does not exist.\n", {}},
        {"basic",
         {},
         {"ATAPASSWORD", "1", "SET", std::string(32, 'p'), "0", "1"},
         3,
         "Usage: ATAPASSWORD <Controller#> SET <NEW PASSWORD> <Channel# ID#> [nologs]",
         {}},
        {"basic", {}, {"ATAPASSWORD", "1", "SET", "secret", "0"}, 3, "", {}},
        {"basic", {}, {"ATAPASSWORD", "1", "RESET", "secret", "0", "1"}, 3, "", {}},
        {"basic", {}, {"ATAPASSWORD", "1", "SET", "secret", "0", "x"}, 3, "", {}},
    };
    for (const SettingCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use(c.fixture);
        for (const TreeChange& change : c.changes)
            scenario->changeTree(change);
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode) << shown;
        EXPECT_THAT(shown, HasSubstr(c.message));
        EXPECT_EQ(calls(), c.calls);
    }
}

TEST_F(ControllerSettingsTest, ThirtyOneCharacterPasswordIsTaken)
{
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 1).setATASecuritySupportForTest(true); });
    int code = -1;
    runShown({"ATAPASSWORD", "1", "SET", std::string(31, 'p'), "0", "1"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("configureATAPassword adapter=0,channel=0,device=1 | \"" + std::string(31, 'p') +
                                     "\", true"));
}

TEST_F(ControllerSettingsTest, ScrubPeriodAsksThenSetsBothEvenWhenAlreadyActive)
{
    const ProviderResult asked = runProvider({"DATASCRUB", "1", "period", "30"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_EQ(asked.text, "Controllers found: 1\n"
                          "Setting the period will automatically turn on background consistency check.\n"
                          "\nAre you sure you want to continue?\n"
                          "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_THAT(calls(), IsEmpty());

    scenario->failWithApiStatus("setDataScrubActive", 505);
    const ProviderResult done = runProvider({"DATASCRUB", "1", "period", "30", "noprompt"}, true);
    EXPECT_EQ(done.warningType, 0);
    EXPECT_THAT(calls(), ElementsAre("setDataScrubActive adapter=0 | true", "setDataScrubRate adapter=0 | 30"));
    EXPECT_THAT(done.text, EndsWith("Command completed successfully.\n"));

    // Any other refusal keeps the rate unchanged.
    scenario->clearCalls();
    scenario->failWithApiStatus("setDataScrubActive", 31);
    int code = -1;
    runShown({"DATASCRUB", "1", "period", "30"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), ElementsAre("setDataScrubActive adapter=0 | true"));
}

TEST_F(ControllerSettingsTest, OrvexaWriteAlreadyInThatStateIsAnAbort)
{
    scenario->failWithApiStatus("setOrvexaWrite", 643);
    int code = -1;
    EXPECT_THAT(runShown({"ORVEXAWRITECACHE", "1", "off"}, code), HasSubstr("Orvexa is already turned Off.\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(ControllerSettingsTest, ControllerWithoutAlarm)
{
    scenario->failWithApiStatus("getAlarmState", 31);
    int code = -1;
    EXPECT_THAT(runShown({"SETALARM", "1", "on"}, code),
                HasSubstr("The controller does not have an audible alarm device.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), ElementsAre("getAlarmState adapter=0"));
}

// The keyword alone asks the program for the command's help.
TEST_F(ControllerSettingsTest, SettingsCommandsShowTheirUsage)
{
    const struct {
        const char* keyword;
        const char* usage;
    } cases[] = {
        {"COPYBACK", " Usage: COPYBACK <Controller#> <on|off> [nologs]\n"},
        {"FAILOVER", " Usage: FAILOVER <Controller#> <on/off> [nologs]\n"},
        {"SETNCQ", " Usage: SETNCQ <Controller#> <NCQ mode> [nologs]\n"},
        {"SETSTATSDATACOLLECTION",
         " Usage: SETSTATSDATACOLLECTION <Controller#> <STATSDATACOLLECTION mode> [nologs]\n"},
        {"RESETSTATISTICSCOUNTERS", " Usage: RESETSTATISTICSCOUNTERS<Controller#> [nologs]\n"},
        {"SETPERFORM", " Usage: SETPERFORM <Controller#> <Performance Mode> [nologs]\n"},
        {"DATASCRUB", " Usage: DATASCRUB <Controller#> <on|off|period <DAYS>> [noprompt] [nologs]\n"},
        {"SETALARM", " Usage: SETALARM <Controller#> <on|off|silence|test> [nologs]\n"
                     " Usage: SETALARM <Controller#> <Channel#> <Device#> <on|off|silence|test> [nologs]\n"},
        {"ATAPASSWORD", "Usage: ATAPASSWORD <Controller#> SET <NEW PASSWORD> <Channel# ID#> [nologs]\n"
                        "Usage: ATAPASSWORD <Controller#> CLEAR <CURRENT PASSWORD> <Channel# ID#> [nologs]\n"},
        {"SETCONFIG", " Usage: SETCONFIG <Controller#> DEFAULT [noprompt] [nologs]\n"},
        {"RESCAN", " Usage: RESCAN <Controller#> [nologs]\n"},
        {"SETORVEXA", " Read Caching:\n Usage: SETORVEXA <Controller#> LOGICALDRIVE"},
        {"SETPOWER", " Usage: SETPOWER <Controller#> <stayawake <disable | starttime# endtime# [DAYS]>> [nologs]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        int code = -1;
        EXPECT_THAT(runShown({c.keyword}, code), HasSubstr(std::string("\n") + c.usage));
        EXPECT_EQ(code, 1);
    }
}

// SETCONFIG DEFAULT ----------------------------------------------------------

TEST_F(ControllerSettingsTest, FactoryDefaultOnReadyDrivesClearsOnlyPowerManagement)
{
    int code = -1;
    const std::string shown = runShown({"SETCONFIG", "1", "DEFAULT"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(shown, EndsWith("Command completed successfully.\n"));
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 0, 0, 0, 0",
                                     "setPMControllerSpinupLimits adapter=0 | 0, 0"));
}

TEST_F(ControllerSettingsTest, FactoryDefaultDeletesAndFreesEveryDrive)
{
    use("mixed");
    // The JBOD as the controller shows one in use; an assigned SSD of the
    // cache pool.
    scenario->changeTree([](System& root) {
        fixtureDrive(root, 0, 4).setStateProperty(PD_ONLINE);
        FixtureHardDrive& ssd = fixtureDrive(root, 0, 6);
        ssd.setOrvexaCapableSSDForTest(true);
        ssd.setOrvexaAssignedForTest(true);
        ssd.setStateProperty(PD_ONLINE);
    });
    int code = -1;
    runShown({"SETCONFIG", "1", "default", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    // The recording library changes nothing, so the members of the deleted
    // logical drives are still online after the rebuild and are set ready.
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 0, 0, 0, 0",
                                     "setPMControllerSpinupLimits adapter=0 | 0, 0",
                                     "abortTask adapter=0,logicalDrive=0 | 0",
                                     "deleteLogicalDrive adapter=0,logicalDrive=0",
                                     "abortTask adapter=0,logicalDrive=1 | 0",
                                     "deleteLogicalDrive adapter=0,logicalDrive=1",
                                     "setDeviceState adapter=0,channel=0,device=0 | 0",
                                     "setDeviceState adapter=0,channel=0,device=1 | 0",
                                     "deleteHotSpare adapter=0,channel=0,device=2",
                                     "deleteHotSpare adapter=0,channel=0,device=3",
                                     "HardDrive::deleteJBOD adapter=0,channel=0,device=4",
                                     "setDeviceState adapter=0,channel=0,device=5 | 0",
                                     "Adapter::removeDriveFromOrvexaPool adapter=0 | [adapter=0,channel=0,device=6]"));
}

TEST_F(ControllerSettingsTest, FactoryDefaultStopsAtTheFirstFailure)
{
    use("mixed");
    scenario->failWithApiStatus("deleteLogicalDrive", 31);
    int code = -1;
    runShown({"SETCONFIG", "1", "DEFAULT"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 0, 0, 0, 0",
                                     "setPMControllerSpinupLimits adapter=0 | 0, 0",
                                     "abortTask adapter=0,logicalDrive=0 | 0",
                                     "deleteLogicalDrive adapter=0,logicalDrive=0"));

    use("mixed");
    scenario->failWithApiStatus("deleteHotSpare", 31);
    runShown({"SETCONFIG", "1", "DEFAULT"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(calls().back(), "deleteHotSpare adapter=0,channel=0,device=2");
}

TEST_F(ControllerSettingsTest, FactoryDefaultAsksBeforeLookingAtTheController)
{
    const ProviderResult asked = runProvider({"SETCONFIG", "9", "DEFAULT"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, EndsWith("WARNING: All data and partitions on all configured logical devices will be "
                                     "lost!\nDo you wish to continue?\nPress y, then ENTER to continue or press "
                                     "ENTER to abort: "));
    int code = -1;
    EXPECT_THAT(runShown({"SETCONFIG", "9", "DEFAULT"}, code), HasSubstr("Invalid controller number."));
    EXPECT_EQ(code, 6);
    runShown({"SETCONFIG", "1", "RESET"}, code);
    EXPECT_EQ(code, 3);
    runShown({"SETCONFIG", "1", "DEFAULT", "now"}, code);
    EXPECT_EQ(code, 3);
    runShown({"SETCONFIG", "1"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(calls(), IsEmpty());

    // "noprompt" acts at once, also for a caller that wants warnings.
    const ProviderResult done = runProvider({"SETCONFIG", "1", "DEFAULT", "noprompt"}, true);
    EXPECT_EQ(done.warningType, 0);
    EXPECT_EQ(done.text, "\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("setPMControllerStayAwakePeriod adapter=0 | 0, 0, 0, 0",
                                     "setPMControllerSpinupLimits adapter=0 | 0, 0"));
}

// RESET, CLEARNVSRAM, RESCAN -------------------------------------------------

TEST_F(ControllerSettingsTest, MaintenanceCommands)
{
    const struct {
        std::vector<std::string> words;
        int exitCode;
        std::vector<std::string> calls;
    } cases[] = {
        {{"RESCAN", "1"}, 0, {"syncRescan adapter=0"}},
        {{"RESCAN", "1", "forceful"}, 0, {"syncRescan adapter=0"}},
        {{"RESCAN", "1", "Force"}, 3, {}},
        {{"RESCAN", "1", "force", "now"}, 3, {}},
        {{"RESCAN", "2"}, 6, {}},
        {{"RESET", "1"}, 0, {"resetController adapter=0"}},
        {{"RESET", "1", "now"}, 3, {}},
        {{"CLEARNVSRAM", "1"}, 0, {"clearControllerNvsRam adapter=0"}},
        {{"CLEARNVSRAM", "9"}, 6, {}},
        {{"CLEARNVSRAM", "1", "x"}, 3, {}},
        {{"CLEARNVSRAM", "x"}, 3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        scenario->clearCalls();
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_EQ(calls(), c.calls);
        if (c.exitCode == 6) {
            EXPECT_THAT(shown, HasSubstr("Invalid controller number.\n"));
        }
    }
}

TEST_F(ControllerSettingsTest, TwoControllersAreAddressedByNumber)
{
    use("two-controllers");
    int code = -1;
    runShown({"RESCAN", "2"}, code);
    EXPECT_EQ(code, 0);
    runShown({"COPYBACK", "2", "on"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("syncRescan adapter=1", "setCopyBack adapter=1 | true"));
    // The program builds only the controller that GETCONFIG names.
    EXPECT_THAT(runShown({"GETCONFIG", "2", "AD"}, code), HasSubstr("Controller information"));
    EXPECT_EQ(code, 0);
    runShown({"GETCONFIG", "3", "AD"}, code);
    EXPECT_NE(code, 0);
}

}  // namespace
