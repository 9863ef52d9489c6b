#include "CommandTest.h"

#include "cli/Engine.h"
#include "cli/support/MaintenanceFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <set>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

const std::string kRule70(70, '-');

class SupportArchiveTest : public CommandTest {
protected:
    std::string support(const std::string& name) const { return hostFile("/var/log/Support/" + name); }

    std::set<std::string> supportFiles() const
    {
        std::set<std::string> names;
        DIR* dir = ::opendir(hostFile("/var/log/Support").c_str());
        if (dir == nullptr)
            return names;
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
        return names;
    }
};

TEST_F(SupportArchiveTest, OneControllerAndTheLogsOfTheMachine)
{
    writeFile(hostFile("/var/log/VelmornArch.log"), std::string("monitor\0bytes", 13));
    int code = -1;
    const std::string shown = runShown({"SAVESUPPORTARCHIVE"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\n\nAll the logs are saved in " + hostFile("/var/log/") +
                         "Support \n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("getControllerLog adapter=0 | 0, 0", "getControllerLog adapter=0 | 5, 0",
                                     "getControllerLog adapter=0 | 6, 0", "getControllerLog adapter=0 | 7, 0",
                                     "getControllerLog adapter=0 | 8, 0", "getControllerLog adapter=0 | 9, 0",
                                     "getSmartStats adapter=0"));
    EXPECT_EQ(supportFiles(), (std::set<std::string>{" Controller 1 Device_log.txt", " Controller 1 Deaddrives.txt",
                                                     " Controller 1 Event_log.txt", " Controller 1 Logs.txt",
                                                     " Controller 1 Monitor_log.txt", " Controller 1 Stats.txt",
                                                     "vynconfig.xml", "Controller 1 SmartStats.xml",
                                                     " Controller 1 Config.txt", "UcliEvt.log"}));
    EXPECT_EQ(readFile(support(" Controller 1 Logs.txt")), "uart text\n");
    EXPECT_EQ(readFile(support(" Controller 1 Monitor_log.txt")), std::string("monitor\0bytes", 13));
    EXPECT_EQ(readFile(support(" Controller 1 Device_log.txt")),
              "<ControllerLog controllerID=\"0\" type=\"0\"/>");
    EXPECT_EQ(readFile(support("Controller 1 SmartStats.xml")), "<SmartStats/>");
    EXPECT_THAT(readFile(support("vynconfig.xml")), HasSubstr("<System"));
    EXPECT_THAT(readFile(support(" Controller 1 Config.txt")),
                StartsWith(kRule70 + "\nController information\n" + kRule70 + "\n"));
    EXPECT_THAT(readFile(support(" Controller 1 Config.txt")), HasSubstr("Physical Device information\n"));
    // The copy is the log as it stood: the command's own line; the program
    // counts and adds its result after.
    const std::vector<std::string> copied = lines(readFile(support("UcliEvt.log")));
    const std::vector<std::string> now = lines(eventLog());
    ASSERT_EQ(copied.size(), 2u);
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(copied[1], now[1]);
    EXPECT_THAT(copied[1], HasSubstr("vynconf SAVESUPPORTARCHIVE"));

    // The report went to its file; the next command's to the output again.
    EXPECT_EQ(CONFIGOUT, stdout);
    const std::string report = runShown({"GETCONFIG", "1"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(report, StartsWith("Controllers found: 1\n" + kRule70 + "\nController information\n"));
    EXPECT_EQ(report, "Controllers found: 1\n" + readFile(support(" Controller 1 Config.txt")) +
                          "\nCommand completed successfully.\n");
}

TEST_F(SupportArchiveTest, ThroughTheProvider)
{
    const ProviderResult result = runProvider({"SAVESUPPORTARCHIVE"});
    EXPECT_EQ(result.value, 0);
    EXPECT_THAT(result.text, HasSubstr("\nAll the logs are saved in " + hostFile("/var/log/") + "Support \n"));
    EXPECT_TRUE(fileExists(support(" Controller 1 Config.txt")));
    EXPECT_EQ(CONFIGOUT, stdout);
}

TEST_F(SupportArchiveTest, ExtraFilesFromTheLogOrTheInstallDirectory)
{
    ::mkdir(hostFile("/usr").c_str(), 0755);
    ::mkdir(hostFile("/usr/Kalpern").c_str(), 0755);
    writeFile(hostFile("/usr/Kalpern/RaidEvt.log"), "installed");
    writeFile(hostFile("/usr/Kalpern/RaidDP.log"), "installed DP");
    writeFile(hostFile("/var/log/RaidDP.log"), "logged DP");
    // Longer than any copy buffer.
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7);
    writeFile(hostFile("/var/log/fsafibs.txt"), large);
    int code = -1;
    runShown({"SAVESUPPORTARCHIVE"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(support("RaidEvt.log")), "installed");
    EXPECT_EQ(readFile(support("RaidDP.log")), "logged DP");
    EXPECT_TRUE(readFile(support("fsafibs.txt")) == large);
    EXPECT_FALSE(fileExists(support("RaidErr.log")));
}

TEST_F(SupportArchiveTest, EveryControllerHasItsFiles)
{
    scenario->changeTree(addBasicController(1));
    int code = -1;
    runShown({"SAVESUPPORTARCHIVE"}, code);
    EXPECT_EQ(code, 0);
    const std::set<std::string> files = supportFiles();
    for (const char* name : {" Controller 1 Config.txt", " Controller 2 Config.txt", "Controller 1 SmartStats.xml",
                             "Controller 2 SmartStats.xml", "vynconfig.xml", " Controller 2 Logs.txt"})
        EXPECT_EQ(files.count(name), 1u) << name;
    EXPECT_EQ(files.size(), 2u * 8u + 2u);
    EXPECT_EQ(calls().back(), "getSmartStats adapter=1");
    // The tree is built again for each controller's XML.
    EXPECT_EQ(scenario->discoveries(), 3);
}

TEST_F(SupportArchiveTest, NothingWithoutControllers)
{
    use("empty");
    int code = -1;
    const std::string shown = runShown({"SAVESUPPORTARCHIVE"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 0\n\nCommand completed successfully.\n");
    EXPECT_THAT(supportFiles(), IsEmpty());

    runShown({"SAVESUPPORTARCHIVE", "now"}, code);
    EXPECT_EQ(code, 3);
}

TEST_F(SupportArchiveTest, FailedStepsLeaveTheirFilesOut)
{
    scenario->answer("getControllerLog", Ret(-5));
    scenario->answer("getSmartStats", Ret(-5));
    // A directory where the report would go: that step is skipped.
    ::mkdir(hostFile("/var/log/Support").c_str(), 0775);
    ::mkdir(support(" Controller 1 Config.txt").c_str(), 0775);
    int code = -1;
    const std::string shown = runShown({"SAVESUPPORTARCHIVE"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(shown, Not(HasSubstr("Controller information")));
    EXPECT_EQ(supportFiles(), (std::set<std::string>{" Controller 1 Config.txt", "vynconfig.xml", "UcliEvt.log"}));
    EXPECT_EQ(CONFIGOUT, stdout);
}

}  // namespace
