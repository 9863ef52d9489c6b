#include "CliTest.h"

#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/UcliFunction.h"
#include "cli/Vynconf.h"
#include "common/Ret.h"
#include "cli/support/RecordingLib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class VynconfTest : public CliTest {
protected:
    // Runs the program over the empty fixture and notes the command line as
    // the library loader saw it.
    int run(std::vector<std::string> words)
    {
        libraries = 0;
        auto factory = [this]() -> StorLibPlugin* {
            ++libraries;
            seenWords.assign(argv2, argv2 + argc2);
            seenPrompt = prompt;
            seenNoLogs = disableUcliLog;
            return new RecordingLib("empty");
        };
        return runVynconf(words, factory, out);
    }

    int libraries = 0;
    std::vector<std::string> seenWords;
    int seenPrompt = -1;
    int seenNoLogs = -1;
};

TEST_F(VynconfTest, ProgramNameAloneListsTheVisibleCommands)
{
    EXPECT_EQ(run({"vynconf"}), 1);
    const std::string shown = realOut();
    EXPECT_THAT(shown,
                StartsWith("\n  | UCLI |  Version 7.31 (B18856)\n\n"
                           " ATAPASSWORD             | Setting password on a physical drive\n"
                           " COPYBACK                | toggles controller copy back mode\n"
                           " CREATE                  | creates a logical device\n"));
    EXPECT_THAT(shown, Not(HasSubstr(" BACKUP")));
    EXPECT_THAT(shown, Not(HasSubstr(" ORVEXAWRITECACHE")));
    EXPECT_THAT(shown, HasSubstr(" TASK                    | performs a task such as build/verify"
                                 " on a physical or logical device\n\n"));
    EXPECT_EQ(libraries, 0);
    EXPECT_EQ(retString, "");
}

TEST_F(VynconfTest, DevelopmentProgramNameListsHiddenCommandsToo)
{
    EXPECT_EQ(run({"/opt/vynconf-devel"}), 1);
    EXPECT_THAT(realOut(),
                HasSubstr(" ATAPASSWORD             | Setting password on a physical drive\n"
                          " BACKUP                  | saves the current configuration to a"
                          " file\n"));
    EXPECT_THAT(realOut(), HasSubstr(" ORVEXAWRITECACHE             | toggles"));
}

TEST_F(VynconfTest, UnknownCommandFailsAndIsLogged)
{
    EXPECT_EQ(run({"vynconf", "FOO", "BAR"}), 1);
    const std::string shown = realOut();
    EXPECT_THAT(shown, StartsWith("Controllers found: 0\n\n  | UCLI |"));
    EXPECT_THAT(shown, HasSubstr(" COPYBACK                | toggles controller copy back mode\n"));
    EXPECT_THAT(shown, testing::EndsWith("\nCommand failed.\n"));
    const std::string log = eventLog();
    EXPECT_EQ(logCounter(log), 1);
    EXPECT_THAT(logEntries(log),
                ElementsAre("vynconf FOO BAR ", "Status: failure, ReturnCode: 0x1"));
    EXPECT_EQ(libraries, 1);
}

TEST_F(VynconfTest, OneCommandWordShowsItsHelpWithoutLoadingTheLibrary)
{
    EXPECT_EQ(run({"vynconf", "CREATE"}), 1);
    EXPECT_EQ(libraries, 0);
    EXPECT_THAT(realOut(), StartsWith("\n Usage: CREATE <Controller#> LOGICALDRIVE [Options] <Size> <RAID#>"));
    EXPECT_THAT(realOut(), testing::EndsWith("\n     * default parameter in MOST circumstances\n"));
    for (const char* word : {"getversion", "GETXML", "SAVESUPPORTARCHIVE", "SAVECONFIG"}) {
        SCOPED_TRACE(word);
        run({"vynconf", word});
        EXPECT_EQ(libraries, 1);
    }
}

TEST_F(VynconfTest, TrailingOptionsArePeeledInAnyOrder)
{
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> seen;
        int prompt;
        int noLogs;
        const char* echo;
    } cases[] = {
        {{"vynconf", "GETCONFIG", "1", "AL", "noprompt", "echo"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         0,
         0,
         "vynconf GETCONFIG 1 AL noprompt echo \n"},
        {{"vynconf", "GETCONFIG", "1", "AL", "ECHO", "noprompt"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         0,
         0,
         "vynconf GETCONFIG 1 AL ECHO noprompt \n"},
        {{"vynconf", "GETCONFIG", "1", "nologs", "AL"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         1,
         1,
         ""},
        {{"vynconf", "GETCONFIG", "1", "AL", "noprompt", "nologs"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         0,
         1,
         ""},
        {{"vynconf", "GETCONFIG", "1", "AL", "nologs", "noprompt"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         0,
         1,
         ""},
        {{"vynconf", "GETCONFIG", "1", "AL", "noprompt", "nologs", "echo"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         0,
         1,
         "vynconf GETCONFIG 1 AL noprompt nologs echo \n"},
        {{"vynconf", "GETCONFIG", "1", "AL", "nologs"},
         {"vynconf", "GETCONFIG", "1", "AL"},
         1,
         1,
         ""},
        {{"vynconf", "GETSTATUS", "1", "errorlog"}, {"vynconf", "GETSTATUS", "1"}, 1, 0, ""},
        {{"vynconf", "GETSTATUS", "1", "eventlog", hostFile("/tmp/x.log"), "noprompt"},
         {"vynconf", "GETSTATUS", "1"},
         0,
         0,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.back());
        const long before = static_cast<long>(realOut().size());
        run(c.words);
        EXPECT_EQ(seenWords, c.seen);
        EXPECT_EQ(seenPrompt, c.prompt);
        EXPECT_EQ(seenNoLogs, c.noLogs);
        EXPECT_THAT(realOut().substr(before), StartsWith(c.echo));
    }
}

TEST_F(VynconfTest, EventlogOptionChoosesTheEventLog)
{
    const std::string file = hostFile("/tmp/events.txt");
    EXPECT_EQ(run({"vynconf", "FOO", "1", "eventlog", file}), 1);
    EXPECT_THAT(logEntries(readFile(file)), ElementsAre("vynconf FOO 1 eventlog " + file + " ",
                                                        "Status: failure, ReturnCode: 0x1"));
    EXPECT_FALSE(fileExists(hostFile("/var/log/UcliEvt.log")));
}

TEST_F(VynconfTest, NoLogsWritesNoEventEntries)
{
    run({"vynconf", "FOO", "1", "nologs"});
    EXPECT_FALSE(fileExists(hostFile("/var/log/UcliEvt.log")));
}

TEST_F(VynconfTest, PasswordsNeverReachTheEventLog)
{
    const struct {
        std::vector<std::string> words;
        const char* logged;
    } cases[] = {
        {{"vynconf", "ATAPASSWORD", "1", "SET", "s3cret", "0", "1"},
         "vynconf ATAPASSWORD 1 SET ******** 0 1 "},
        {{"vynconf", "task", "start", "1", "device", "0", "1", "SECUREERASE", "s3cret"},
         "vynconf task start 1 device 0 1 SECUREERASE ******** "},
        {{"vynconf", "SETVMCREDENTIAL", "10.0.0.1", "5988", "root", "s3cret"},
         "vynconf SETVMCREDENTIAL 10.0.0.1 5988 root ******** "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        std::remove(hostFile("/var/log/UcliEvt.log").c_str());
        run(c.words);
        EXPECT_EQ(logEntries(eventLog()).at(0), c.logged);
        EXPECT_THAT(eventLog(), Not(HasSubstr("s3cret")));
    }
}

TEST_F(VynconfTest, LongCommandLineIsEchoedUpToTheLastWordThatFits)
{
    std::vector<std::string> words = {"vynconf", "FOO"};
    for (int i = 0; i < 200; ++i)
        words.push_back("word" + std::to_string(i % 10));
    words.push_back("echo");
    run(words);
    const std::string echo = lines(realOut()).at(0);
    EXPECT_LT(echo.size(), 1024u);
    EXPECT_GT(echo.size(), 1024u - 8u);
    EXPECT_EQ(echo.back(), ' ');
}

TEST_F(VynconfTest, MissingLibraryEndsWithItsMessage)
{
    int made = 0;
    auto noLibrary = [&made]() -> StorLibPlugin* {
        ++made;
        return nullptr;
    };
    EXPECT_EQ(runVynconf({"vynconf", "GETSTATUS", "1"}, noLibrary, out), 1);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(realOut(), "Error, cannot load library.\n");
    EXPECT_EQ(runVynconf({"vynconf", "GETSTATUS", "1"}, LibraryFactory(), out), 1);
    EXPECT_THAT(logEntries(eventLog()),
                ElementsAre("vynconf GETSTATUS 1 ", "vynconf GETSTATUS 1 "));
}

TEST_F(VynconfTest, DriverUpdateLoadsNoLibrary)
{
    EXPECT_EQ(run({"vynconf", "DRIVERUPDATE", "file"}), 1);
    EXPECT_EQ(libraries, 0);
    EXPECT_THAT(realOut(), StartsWith("\n  | UCLI |"));
}

TEST_F(VynconfTest, InvalidArgumentsOfAListedCommandShowItsHelp)
{
    EXPECT_EQ(run({"vynconf", "SETVMCREDENTIAL", "a", "b"}), 3);
    EXPECT_EQ(realOut(), "Controllers found: 0\nInvalid arguments.\n\n Usage: SETVMCREDENTIAL <ESXIP> <ESXCIMOMPORT> "
                         "<ESXUSERID> <ESXPASSWORD> [noprompt]\n");
    EXPECT_THAT(logEntries(eventLog()).back(), "Status: invalid arguments, ReturnCode: 0x3");
}

// A command that accepts any arguments and ends with the chosen result.
class ResultCommand : public UcliCommand {
public:
    explicit ResultCommand(int result) : UcliCommand("TEST", "ends as told", Listed), result_(result)
    {
    }
    int loadArguments(char**, int, StorLibPlugin*) override { return 0; }
    int execute(StorLibPlugin*) override { return result_; }

private:
    int result_;
};

TEST_F(VynconfTest, EveryResultButSevenEightAndSixteenIsLogged)
{
    Ret firmwareMismatch;
    firmwareMismatch.setApiError(587);
    const struct {
        int result;
        Ret codes;
        int noLogs;
        int exitCode;
        const char* entry;  // null: no entry
    } cases[] = {
        {16, Ret(-1), 0, 16, nullptr},
        {7, Ret(-1), 0, 0, nullptr},
        {8, Ret(-1), 0, 1, nullptr},
        {17, Ret(-1), 0, 17, "Status: failure, ReturnCode: 0x1"},
        {5, firmwareMismatch, 0, 1, "Status: failure, ReturnCode: 0x10"},
        {0, Ret(-1), 0, 0, "Status: success, ReturnCode: 0x0"},
        {0, Ret(-1), 1, 0, nullptr},
    };
    std::string words[] = {"vynconf", "TEST"};
    char* argv[] = {&words[0][0], &words[1][0], nullptr};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result << " nologs " << c.noLogs);
        std::remove(hostFile("/var/log/UcliEvt.log").c_str());
        FunctionResolver resolver(2, argv);
        resolver.addFunction(new ResultCommand(c.result));
        returnCodes = c.codes;
        disableUcliLog = c.noLogs;
        EXPECT_EQ(runDispatchedCommand(resolver, nullptr, "TEST"), c.exitCode);
        if (c.entry == nullptr)
            EXPECT_FALSE(fileExists(hostFile("/var/log/UcliEvt.log")));
        else
            EXPECT_THAT(logEntries(eventLog()), ElementsAre(c.entry));
    }
}

}  // namespace
