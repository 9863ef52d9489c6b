#include "CliTest.h"

#include "cli/CommandLog.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/support/FakeTerminal.h"

#include <gtest/gtest.h>

using namespace vyntest;

namespace {

class ConfirmTest : public CliTest {};

TEST_F(ConfirmTest, OnlyYesFollowedByEnterConfirms)
{
    const struct {
        const char* input;
        int answer;
        const char* left;
    } cases[] = {
        {"yes\n", 1, ""}, {"YeS\nnext\n", 1, "next\n"},
        {"y\n", 0, ""},   {"yes please\nnext", 0, "next"},
        {"\n", 0, ""},    {"", 0, ""},
        {"yes", 0, ""},   {"no\n", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        FakeTerminal t(c.input);
        setTerminal(&t);
        discardOutputData();
        EXPECT_EQ(ConfirmYesNo(), c.answer);
        EXPECT_EQ(t.rest(), c.left);
        EXPECT_EQ(retString, "\n");
    }
}

TEST_F(ConfirmTest, NobodyAtTheTerminalOrNoPromptMeansGoOnSilently)
{
    FakeTerminal notTerminal("", false);
    setTerminal(&notTerminal);
    EXPECT_EQ(userwarningYesNo("Really?\n"), 1);
    FakeTerminal terminal("");
    setTerminal(&terminal);
    prompt = 0;
    EXPECT_EQ(userwarningYesNo("Really?\n"), 1);
    EXPECT_EQ(retString, "");
}

TEST_F(ConfirmTest, TerminalPromptShowsEverythingCapturedBeforeItWaits)
{
    capturedOutputSink = out;
    myprintf(stdout, "report line\n");
    FakeTerminal t("yes\n", true, [this] { return realOut(); });
    setTerminal(&t);
    EXPECT_EQ(userwarningYesNo("Really?\n"), 1);
    EXPECT_EQ(t.shownBeforeReading,
              "report line\nReally?\nType 'yes', then ENTER to continue or press ENTER to abort: ");
    myprintf(stdout, "after\n");
    emitCapturedOutput();
    EXPECT_EQ(realOut(), t.shownBeforeReading + "\nafter\n");
    EXPECT_EQ(retString, "");
}

TEST_F(ConfirmTest, TwoPhaseRuleAsksFirstAndActsOnTheRepeat)
{
    const struct {
        unsigned char inputWarning;
        int promptOn;
        int result;
        int warning;
        const char* captured;
    } cases[] = {
        {1, 1, 256, 1,
         "earlier\nDelete it?\nPress y, then ENTER to continue or press ENTER to abort: "},
        {0, 1, 0, 0, ""},
        {1, 0, 0, 0, ""},
        {0, 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.inputWarning) << c.promptOn);
        retString = "earlier\n";
        inputWarningFlag = c.inputWarning;
        prompt = c.promptOn;
        outputWarningFlag = 0;
        EXPECT_EQ(confirmBeforeActing("Delete it?\n"), c.result);
        EXPECT_EQ(outputWarningFlag, c.warning);
        EXPECT_EQ(retString, c.captured);
    }
}

TEST_F(ConfirmTest, ProgramStillShowsWhatWasPrintedBeforeTheCommandActs)
{
    capturedOutputSink = out;
    const struct {
        unsigned char inputWarning;
        int promptOn;
        int result;
        const char* shown;
        const char* captured;
    } cases[] = {
        {0, 1, 0, "Controllers found: 1\n", ""},
        {0, 0, 0, "Controllers found: 1\n", ""},
        {1, 1, 256, "",
         "Controllers found: 1\nDelete it?\n"
         "Press y, then ENTER to continue or press ENTER to abort: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.inputWarning) << c.promptOn);
        const std::string before = realOut();
        retString = "Controllers found: 1\n";
        inputWarningFlag = c.inputWarning;
        prompt = c.promptOn;
        EXPECT_EQ(confirmBeforeActing("Delete it?\n"), c.result);
        EXPECT_EQ(realOut().substr(before.size()), c.shown);
        EXPECT_EQ(retString, c.captured);
    }
}

TEST_F(ConfirmTest, OneHugePrintArrivesWhole)
{
    const std::string big(3 * 1024 * 1024, 'x');
    EXPECT_EQ(myprintf(stdout, "%s|%d", big.c_str(), 7), static_cast<int>(big.size() + 2));
    EXPECT_EQ(retString.size(), big.size() + 2);
    EXPECT_EQ(retString.substr(retString.size() - 3), "x|7");
    myprintf(stderr, "e");
    EXPECT_EQ(retString.back(), 'e');
    EXPECT_EQ(realOut(), "");
    EXPECT_EQ(myprintf(out, "direct %d", 1), 8);
    EXPECT_EQ(realOut(), "direct 1");
}

}  // namespace

namespace {

TEST_F(ConfirmTest, DirectLinesToTheRealOutputComeAfterWhatWasCapturedBefore)
{
    capturedOutputSink = out;
    myprintf(stdout, "captured\n");
    ucliprintf(UCLI_STDOUT, "direct");
    EXPECT_EQ(realOut(), "captured\ndirect\n");
}

}  // namespace

namespace {

TEST_F(ConfirmTest, LogComplaintComesAfterWhatWasCapturedBefore)
{
    capturedOutputSink = out;
    const std::string missing = hostFile("/missing/events.log");
    useUserEventLog = 1;
    userEventLog = missing.c_str();
    myprintf(stdout, "captured\n");
    EXPECT_EQ(ucliprintf(UCLI_EVENT_LOG, "entry"), 2);
    EXPECT_EQ(realOut(), "captured\nCould not open log file: " + missing + "\n");
}

}  // namespace
