#include "CliTest.h"

#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/UcliFunction.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vyntest;

namespace {

constexpr const char kBanner[] = "\n  | UCLI |  Version 7.31 (B18856)\n\n";

// A command whose argument loader answers what the test chose.
class ScriptedCommand : public UcliCommand {
public:
    ScriptedCommand(const char* keyword, Visibility visibility, int loadResult)
        : UcliCommand(keyword, "scripted", visibility), loadResult_(loadResult)
    {
    }
    int loadArguments(char**, int, StorLibPlugin*) override { return loadResult_; }
    int execute(StorLibPlugin*) override
    {
        myprintf(stdout, "executed\n");
        return 42;
    }
    void displayHelp() override { myprintf(stdout, "usage of %s\n", keyword()); }

private:
    int loadResult_;
};

class DispatcherTest : public CliTest {
protected:
    // Words are the command line after the program name.
    int dispatch(std::vector<std::string> words, UcliCommand::Visibility visibility, int loadResult)
    {
        storage_ = {"vynconf"};
        storage_.insert(storage_.end(), words.begin(), words.end());
        argv_.clear();
        for (std::string& w : storage_)
            argv_.push_back(&w[0]);
        FunctionResolver resolver(static_cast<int>(argv_.size()), argv_.data());
        resolver.addFunction(new ScriptedCommand("FIRST", UcliCommand::Listed, 0));
        resolver.addFunction(new ScriptedCommand("TEST", visibility, loadResult));
        return resolver.executeOrShowHelp(nullptr);
    }

    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

const std::string kList = std::string(kBanner) + " FIRST                   | scripted\n";

TEST_F(DispatcherTest, LoaderResultsDecideRunHelpOrList)
{
    const std::string listVisible = kList + " TEST                    | scripted\n\n";
    const std::string listHidden = kList + "\n";
    const std::string listDeveloper = listVisible;
    const struct {
        int load;
        bool hidden;
        bool developer;
        int result;
        std::string printed;
    } cases[] = {
        {0, false, false, 42, "executed\n"},
        {2, false, false, 2, ""},
        {6, true, false, 6, ""},
        {256, false, false, 256, ""},
        {20, false, false, 1, ""},
        {3, false, false, 3, "Invalid arguments.\n\nusage of TEST\n"},
        {3, true, false, 3, "Invalid arguments.\n" + listHidden},
        {3, true, true, 3, "Invalid arguments.\n\nusage of TEST\n"},
        {4, false, false, 1, listVisible},
        {5, true, false, 1, listHidden},
        {-1, false, false, 1, listVisible},
        {7, true, true, 1, listDeveloper},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "load " << c.load << " hidden " << c.hidden
                                        << " developer " << c.developer);
        discardOutputData();
        UCLI_DEVELOPER_MODE = c.developer;
        EXPECT_EQ(dispatch({"test"}, c.hidden ? UcliCommand::Hidden : UcliCommand::Listed, c.load),
                  c.result);
        EXPECT_EQ(retString, c.printed);
    }
}

TEST_F(DispatcherTest, LoaderResultsActAlikeForHiddenAndListedCommands)
{
    const struct {
        int load;
        int result;
        bool list;
        const char* printed;
    } cases[] = {
        {0, 42, false, "executed\n"}, {2, 2, false, ""},  {4, 1, true, ""},
        {5, 1, true, ""},             {6, 6, false, ""},  {20, 1, false, ""},
        {256, 256, false, ""},        {-1, 1, true, ""},
    };
    for (const auto& c : cases) {
        for (const bool hidden : {false, true}) {
            SCOPED_TRACE(testing::Message() << "load " << c.load << " hidden " << hidden);
            discardOutputData();
            const std::string list =
                kList + (hidden ? "" : " TEST                    | scripted\n") + "\n";
            EXPECT_EQ(dispatch({"test"}, hidden ? UcliCommand::Hidden : UcliCommand::Listed,
                               c.load),
                      c.result);
            EXPECT_EQ(retString, c.list ? list : std::string(c.printed));
        }
    }
}

TEST_F(DispatcherTest, UnknownKeywordShowsTheList)
{
    EXPECT_EQ(dispatch({"NOSUCH"}, UcliCommand::Listed, 0), 1);
    EXPECT_EQ(retString, kList + " TEST                    | scripted\n\n");
}

TEST_F(DispatcherTest, RegistryTakesNoNullAndNoMoreThanTwoHundred)
{
    FunctionResolver resolver(0, nullptr);
    resolver.addFunction(nullptr);
    EXPECT_EQ(resolver.count(), 0);
    for (int i = 0; i < FunctionResolver::MAX_FUNCTIONS; ++i)
        resolver.addFunction(new ScriptedCommand("X", UcliCommand::Listed, 0));
    ScriptedCommand extra("EXTRA", UcliCommand::Listed, 0);
    resolver.addFunction(&extra);
    EXPECT_EQ(resolver.count(), FunctionResolver::MAX_FUNCTIONS);
}

class RegistryTest : public CliTest {
protected:
    void load(std::vector<std::string> words)
    {
        storage_ = std::move(words);
        argv_.clear();
        for (std::string& w : storage_)
            argv_.push_back(&w[0]);
        argv_.push_back(nullptr);
        argc2 = static_cast<int>(storage_.size());
        argv2 = argv_.data();
        loadFunctions();
        ASSERT_NE(fnResolver, nullptr);
    }
    void TearDown() override
    {
        delete fnResolver;
        fnResolver = nullptr;
        CliTest::TearDown();
    }

    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

TEST_F(RegistryTest, AllCommandsAreRegisteredInTableOrderWithTheirFlags)
{
    load({"vynconf"});
    const struct {
        const char* keyword;
        bool hidden;
    } table[] = {
        {"ATAPASSWORD", false}, {"BACKUP", true},        {"COPYBACK", false},
        {"CLEARNVSRAM", true},  {"CREATE", false},       {"DATASCRUB", false},
        {"DELETE", false},      {"FAILOVER", false},     {"GETCONFIG", false},
        {"GETLOGS", false},     {"GETSMARTSTATS", false}, {"GETSTATUS", false},
        {"GETVERSION", false},  {"GETXML", true},        {"IDENTIFY", false},
        {"IMAGEUPDATE", false}, {"MODIFY", false},       {"PASSTHROUGH", true},
        {"RESCAN", false},      {"RESET", true},         {"RESETSTATISTICSCOUNTERS", false},
        {"RESTORE", true},      {"ROMUPDATE", false},    {"SAVESUPPORTARCHIVE", false},
        {"SETALARM", false},    {"SETCACHE", false},     {"SETCONFIG", false},
        {"SETORVEXA", false},   {"SETNAME", false},      {"SETNCQ", false},
        {"SETPERFORM", false},  {"SETPOWER", false},     {"SETPRIORITY", false},
        {"SETSTATE", false},    {"SETSTATSDATACOLLECTION", false},
        {"ORVEXAWRITECACHE", true}, {"SETVMCREDENTIAL", false}, {"TASK", false},
    };
    ASSERT_EQ(fnResolver->count(), 38);
    for (int i = 0; i < 38; ++i) {
        SCOPED_TRACE(table[i].keyword);
        UcliFunction* f = fnResolver->function(i);
        EXPECT_TRUE(f->hasName(table[i].keyword));
        std::string lower = table[i].keyword;
        for (char& ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(f->hasName(lower.c_str()));
        EXPECT_EQ(f->isHidden(), table[i].hidden ? 1 : 0);
        EXPECT_EQ(f->getAdapterNumber(), -1);
    }
}

TEST_F(RegistryTest, MenuLinesKeepTheirExactLayout)
{
    load({"vynconf"});
    const struct {
        int index;
        const char* line;
    } cases[] = {
        {4, " CREATE                  | creates a logical device\n"},
        {23, " SAVESUPPORTARCHIVE      | saves the support archive \n"},
        {35, " ORVEXAWRITECACHE             | toggles controller Orvexa writecache mode\n"},
        {36, " SETVMCREDENTIAL             | Storing the ESX server credentials in Guest OS in"
             " encrypted format\n"},
    };
    for (const auto& c : cases) {
        discardOutputData();
        fnResolver->function(c.index)->menuEntry();
        EXPECT_EQ(retString, c.line);
    }
}

TEST_F(RegistryTest, CommandListHoldsEveryMenuLineInTableOrder)
{
    const struct {
        const char* line;
        bool hidden;
    } table[] = {
        {" ATAPASSWORD             | Setting password on a physical drive\n", false},
        {" BACKUP                  | saves the current configuration to a file\n", true},
        {" COPYBACK                | toggles controller copy back mode\n", false},
        {" CLEARNVSRAM             | clears the SAS NVSRAM layout for the controller\n", true},
        {" CREATE                  | creates a logical device\n", false},
        {" DATASCRUB               | toggles the controller background consistency check mode\n",
         false},
        {" DELETE                  | deletes one or more logical devices\n", false},
        {" FAILOVER                | toggles the controller automatic failover mode\n", false},
        {" GETCONFIG               | prints controller information\n", false},
        {" GETLOGS                 | gets controller log information\n", false},
        {" GETSMARTSTATS           | gets the SMART statistics\n", false},
        {" GETSTATUS               | displays the status of running tasks\n", false},
        {" GETVERSION              | prints version information for all controllers\n", false},
        {" GETXML                  | returns XML'ized controller info\n", true},
        {" IDENTIFY                | blinks LEDS on device(s) connected to a controller\n", false},
        {" IMAGEUPDATE             | update physical device firmware\n", false},
        {" MODIFY                  | performs RAID Level Migration or Online Capacity"
         " Expansion\n",
         false},
        {" PASSTHROUGH             | sends a passthrough SCSI command to a device\n", true},
        {" RESCAN                  | checks for new or removed drives\n", false},
        {" RESET                   | resets a .ufi updated controller, avoiding required reboot\n",
         true},
        {" RESETSTATISTICSCOUNTERS | resets the controller statistics counters\n", false},
        {" RESTORE                 | restores a configuration from a saved file\n", true},
        {" ROMUPDATE               | updates controller firmware\n", false},
        {" SAVESUPPORTARCHIVE      | saves the support archive \n", false},
        {" SETALARM                | controls the controller alarm, if present\n", false},
        {" SETCACHE                | adjusts physical or logical device cache mode\n", false},
        {" SETCONFIG               | restores the default configuration\n", false},
        {" SETORVEXA               | adjusts Orvexa settings for physical or logical device\n",
         false},
        {" SETNAME                 | renames a logical device given its logical device number\n",
         false},
        {" SETNCQ                  | toggles the controller NCQ status\n", false},
        {" SETPERFORM              | changes adapter settings based on application\n", false},
        {" SETPOWER                | power settings for controller or logical device\n", false},
        {" SETPRIORITY             | changes specific or global task priority\n", false},
        {" SETSTATE                | manually sets the state of a physical or logical device\n",
         false},
        {" SETSTATSDATACOLLECTION  | toggles the controller statistics data collection modes\n",
         false},
        {" ORVEXAWRITECACHE             | toggles controller Orvexa writecache mode\n", true},
        {" SETVMCREDENTIAL             | Storing the ESX server credentials in Guest OS in"
         " encrypted format\n",
         false},
        {" TASK                    | performs a task such as build/verify on a physical or"
         " logical device\n",
         false},
    };
    load({"vynconf"});
    for (int developer : {0, 1}) {
        SCOPED_TRACE(developer);
        std::string expected = kBanner;
        for (const auto& entry : table)
            if (!entry.hidden || developer)
                expected += entry.line;
        expected += "\n";
        UCLI_DEVELOPER_MODE = developer;
        discardOutputData();
        fnResolver->showCommandList();
        EXPECT_EQ(retString, expected);
    }
}

TEST_F(RegistryTest, SetVMCredentialKeepsTheBaseLoaderAndShowsOnlyItsUsage)
{
    load({"vynconf", "setvmcredential", "1.2.3.4", "5988", "root", "pw"});
    EXPECT_EQ(fnResolver->executeOrShowHelp(nullptr), 3);
    EXPECT_EQ(retString, "Invalid arguments.\n\n Usage: SETVMCREDENTIAL <ESXIP> <ESXCIMOMPORT> <ESXUSERID> "
                         "<ESXPASSWORD> [noprompt]\n");
    EXPECT_EQ(fnResolver->parseAdapterNumber(), -1);
}

TEST_F(RegistryTest, HelpForAnUnknownKeywordShowsTheList)
{
    load({"vynconf", "NOSUCH"});
    EXPECT_EQ(fnResolver->showHelp(), 1);
    EXPECT_EQ(retString.rfind(kBanner, 0), 0u);
}

}  // namespace
