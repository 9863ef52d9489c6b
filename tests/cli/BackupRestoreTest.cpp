#include "CommandTest.h"

#include "RaidModel/Interface/ModelEnums.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

constexpr std::size_t kImageSize = 131072;

class BackupRestoreTest : public CommandTest {};

TEST_F(BackupRestoreTest, BackupSavesTheImageOfAHealthyController)
{
    const std::string file = hostFile("/tmp/config.bin");
    int code = -1;
    std::string shown = runShown({"BACKUP", "1", file}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\n\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("getControllerConfiguration adapter=0"));
    EXPECT_EQ(readFile(file).size(), kImageSize);

    // The controller family cannot hand an image over.
    const std::string other = hostFile("/tmp/other.bin");
    scenario->answer("getControllerConfiguration", Ret(-1));
    runShown({"BACKUP", "1", other}, code);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(fileExists(other));

    scenario->answer("getControllerConfiguration", Ret(0));
    shown = runShown({"BACKUP", "1", hostFile("/no/such/dir/config.bin")}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("Cannot open \"" + hostFile("/no/such/dir/config.bin") + "\".\n"));
}

TEST_F(BackupRestoreTest, BackupRefusesAnUnhealthyConfiguration)
{
    use("ld").changeTree([](System& root) {
        fixtureLogicalDrive(root, 0).setStateProperty(LD_DEGRADED);
        fixtureDrive(root, 0, 3).setStateProperty(PD_FAILED);
    });
    const std::string file = hostFile("/tmp/config.bin");
    int code = -1;
    const std::string shown = runShown({"BACKUP", "1", file}, code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("Controllers found: 1\n\nLogical device 0 status: Degraded.\n"
                                 "Physical device 0,3 status: Failed.\n"
                                 "The current configuration is not optimal.\n"));
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_FALSE(fileExists(file));
}

TEST_F(BackupRestoreTest, WordCounts)
{
    const struct {
        std::vector<std::string> words;
        int exitCode;
    } cases[] = {
        {{"BACKUP", "1"}, 3},
        {{"BACKUP", "1", "f", "extra"}, 3},
        {{"BACKUP", "x", "f"}, 3},
        {{"RESTORE", "1"}, 3},
        {{"RESTORE", "1", "file", "extra"}, 3},
        {{"RESTORE", "x", "file"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
    }
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(BackupRestoreTest, RestoreReadsAWholeImageFirst)
{
    const std::string shortFile = hostFile("/tmp/short.bin");
    writeFile(shortFile, std::string(1000, 'x'));
    use("ld");
    int code = -1;
    std::string shown = runShown({"RESTORE", "1", shortFile}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("Unable to read the configuration from \"" + shortFile + "\"\n"));
    EXPECT_THAT(calls(), IsEmpty());

    shown = runShown({"RESTORE", "1", hostFile("/tmp/missing.bin")}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("Cannot open \"" + hostFile("/tmp/missing.bin") + "\"\n"));

    const std::string image = hostFile("/tmp/image.bin");
    writeFile(image, std::string(kImageSize, 'i'));
    runShown({"RESTORE", "9", image}, code);
    EXPECT_EQ(code, 6);
    EXPECT_THAT(calls(), IsEmpty());
}

// This controller family answers configuration images with -1: RESTORE
// must find that out before it deletes anything.
TEST_F(BackupRestoreTest, RestoreChangesNothingOnAControllerWithoutImages)
{
    const std::string image = hostFile("/tmp/image.bin");
    writeFile(image, std::string(kImageSize, 'i'));
    use("ld").answer("getControllerConfiguration", Ret(-1));
    scenario->answer("setControllerConfiguration", Ret(-1));
    int code = -1;
    const std::string shown = runShown({"RESTORE", "1", image}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(calls(), ElementsAre("getControllerConfiguration adapter=0"));
    EXPECT_THAT(shown, Not(HasSubstr("Configuration restored.")));
    EXPECT_THAT(shown, HasSubstr("\nCommand failed.\n"));
}

TEST_F(BackupRestoreTest, RestoreReplacesTheConfiguration)
{
    const std::string image = hostFile("/tmp/image.bin");
    writeFile(image, std::string(kImageSize, 'i'));
    use("ld");
    const ProviderResult asked = runProvider({"RESTORE", "1", image}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, HasSubstr("WARNING: All data and partitions on all configured logical devices will be "
                                      "lost!\nDo you wish to continue?\n"));
    EXPECT_THAT(calls(), IsEmpty());

    int code = -1;
    std::string shown = runShown({"RESTORE", "1", image}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\nConfiguration restored.\nThe system must be rebooted for the restored "
                     "configuration to take effect.\n\nCommand completed successfully.\n");
    // The fixture's tree comes back unchanged, so its members are reset.
    EXPECT_THAT(calls(), ElementsAre("getControllerConfiguration adapter=0", "abortTask adapter=0,logicalDrive=0 | 0",
                                     "deleteLogicalDrive adapter=0,logicalDrive=0",
                                     "setDeviceState adapter=0,channel=0,device=0 | 0",
                                     "setDeviceState adapter=0,channel=0,device=1 | 0",
                                     "setControllerConfiguration adapter=0 | 2, buffer"));

    // Failures do not stop it; the last call's outcome is reported.
    scenario->answer("deleteLogicalDrive", Ret(-5));
    scenario->failWithApiStatus("setControllerConfiguration", 31);
    scenario->clearCalls();
    shown = runShown({"RESTORE", "1", image}, code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("Configuration restored.\n"));
    EXPECT_EQ(calls().size(), 6u);
}

}  // namespace
