#include "CommandTest.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/ModelEnums.h"
#include "RaidModel/Interface/Chunk.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "common/Progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

class InformationCommandsTest : public CommandTest {
protected:
    // The real output of one run, which starts on an empty output file.
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

const char* const kRule70 = "----------------------------------------------------------------------\n";

TEST_F(InformationCommandsTest, GetConfigOptionsChooseTheirSections)
{
    use("ld");
    const struct {
        std::vector<std::string> words;
        int exitCode;
        bool controller, logical, physical;
    } cases[] = {
        {{"GETCONFIG", "1"}, 0, true, true, true},
        {{"GETCONFIG", "1", "AD"}, 0, true, false, false},
        {{"GETCONFIG", "1", "LD"}, 0, false, true, false},
        {{"GETCONFIG", "1", "LD", "0"}, 0, false, true, false},
        {{"GETCONFIG", "1", "ld", "7"}, 0, false, true, false},
        {{"GETCONFIG", "1", "PD"}, 0, false, false, true},
        {{"GETCONFIG", "1", "AL"}, 0, true, true, true},
        {{"GETCONFIG", "1", "XX"}, 3, false, false, false},
        {{"GETCONFIG", "1", "AD", "2"}, 3, false, false, false},
        {{"GETCONFIG", "1", "LD", "x"}, 3, false, false, false},
        {{"GETCONFIG", "1", "LD", "0", "1"}, 3, false, false, false},
        {{"GETCONFIG", "x"}, 3, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        const std::string shown = runFresh(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_EQ(shown.find("\nController information\n") != std::string::npos, c.controller);
        EXPECT_EQ(shown.find("\nLogical device information\n") != std::string::npos, c.logical);
        EXPECT_EQ(shown.find("\nPhysical Device information\n") != std::string::npos, c.physical);
        if (c.exitCode == 3) {
            EXPECT_THAT(shown, HasSubstr("Invalid arguments.\n\n Usage: GETCONFIG <Controller#>"));
        }
    }
}

TEST_F(InformationCommandsTest, GetConfigSectionTexts)
{
    int code = -1;
    std::string shown = runFresh({"GETCONFIG", "1", "AD"}, code);
    EXPECT_THAT(shown, HasSubstr(std::string("Controllers found: 1\n") + kRule70 + "Controller information\n" + kRule70 +
                                 "   Controller Status" + std::string(44 - 20, ' ') + ": Optimal\n"));
    shown = runFresh({"GETCONFIG", "1", "LD"}, code);
    EXPECT_EQ(shown, std::string("Controllers found: 1\n") + kRule70 + "Logical device information\n" + kRule70 +
                         "   No logical devices configured\n\n\nCommand completed successfully.\n");
    use("ld");
    shown = runFresh({"GETCONFIG", "1", "LD", "7"}, code);
    EXPECT_EQ(shown, std::string("Controllers found: 1\n") + kRule70 + "Logical device information\n" + kRule70 +
                         "Logical device number 7 does not exist\n\n\nCommand completed successfully.\n");
    shown = runFresh({"GETCONFIG", "1", "LD", "0"}, code);
    EXPECT_THAT(shown, HasSubstr(kRule70 + std::string("Logical device number 0\n   Logical device name")));
    // The driver builds only the named controller; one that is not there.
    shown = runFresh({"GETCONFIG", "2"}, code);
    EXPECT_EQ(code, 6);
    EXPECT_EQ(shown, "Controllers found: 0\nInvalid controller number.\n");
}

TEST_F(InformationCommandsTest, GetConfigShowsSasDevicesOnceAndOtherChannelsOneByOne)
{
    use("ld").changeTree([](System& root) {
        FixtureAdapter& adapter = fixtureAdapter(root);
        adapter.addChild(new SATAChannel(&adapter, 1, static_cast<EnumSpeed>(301), 0));
    });
    int code = -1;
    std::string shown = runFresh({"GETCONFIG", "1", "PD"}, code);
    EXPECT_THAT(shown, HasSubstr("   Channel #0:\n"));
    EXPECT_THAT(shown, HasSubstr("   Channel #1:\n"));
    use("sas");
    shown = runFresh({"GETCONFIG", "1", "PD"}, code);
    EXPECT_THAT(shown, Not(HasSubstr("   Channel #")));
    EXPECT_THAT(shown, HasSubstr("Device #0"));
}

TEST_F(InformationCommandsTest, GetConfigMarksDrivesWithFailedSegments)
{
    auto failedSegmentOnDrive2 = [](System& root) {
        FixtureAdapter& adapter = fixtureAdapter(root);
        FixtureLogicalDrive* drive = new FixtureLogicalDrive(&adapter, 1, "Broken", RAID_LEVEL_0, 40960);
        HardDrive* member = &fixtureDrive(root, 0, 2);
        drive->addChild(new Chunk(member, drive, 0, 40960, static_cast<EnumChunkType>(1), 0,
                                  CHUNK_STATE_FAILED_SEGMENT, 0, 1));
        adapter.addChild(drive);
    };
    use("ld").changeTree(failedSegmentOnDrive2);
    int code = -1;
    const std::string shown = runFresh({"GETCONFIG", "1", "PD"}, code);
    const std::string line = "Failed logical device segments";
    ASSERT_NE(shown.find(line), std::string::npos);
    EXPECT_GT(shown.find(line), shown.find("Device #2\n"));
    EXPECT_LT(shown.find(line), shown.find("Device #3\n"));
    EXPECT_EQ(shown.find(line), shown.rfind(line));

    // A single device printed on its own looks its chunks up itself.
    std::unique_ptr<System> root = makeFixtureSystem("ld");
    failedSegmentOnDrive2(*root);
    retString.clear();
    printPhysicalDevice(&fixtureAdapter(*root), &fixtureDrive(*root, 0, 2), -1);
    EXPECT_THAT(retString, HasSubstr(line));
    retString.clear();
    printPhysicalDevice(&fixtureAdapter(*root), &fixtureDrive(*root, 0, 3), -1);
    EXPECT_THAT(retString, Not(HasSubstr(line)));
}

TEST_F(InformationCommandsTest, GetStatusShowsRunningTasksOnly)
{
    const std::string none = "Controllers found: 1\n   Current operation" + std::string(34 - 20, ' ') +
                             ": None\n\nCommand completed successfully.\n";
    use("ld");
    int code = -1;
    EXPECT_EQ(runFresh({"GETSTATUS", "1"}, code), none);
    EXPECT_EQ(code, 0);
    // One query per logical drive and per hard drive.
    EXPECT_THAT(calls(), ElementsAre("getTasks adapter=0,logicalDrive=0", "getTasks adapter=0,channel=0,device=0",
                                     "getTasks adapter=0,channel=0,device=1", "getTasks adapter=0,channel=0,device=2",
                                     "getTasks adapter=0,channel=0,device=3"));

    // The controller's own consistency check, a record of type 0, and a
    // drive's record that belongs to a logical drive are not shown.
    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_BUILD_VERIFY, adapterAddr(), TASK_STATE_IN_PROGRESS, 5),
                                              task(TASK_TYPE_NONE, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 5)});
    scenario->seedTasks(deviceAddr(0, 1), {task(TASK_TYPE_REBUILD, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 5)});
    EXPECT_EQ(runFresh({"GETSTATUS", "1"}, code), none);

    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_BUILD_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS,
                                                   42, 7)});
    scenario->seedTasks(deviceAddr(0, 2), {task(TASK_TYPE_CLEAR, deviceAddr(0, 2), TASK_STATE_PAUSED, 10, 8)});
    const std::string shown = runFresh({"GETSTATUS", "1"}, code);
    auto line = [](const char* label, const std::string& value) {
        return "   " + std::string(label) + std::string(31 - std::string(label).size(), ' ') + ": " + value + "\n";
    };
    EXPECT_EQ(shown, "Controllers found: 1\nLogical device Task:\n" + line("Logical device", "0") + line("Task ID", "7") +
                         line("Current operation", "Build/Verify") + line("Status", "In Progress") +
                         line("Priority", "High") + line("Percentage complete", "42") +
                         "\nPhysical Device Task:\n" + line("Channel,Device", "0,2") + line("Task ID", "8") +
                         line("Current operation", "Clear") + line("Status", "Paused") + line("Priority", "High") +
                         "\n\nCommand completed successfully.\n");
    EXPECT_EQ(runFresh({"GETSTATUS", "1", "x"}, code).find("Invalid arguments."), std::string("Controllers found: 1\n").size());
}

TEST_F(InformationCommandsTest, GetStatusOfAnotherControllerFamilyAsksTheLogicalDrives)
{
    use("ld").changeTree([](System& root) { fixtureAdapter(root).familyClass = false; });
    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_VERIFY, logicalDriveAddr(0), TASK_STATE_PAUSED, 3, 4)});
    int code = -1;
    const std::string shown = runFresh({"GETSTATUS", "1"}, code);
    EXPECT_THAT(shown, HasSubstr("Logical device Task:\n   Logical device" + std::string(31 - 14, ' ') + ": 0\n"));
    EXPECT_THAT(shown, Not(HasSubstr("Percentage complete")));
    EXPECT_THAT(calls(), ElementsAre("getProgress adapter=0,logicalDrive=0"));
}

TEST_F(InformationCommandsTest, GetLogsArguments)
{
    use("ld");
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* call;  // null: none
    } cases[] = {
        {{"GETLOGS", "1"}, 3, nullptr},
        {{"GETLOGS", "1", "CACHE", "LOGICALDRIVE"}, 3, nullptr},
        {{"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "x"}, 3, nullptr},
        {{"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "ALL", "clear"}, 3, nullptr},
        {{"GETLOGS", "1", "PPI"}, 3, nullptr},
        {{"GETLOGS", "1", "PPI", "tabular"}, 3, nullptr},
        {{"GETLOGS", "1", "BOGUS"}, 3, nullptr},
        {{"GETLOGS", "1", "DEVICE", "foo", "bar"}, 3, nullptr},
        {{"GETLOGS", "1", "PPI", "CLEAR"}, 0, "clearPPITable adapter=0"},
        {{"GETLOGS", "1", "event", "clear"}, 0, "clearControllerLog adapter=0 | 6"},
        {{"GETLOGS", "1", "DEVICE", "foo"}, 0, "getControllerLog adapter=0 | 0, 0"},
        {{"GETLOGS", "1", "DEAD"}, 0, "getControllerLog adapter=0 | 5, 0"},
        {{"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "0"}, 0, "getControllerLog adapter=0 | 13, 0"},
        {{"GETLOGS", "1", "cache", "logicaldrive", "all"}, 0, "getControllerLog adapter=0 | 14, 0"},
        {{"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "3"}, 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        scenario->clearCalls();
        int code = -1;
        runFresh(c.words, code);
        EXPECT_EQ(code, c.exitCode);
        if (c.call != nullptr)
            EXPECT_THAT(calls(), ElementsAre(c.call));
        else
            EXPECT_THAT(calls(), IsEmpty());
    }
    use("basic");
    int code = -1;
    EXPECT_EQ(runFresh({"GETLOGS", "1", "CACHE", "LOGICALDRIVE", "ALL"}, code),
              "Controllers found: 1\n\nNo logical devices found.\n\nCommand aborted.\n");
    EXPECT_EQ(code, 2);
}

TEST_F(InformationCommandsTest, GetLogsPrintsEachTypeInItsForm)
{
    use("ld");
    int code = -1;
    EXPECT_EQ(runFresh({"GETLOGS", "1", "DEVICE", "foo"}, code),
              "Controllers found: 1\n<ControllerLog controllerID=\"0\" type=\"0\"/>\n\nCommand completed successfully.\n");
    EXPECT_EQ(runFresh({"GETLOGS", "1", "UART"}, code),
              "Controllers found: 1\nuart text\n\nCommand completed successfully.\n");
    const std::string monitor = runFresh({"GETLOGS", "1", "MONITOR"}, code);
    EXPECT_EQ(std::regex_replace(monitor, std::regex("time=\"[0-9]+\""), "time=\"T\""),
              "Controllers found: 1\n<ControllerLog controllerID=\"0\" type=\"8\" time=\"T\" filename=\"" +
                  hostFile("/var/log/") + "VelmornArch.log\"/>\n\n\nCommand completed successfully.\n");
    EXPECT_EQ(runFresh({"GETLOGS", "1", "STATS"}, code),
              "Controllers found: 1\nStatistics data collection is currently DISABLED\n"
              "<ControllerLog controllerID=\"0\" type=\"9\"/>\n\nCommand completed successfully.\n");
    scenario->changeTree([](System& root) { fixtureAdapter(root).setStatisticDataCollection(true); });
    EXPECT_THAT(runFresh({"GETLOGS", "1", "STATS", "tabular"}, code),
                ::testing::StartsWith("Controllers found: 1\nStatistics data collection is currently ENABLED\n"));

    // An unclosed section runs to the end of the text.
    scenario->setControllerLog(static_cast<EnumLogTypeRequest>(7), "<L><![CDATA[first\nsecond");
    EXPECT_EQ(runFresh({"GETLOGS", "1", "UART"}, code),
              "Controllers found: 1\nfirst\nsecond\n\nCommand completed successfully.\n");
    scenario->setControllerLog(static_cast<EnumLogTypeRequest>(7), "plain");
    EXPECT_EQ(runFresh({"GETLOGS", "1", "UART"}, code),
              "Controllers found: 1\nplain\n\nCommand completed successfully.\n");

    // A failed request is reported by the driver from the library's answer.
    scenario->answer("getControllerLog", Ret(-1));
    EXPECT_THAT(runFresh({"GETLOGS", "1", "EVENT"}, code), Not(HasSubstr("<ControllerLog")));
    EXPECT_NE(code, 0);
}

TEST_F(InformationCommandsTest, GetVersionsPerController)
{
    scenario->changeTree([](System& root) {
        fixtureAdapter(root).setVersionsForTest("7.2-0", 18856, "7.2-0", 18850, "1.2-1", 30100, "7.2-0", 18849);
    });
    int code = -1;
    EXPECT_EQ(runFresh({"GETVERSION"}, code),
              "Controllers found: 1\nController #1\n==============\n"
              "Firmware           : 7.2-0 (18856)\n"
              "BIOS               : 7.2-0 (18850)\n"
              "Driver             : 1.2-1 (30100)\n"
              "Boot Flash         : 7.2-0 (18849)\n\n\nCommand completed successfully.\n");
    scenario->changeTree([](System& root) { fixtureAdapter(root).setStagedFirmwareForTest("7.4-0", 19000); });
    EXPECT_THAT(runFresh({"GETVERSION", "1"}, code),
                HasSubstr("Firmware           : 7.2-0 (18856)\nStaged Firmware    : 7.4-0 (19000)\nBIOS"));
    EXPECT_EQ(runFresh({"GETVERSION", "9"}, code), "Controllers found: 1\nInvalid controller number.\n");
    EXPECT_EQ(code, 6);
    EXPECT_THAT(runFresh({"GETVERSION", "1", "2"}, code), HasSubstr("Invalid arguments."));
    EXPECT_EQ(code, 3);
}

TEST_F(InformationCommandsTest, GetSmartStatsAndGetXml)
{
    use("ld");
    int code = -1;
    EXPECT_EQ(runFresh({"GETSMARTSTATS", "1", "other"}, code),
              "Controllers found: 1\n<SmartStats/>\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("getSmartStats adapter=0"));
    EXPECT_EQ(runFresh({"GETSMARTSTATS", "1", "tabular", "x"}, code).find("Invalid arguments."), 21u);

    RecordingLib lib("ld");
    char* xml = nullptr;
    ASSERT_EQ(lib.getSystemConfig(&xml).getReturn(), 0);
    const std::string expected = xml;
    lib.freeBuffer(xml);
    EXPECT_EQ(runFresh({"GETXML"}, code), "Controllers found: 1\n" + expected + "\n\nCommand completed successfully.\n");
    EXPECT_EQ(code, 0);
    EXPECT_THAT(runFresh({"GETXML", "tabular"}, code), Not(HasSubstr("<System")));
}

}  // namespace
