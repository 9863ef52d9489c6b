#include "ActionCommandTest.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

class NameAndIdentifyCommandTest : public ActionCommandTest {};

TEST_F(NameAndIdentifyCommandTest, SetNameChecksInOrder)
{
    const char* const charset = "\nOne or more characters in the logical device name is invalid.\n";
    const char* const blank = "\nLogical device name cannot be blank.\n";
    const char* const tooLong = "\nLogical device name must be no more than 16 characters\n";
    const char* const duplicate = "\nThere exists another logical device with that name.\n";
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* shown;  // null: none of the four texts
    } cases[] = {
        {{"0"}, 3, nullptr},
        {{"x", "New"}, 3, nullptr},
        {{"0", "New\tName"}, 3, charset},
        // Too long and holding a character outside the set: the set is
        // checked first.
        {{"0", "abcdefghijklmnopq\x01"}, 3, charset},
        {{"0", "   "}, 3, blank},
        {{"0", ""}, 3, blank},
        {{"0", "abcdefghijklmnopq"}, 3, tooLong},
        {{"0", "DATA"}, 3, duplicate},
        {{"0", "data"}, 3, duplicate},
        {{"0", "Data", "extra"}, 3, duplicate},
        {{"0", "New", "extra"}, 3, nullptr},
        {{"0", "abcdefghijklmnop"}, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("ld");
        std::vector<std::string> words{"SETNAME", "1", "LOGICALDRIVE"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        int code = -1;
        const std::string shown = runShown(words, code);
        EXPECT_EQ(code, c.exitCode);
        for (const char* text : {charset, blank, tooLong, duplicate}) {
            if (text == c.shown) {
                EXPECT_THAT(shown, HasSubstr(text));
            } else {
                EXPECT_THAT(shown, Not(HasSubstr(text)));
            }
        }
    }
    EXPECT_THAT(scenario->callsOf("setName"), ElementsAre("setName adapter=0,logicalDrive=0 | \"abcdefghijklmnop\""));
    EXPECT_EQ(runCounting({"SETNAME", "9", "LOGICALDRIVE", "0", "New"}), 6);
    EXPECT_EQ(runCounting({"SETNAME", "1", "VOLUME", "0", "New"}), 3);
}

TEST_F(NameAndIdentifyCommandTest, SetNameRenamesAnIdleDriveOnly)
{
    use("ld");
    int code = -1;
    EXPECT_EQ(runShown({"SETNAME", "1", "LOGICALDRIVE", "0", "Backup"}, code),
              "Controllers found: 1\n\nCommand completed successfully.\n");
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("getTasks adapter=0,logicalDrive=0",
                                     "setName adapter=0,logicalDrive=0 | \"Backup\""));

    EXPECT_THAT(runShown({"SETNAME", "1", "LOGICALDRIVE", "5", "Backup"}, code),
                HasSubstr("Logical device does not exist.\n"));
    EXPECT_EQ(code, 2);

    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 1)});
    scenario->clearCalls();
    EXPECT_THAT(runShown({"SETNAME", "1", "LOGICALDRIVE", "0", "Backup"}, code),
                HasSubstr("There is a task running on the logical device.  Cannot alter the configuration.\n"));
    EXPECT_THAT(scenario->callsOf("setName"), IsEmpty());

    use("ld").changeTree([](System& root) { fixtureLogicalDrive(root, 0).setStateProperty(LD_RECONFIGURING); });
    EXPECT_THAT(runShown({"SETNAME", "1", "LOGICALDRIVE", "0", "Backup"}, code),
                HasSubstr("Reconfiguring logical devices cannot be renamed.\n"));
    EXPECT_EQ(code, 2);

    use("ld").answer("setName", Ret(-5));
    EXPECT_EQ(runCounting({"SETNAME", "1", "LOGICALDRIVE", "0", "Backup"}), 1);
}

TEST_F(NameAndIdentifyCommandTest, IdentifyTargets)
{
    // The controller itself has nothing to blink: its channels blink their
    // drives.
    const std::vector<std::string> controller{"identifyDevice adapter=0,channel=0 | 0",
                                              "identifyDevice adapter=0,channel=0 | 1"};
    const struct {
        std::vector<std::string> words;
        int exitCode;
        std::vector<std::string> calls;
    } cases[] = {
        {{}, 0, controller},
        {{"ALL"}, 0, controller},
        {{"all"}, 0, controller},
        {{"ALL", "x"}, 3, {}},
        {{"DEVICE", "0,1"}, 3, {}},
        {{"DEVICE", "0", "x"}, 3, {}},
        {{"DEVICE", "0", "1", "2"}, 3, {}},
        {{"LOGICALDRIVE"}, 3, {}},
        {{"BLINK"}, 3, {}},
        {{"DEVICE", "0", "1"},
         0,
         {"identifyDevice adapter=0,channel=0,device=1 | 0", "identifyDevice adapter=0,channel=0,device=1 | 1"}},
        {{"DEVICE", "0", "9"}, 2, {}},
        {{"LOGICALDRIVE", "0"},
         0,
         {"identifyDevice adapter=0,channel=0,device=0 | 0", "identifyDevice adapter=0,channel=0,device=1 | 0",
          "identifyDevice adapter=0,channel=0,device=0 | 1", "identifyDevice adapter=0,channel=0,device=1 | 1"}},
        {{"LOGICALDRIVE", "5"}, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("ld");
        std::vector<std::string> words{"IDENTIFY", "1"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(runCounting(words), c.exitCode);
        EXPECT_THAT(calls(), ElementsAreArray(c.calls));
    }
    // Every channel, in channel order, whatever the order of the tree.
    use("ld").changeTree([](System& root) {
        Adapter* adapter = &fixtureAdapter(root);
        adapter->addChild(new SATAChannel(adapter, 2, static_cast<EnumSpeed>(301), 0));
        adapter->addChild(new SATAChannel(adapter, 1, static_cast<EnumSpeed>(301), 0));
    });
    EXPECT_EQ(runCounting({"IDENTIFY", "1", "ALL"}), 0);
    EXPECT_THAT(calls(), ElementsAre("identifyDevice adapter=0,channel=0 | 0", "identifyDevice adapter=0,channel=1 | 0",
                                     "identifyDevice adapter=0,channel=2 | 0", "identifyDevice adapter=0,channel=0 | 1",
                                     "identifyDevice adapter=0,channel=1 | 1", "identifyDevice adapter=0,channel=2 | 1"));
    int code = -1;
    EXPECT_THAT(runShown({"IDENTIFY", "1", "LOGICALDRIVE", "5"}, code), HasSubstr("Logical device 5 does not exist.\n"));
    EXPECT_THAT(runShown({"IDENTIFY", "1", "DEVICE", "0", "9"}, code),
                HasSubstr("The device specified does not exist.\n"));
    EXPECT_EQ(runCounting({"IDENTIFY", "9"}), 6);
}

TEST_F(NameAndIdentifyCommandTest, RemoteCallerKeepsTheBlinkingUntilItAcknowledges)
{
    const char* const note = "Only devices managed by an enclosure processor may be identified\n";
    const char* const failure = "One or more devices could not be identified.\n";
    const char* const blinking = "The specified device is blinking.\nPress any key to stop the blinking.\n";
    use("ld").answer("identifyDevice", Ret(-5));
    // Whatever the prompt setting says.
    for (bool noprompt : {false, true}) {
        SCOPED_TRACE(noprompt);
        scenario->clearCalls();
        std::vector<std::string> words{"IDENTIFY", "1", "DEVICE", "0", "1"};
        if (noprompt)
            words.push_back("noprompt");
        const ProviderResult asked = runProvider(words, true);
        EXPECT_EQ(asked.warningType, 2);
        EXPECT_EQ(asked.value, 0);
        EXPECT_THAT(asked.text, EndsWith(std::string(failure) + note + blinking));
        EXPECT_THAT(calls(), ElementsAre("identifyDevice adapter=0,channel=0,device=1 | 0"));
    }
    // Without the flag the blinking stops at once: the caller sees only the
    // outcome, and the program shows everything before it.
    scenario->clearCalls();
    const ProviderResult stopped = runProvider({"IDENTIFY", "1", "DEVICE", "0", "1"}, false);
    EXPECT_EQ(stopped.warningType, 0);
    EXPECT_THAT(stopped.text, Not(HasSubstr(failure)));
    EXPECT_THAT(stopped.text, Not(HasSubstr(note)));
    EXPECT_THAT(calls(), ElementsAre("identifyDevice adapter=0,channel=0,device=1 | 0",
                                     "identifyDevice adapter=0,channel=0,device=1 | 1"));
    int code = -1;
    const std::string shown = runShown({"IDENTIFY", "1", "DEVICE", "0", "1"}, code);
    EXPECT_THAT(shown, HasSubstr(std::string("Controllers found: 1\n") + failure + note + blinking));
    EXPECT_THAT(shown, EndsWith("\nCommand failed.\n"));
    EXPECT_EQ(code, 1);

    use("ld").changeTree(setFeatureChange(featFWRawBlink, 1));
    const ProviderResult quiet = runProvider({"IDENTIFY", "1"}, true);
    EXPECT_EQ(quiet.text, std::string("Controllers found: 1\n") + blinking);
    EXPECT_THAT(calls(), ElementsAre("identifyDevice adapter=0,channel=0 | 0"));
    EXPECT_EQ(runProvider({"IDENTIFY", "1"}, false).text, "\nCommand completed successfully.\n");
}

}  // namespace
