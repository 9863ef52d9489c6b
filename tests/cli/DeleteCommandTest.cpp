#include "ActionCommandTest.h"

#include "cli/support/FakeTerminal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class DeleteCommandTest : public ActionCommandTest {};

const char* const kDeletingData = "Deleting: logical device 0 (\"Data\")\n";

TEST_F(DeleteCommandTest, ProviderGetsOnlyWhatFollowsTheConfirmationAndTheProgramShowsAll)
{
    use("ld");
    const ProviderResult done = runProvider({"DELETE", "1", "LOGICALDRIVE", "0", "noprompt"});
    EXPECT_EQ(done.text, std::string(kDeletingData) + "\nCommand completed successfully.\n");
    EXPECT_EQ(done.value, 0);
    EXPECT_THAT(calls(), ElementsAre("deleteLogicalDrive adapter=0,logicalDrive=0"));

    int code = -1;
    scenario->clearCalls();
    EXPECT_EQ(runShown({"DELETE", "1", "LOGICALDRIVE", "0", "noprompt"}, code),
              std::string("Controllers found: 1\n\nAll data in logical device 0 will be lost.\n") + kDeletingData +
                  "\nCommand completed successfully.\n");
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("deleteLogicalDrive adapter=0,logicalDrive=0"));
}

TEST_F(DeleteCommandTest, FirstPhaseAsksAtTheFirstDriveAndDeletesNothing)
{
    use("mixed");
    const ProviderResult asked = runProvider({"DELETE", "1", "LOGICALDRIVE", "7", "0", "1"}, true);
    EXPECT_EQ(asked.text, "Controllers found: 1\n\nLogical device 7 does not exist.\n\n"
                          "All data in logical device 0 will be lost.\nDelete the logical device?\n"
                          "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(calls(), IsEmpty());
    const ProviderResult jbod = runProvider({"DELETE", "1", "JBOD", "ALL"}, true);
    EXPECT_THAT(jbod.text, HasSubstr("All data in JBOD 0,4 will be lost.\nDelete the JBOD?\n"));
    EXPECT_EQ(jbod.warningType, 1);
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(DeleteCommandTest, ListsAndTheirOutcomes)
{
    const auto mountedOnData = [](System& root) { fixtureLogicalDrive(root, 0).setMountPointForTest("/data"); };
    const struct {
        const char* fixture;
        std::vector<std::string> words;
        TreeChange change;
        int exitCode;
        const char* shown;  // null: not checked
        std::vector<std::string> calls;
    } cases[] = {
        {"basic", {"LOGICALDRIVE", "ALL"}, nullptr, 2, "No logical devices scheduled for deletion.\n", {}},
        {"ld", {"LOGICALDRIVE", "ALL", "3"}, nullptr, 3, "Invalid arguments.\n", {}},
        {"ld", {"LOGICALDRIVE", "x"}, nullptr, 3, "Invalid arguments.\n", {}},
        {"ld", {"FOO", "0"}, nullptr, 3, "Invalid arguments.\n", {}},
        {"mixed",
         {"JBOD", "0", "1", "0", "1"},
         nullptr,
         3,
         "\nCannot use a drive multiple times in one logical device!\n",
         {}},
        {"mixed", {"JBOD", "0,4", "0"}, nullptr, 3, "Invalid arguments.\n", {}},
        {"mixed", {"JBOD", "ALL", "0", "1"}, nullptr, 0, "Deleting: JBOD 0,4\n", {"deleteJBOD adapter=0,channel=0,device=4"}},
        {"mixed",
         {"JBOD", "0,4", "0", "0", "0", "9"},
         nullptr,
         0,
         "\nDevice 0,0 is not a JBOD.\n\nJBOD 0,9 does not exist.\n",
         {"deleteJBOD adapter=0,channel=0,device=4"}},
        {"ld", {"JBOD", "ALL"}, nullptr, 2, "No JBODs scheduled for deletion.\n", {}},
        {"ld", {"LOGICALDRIVE", "5", "0"}, nullptr, 0, "Logical device 5 does not exist.\n",
         {"deleteLogicalDrive adapter=0,logicalDrive=0"}},
        {"mixed",
         {"LOGICALDRIVE", "ALL"},
         nullptr,
         0,
         nullptr,
         {"deleteLogicalDrive adapter=0,logicalDrive=0", "deleteLogicalDrive adapter=0,logicalDrive=1"}},
        {"ld", {"LOGICALDRIVE", "0"}, mountedOnData, 2,
         "\nLogical device 0 is mounted on /data and cannot be deleted.\n", {}},
        {"ld",
         {"LOGICALDRIVE", "0"},
         [](System& root) { fixtureLogicalDrive(root, 0).setPartitionForTest(true); },
         0,
         "\nWARNING: logical device 0 may contain a partition.\nAll data in logical device 0 will be lost.\n"
         "Deleting: logical device 0 (\"Data\")\n",
         {"deleteLogicalDrive adapter=0,logicalDrive=0"}},
        {"ld",
         {"LOGICALDRIVE", "0"},
         [](System& root) { fixtureLogicalDrive(root, 0).setStateProperty(LD_DEGRADED_RECONFIGURING); },
         2,
         "Logical device 0 is reconfiguring and cannot be deleted.\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture + std::string(" ") + ::testing::PrintToString(c.words));
        use(c.fixture);
        if (c.change)
            scenario->changeTree(c.change);
        expectOutcome("DELETE", c.words, c.exitCode, c.shown, c.calls);
    }
}

TEST_F(DeleteCommandTest, FirstFailingDeletionStopsTheCommand)
{
    use("mixed").answer("deleteLogicalDrive", Ret(-5));
    int code = -1;
    runShown({"DELETE", "1", "LOGICALDRIVE", "0", "1"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), ElementsAre("deleteLogicalDrive adapter=0,logicalDrive=0"));
    use("mixed").answer("deleteJBOD", Ret(-5));
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 6).setJBODForTest(true); });
    runShown({"DELETE", "1", "JBOD", "ALL"}, code);
    EXPECT_THAT(calls(), ElementsAre("deleteJBOD adapter=0,channel=0,device=4"));
}

// A logical drive the tree still shows but the controller no longer has (a
// number given twice, another process's deletion) is not there, as any other
// number without a logical drive: the command goes on with the next number.
TEST_F(DeleteCommandTest, ALogicalDriveTheControllerNoLongerHasDoesNotExist)
{
    Ret notFound(0);
    notFound.setApiError(11);
    Ret notInTree(0);
    notInTree.setObjectNotFound();
    for (const Ret& gone : {notFound, notInTree}) {
        SCOPED_TRACE(gone.getReturn());
        use("mixed").answer("deleteLogicalDrive", gone);
        expectOutcome("DELETE", {"LOGICALDRIVE", "0", "1", "noprompt"}, 2,
                      "Deleting: logical device 0 (\"Data\")\nLogical device 0 does not exist.\n\n",
                      {"deleteLogicalDrive adapter=0,logicalDrive=0", "deleteLogicalDrive adapter=0,logicalDrive=1"});
        int code = -1;
        EXPECT_THAT(runShown({"DELETE", "1", "LOGICALDRIVE", "1", "noprompt"}, code),
                    HasSubstr("Logical device 1 does not exist.\n"));
        EXPECT_EQ(code, 2);
    }
    // Another failure still ends the command at once.
    Ret refused(0);
    refused.setApiError(44);
    use("mixed").answer("deleteLogicalDrive", refused);
    expectOutcome("DELETE", {"LOGICALDRIVE", "0", "1", "noprompt"}, 1, nullptr,
                  {"deleteLogicalDrive adapter=0,logicalDrive=0"});
}

TEST_F(DeleteCommandTest, DriveThatMayBeMountedIsAskedForAtTheTerminal)
{
    const struct {
        const char* answer;
        bool partition;
        const char* warning;
        int exitCode;
        const char* outcome;
        std::size_t calls;
    } cases[] = {
        {"yes\n", false, "WARNING: logical device 0 may be mounted.\n", 0, kDeletingData, 1},
        {"no\n", true, "WARNING: logical device 0 may contain a partition or mounted.\n", 2,
         "Not Deleting: logical device 0 (\"Data\")\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        use("ld").changeTree([&c](System& root) {
            fixtureLogicalDrive(root, 0).setMountPointForTest("empty");
            fixtureLogicalDrive(root, 0).setPartitionForTest(c.partition);
        });
        FakeTerminal terminal(c.answer);
        setTerminal(&terminal);
        int code = -1;
        const std::string shown = runShown({"DELETE", "1", "LOGICALDRIVE", "0"}, code);
        setTerminal(nullptr);
        EXPECT_EQ(code, c.exitCode);
        EXPECT_THAT(shown, HasSubstr(std::string(c.warning) +
                                     "All data in logical device 0 will be lost and all application data that is "
                                     "currently live will be disrupted.\n"
                                     "Are you sure to continue and delete the logical device?\n"
                                     "Type 'yes', then ENTER to continue or press ENTER to abort: \n" +
                                     c.outcome));
        EXPECT_EQ(calls().size(), c.calls);
    }
    // The provider has nobody at a terminal: the confirmed request deletes.
    use("ld").changeTree([](System& root) { fixtureLogicalDrive(root, 0).setMountPointForTest("empty"); });
    const ProviderResult asked = runProvider({"DELETE", "1", "LOGICALDRIVE", "0"}, true);
    EXPECT_THAT(asked.text, HasSubstr("Are you sure to delete the logical device?\nPress y"));
    EXPECT_EQ(runProvider({"DELETE", "1", "LOGICALDRIVE", "0"}).text,
              std::string(kDeletingData) + "\nCommand completed successfully.\n");
}

}  // namespace
