#include "CommandTest.h"

#include "cli/support/MaintenanceFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class FirmwareUpdateTest : public CommandTest {
protected:
    // A directory of image files under the test's root.
    std::string imageDirectory(const std::string& name = "/fw")
    {
        const std::string path = hostFile(name);
        ::mkdir(path.c_str(), 0755);
        return path;
    }

    std::string flashCall(const std::string& image, unsigned adapter = 0, bool skip = false)
    {
        return "upgradeControllerFirmware adapter=" + std::to_string(adapter) + " | \"" + image + "\", " +
               (skip ? "true" : "false");
    }

    std::vector<std::string> biosEntries() const
    {
        std::vector<std::string> found;
        for (const std::string& entry : logEntries(eventLog()))
            if (entry.rfind("Update: BIOS, ", 0) == 0)
                found.push_back(entry);
        return found;
    }
};

TEST_F(FirmwareUpdateTest, RomUpdateFindsTheImageByItsBaseName)
{
    const std::string dir = imageDirectory();
    int code = -1;
    std::string shown = runShown({"ROMUPDATE", "1", dir + "/abc"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(shown, "Controllers found: 1\n" + dir + "/abc01.ufi does not exist.\n\nCommand aborted.\n");
    EXPECT_THAT(calls(), IsEmpty());

    // As typed, then the upper-case and the lower-case variant of the last
    // path component; the extension keeps its case.
    writeFile(dir + "/ABC01.ufi", "image");
    runShown({"ROMUPDATE", "1", dir + "/abc"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre(flashCall(dir + "/ABC01.ufi")));

    writeFile(dir + "/abc01.ufi", "image");
    scenario->clearCalls();
    runShown({"ROMUPDATE", "1", dir + "/Abc"}, code);
    EXPECT_THAT(calls(), ElementsAre(flashCall(dir + "/ABC01.ufi")));
    scenario->clearCalls();
    runShown({"ROMUPDATE", "1", dir + "/abc"}, code);
    EXPECT_THAT(calls(), ElementsAre(flashCall(dir + "/abc01.ufi")));
    std::remove((dir + "/ABC01.ufi").c_str());
    scenario->clearCalls();
    runShown({"ROMUPDATE", "1", dir + "/ABC"}, code);
    EXPECT_THAT(calls(), ElementsAre(flashCall(dir + "/abc01.ufi")));

    // The directory keeps its case in every variant; a name holding
    // "01.ufi" gets no second one.
    const std::string mixed = imageDirectory("/Path");
    writeFile(mixed + "/IMG01.ufi", "image");
    scenario->clearCalls();
    runShown({"ROMUPDATE", "1", mixed + "/Img01.ufi", "/SKip"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre(flashCall(mixed + "/IMG01.ufi", 0, true)));
}

TEST_F(FirmwareUpdateTest, RomUpdateWords)
{
    const std::string image = imageDirectory() + "/img";
    writeFile(image + "01.ufi", "image");
    const struct {
        std::vector<std::string> words;
        int exitCode;
    } cases[] = {
        {{"ROMUPDATE", "1", image, "newversion", "x"}, 3},
        {{"ROMUPDATE", "1", image, "newversion"}, 3},
        {{"ROMUPDATE", "1", image, "extra"}, 3},
        {{"ROMUPDATE", "1", image, "force", "extra"}, 3},
        {{"ROMUPDATE", "x", image}, 3},
        {{"ROMUPDATE", "9", image}, 6},
        {{"ROMUPDATE", "1", image, "/skip"}, 3},
        {{"ROMUPDATE", "1", image, "FORCE", "NewVersion", "5"}, 0},
        {{"ROMUPDATE", "ALL", image}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        int code = -1;
        runShown(c.words, code);
        EXPECT_EQ(code, c.exitCode);
    }
}

TEST_F(FirmwareUpdateTest, RomUpdateRefusesDownlevelImagesUnlessForced)
{
    const std::string image = imageDirectory() + "/img";
    writeFile(image + "01.ufi", "image");
    scenario->changeTree([](System& root) {
        fixtureAdapter(root).setVersionsForTest("5.2-0", 200, "5.2-0", 200, "1.1", 1, "5.2-0", 190);
    });
    int code = -1;
    std::string shown = runShown({"ROMUPDATE", "1", image, "newversion", "100"}, code);
    // Nothing flashed: main's -1 is still in the return codes.
    EXPECT_EQ(code, 2);
    EXPECT_EQ(shown, "Controllers found: 1\n\nCannot flash controller 1 with downlevel firmware.  Use 'force' to "
                     "override.\n\nCommand aborted.\n");
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_THAT(biosEntries(), IsEmpty());

    shown = runShown({"ROMUPDATE", "1", image, "newversion", "100", "force"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\n\nUpdating controller 1 firmware...Succeeded\nA new software image has "
                     "been applied to controller 1.\nYou must restart the system for firmware updates to take "
                     "effect.\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre(flashCall(image + "01.ufi")));
    EXPECT_THAT(biosEntries(), ElementsAre("Update: BIOS, Old version: 5.2-0 (200), New version: 100, Status: "
                                           "success, ReturnCode: 0x0"));

    // Same or newer builds need no force.
    scenario->clearCalls();
    runShown({"ROMUPDATE", "1", image, "newversion", "200"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(FirmwareUpdateTest, RomUpdateOfAllControllersLogsEachOne)
{
    const std::string image = imageDirectory() + "/img";
    writeFile(image + "01.ufi", "image");
    scenario->changeTree(addBasicController(1));
    int code = -1;
    const std::string shown = runShown({"ROMUPDATE", "all", image}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(shown, HasSubstr("Updating controller 1 firmware...Succeeded\n"));
    EXPECT_THAT(shown, HasSubstr("Updating controller 2 firmware...Succeeded\n"));
    EXPECT_THAT(calls(), ElementsAre(flashCall(image + "01.ufi", 0), flashCall(image + "01.ufi", 1)));
    const std::vector<std::string> entries = biosEntries();
    ASSERT_EQ(entries.size(), 2u);
    for (const std::string& entry : entries)
        EXPECT_EQ(entry, "Update: BIOS, Old version: Unknown, New version: Unknown, Status: success, ReturnCode: 0x0");
}

TEST_F(FirmwareUpdateTest, RomUpdateFailuresKeepTheirResults)
{
    const std::string image = imageDirectory() + "/img";
    writeFile(image + "01.ufi", "image");
    scenario->failWithApiStatus("upgradeControllerFirmware", 587);
    int code = -1;
    std::string shown = runShown({"ROMUPDATE", "1", image}, code);
    EXPECT_EQ(code, 16);
    EXPECT_THAT(shown, HasSubstr("Updating controller 1 firmware...Failed\n"));
    EXPECT_THAT(shown, HasSubstr("\n\n\nCommand failed.\n"));
    ASSERT_EQ(biosEntries().size(), 1u);
    EXPECT_THAT(biosEntries()[0], HasSubstr("ReturnCode: 0x10"));

    scenario->failWithApiStatus("upgradeControllerFirmware", 31);
    runShown({"ROMUPDATE", "1", image}, code);
    EXPECT_EQ(code, 1);
    scenario->answer("upgradeControllerFirmware", Ret(-1));
    runShown({"ROMUPDATE", "1", image}, code);
    EXPECT_EQ(code, 2);

    // One success among failures reports success.
    scenario->answer("upgradeControllerFirmware", Ret(0));
    scenario->clearCalls();
    const ProviderResult asked = runProvider({"ROMUPDATE", "1", image}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(calls(), IsEmpty());
}

class ImageUpdateTest : public FirmwareUpdateTest {
protected:
    void SetUp() override
    {
        FirmwareUpdateTest::SetUp();
        use("empty").changeTree(addFirmwareController(*scenario));
    }

    std::vector<std::string> update(const std::vector<std::string>& extra)
    {
        std::vector<std::string> words{"IMAGEUPDATE", "1", "DEVICE", "0", "2", "16384", "fw.lod"};
        words.insert(words.end(), extra.begin(), extra.end());
        return words;
    }

    const std::string drive = "adapter=0,channel=0,device=2";
    const std::string protect = "protectHardDriveSet adapter=0 | [adapter=0,channel=0,device=2], true, false";
    const std::string unprotect = "protectHardDriveSet adapter=0 | [adapter=0,channel=0,device=2], false, false";
};

TEST_F(ImageUpdateTest, SataDownloadIsQuiescedAndSettles)
{
    RecordedSleeps sleeps;
    int code = -1;
    const std::string shown = runShown(update({}), code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\n\nUpdating a hard disk with an invalid image file may render the hard disk "
                     "unusable. Please make sure you have the correct image file.\n\nYou must restart the system "
                     "for firmware updates to take effect.\nSucceeded\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("readDriveFirmwareFile " + drive + " | \"fw.lod\"", protect,
                                     "upgradeSATADriveFirmware " + drive + " | \"fw.lod\", 16384, 3", unprotect));
    EXPECT_THAT(sleeps.pauses(), ElementsAre(10u));

    scenario->clearCalls();
    runShown(update({"5"}), code);
    EXPECT_EQ(calls().at(2), "upgradeSATADriveFirmware " + drive + " | \"fw.lod\", 16384, 5");

    scenario->clearCalls();
    runShown(update({"3", "noquiesce"}), code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("readDriveFirmwareFile " + drive + " | \"fw.lod\"",
                                     "upgradeSATADriveFirmware " + drive + " | \"fw.lod\", 16384, 3"));
    EXPECT_THAT(sleeps.pauses(), ElementsAre(10u, 10u));
}

TEST_F(ImageUpdateTest, WordsInTheirOrder)
{
    const struct {
        std::vector<std::string> extra;
        int exitCode;
    } cases[] = {
        {{"7", "forcelog", "noquiesce"}, 0},
        {{"forcelog"}, 0},
        {{"noquiesce", "7"}, 3},
        {{"noquiesce", "forcelog"}, 3},
        {{"other"}, 3},
        {{"1", "forcelog", "noquiesce", "noprompt", "x"}, 3},
    };
    RecordedSleeps sleeps;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.extra));
        int code = -1;
        runShown(update(c.extra), code);
        EXPECT_EQ(code, c.exitCode);
    }
    int code = -1;
    runShown({"IMAGEUPDATE", "1", "DEVICE", "0", "2", "16384"}, code);
    EXPECT_EQ(code, 3);
    runShown({"IMAGEUPDATE", "1", "DISK", "0", "2", "16384", "fw.lod"}, code);
    EXPECT_EQ(code, 3);
    runShown({"IMAGEUPDATE", "1", "DEVICE", "0", "x", "16384", "fw.lod"}, code);
    EXPECT_EQ(code, 3);
    runShown({"IMAGEUPDATE", "9", "DEVICE", "0", "2", "16384", "fw.lod"}, code);
    EXPECT_EQ(code, 6);
    // Thirteen words, whatever they are.
    scenario->clearCalls();
    runShown({"IMAGEUPDATE", "1", "DEVICE", "0", "2", "16384", "fw.lod", "3", "a", "b", "c", "d"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(ImageUpdateTest, InterfacesAndDevices)
{
    RecordedSleeps sleeps;
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 2).setInterfaceTypeForTest(4); });
    int code = -1;
    runShown(update({}), code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(calls().at(2), "upgradeSASDriveFirmware " + drive + " | \"fw.lod\", 16384, 7");

    // The question comes first; the interface is checked when acting.
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 2).setInterfaceTypeForTest(2); });
    const ProviderResult asked = runProvider({"IMAGEUPDATE", "1", "DEVICE", "0", "2", "16384", "fw.lod"}, true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, Not(HasSubstr("interface type not supported")));
    scenario->clearCalls();
    std::string shown = runShown(update({}), code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("for firmware updates to take effect.\ninterface type not supported\nCommand aborted."));
    EXPECT_THAT(calls(), IsEmpty());

    shown = runShown({"IMAGEUPDATE", "1", "DEVICE", "0", "9", "16384", "fw.lod"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("The device specified does not exist.\n"));

    use("basic").changeTree(addOtherDevice(6));
    shown = runShown({"IMAGEUPDATE", "1", "DEVICE", "0", "6", "16384", "fw.lod"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(shown, "Controllers found: 1\nThe device specified is not a hard drive.\n\nCommand aborted.\n");
}

TEST_F(ImageUpdateTest, FailuresAroundTheDownload)
{
    RecordedSleeps sleeps;
    int code = -1;
    // An image that cannot be read ends before anything is protected.
    scenario->answer("readDriveFirmwareFile", Ret(-1));
    runShown(update({}), code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), ElementsAre("readDriveFirmwareFile " + drive + " | \"fw.lod\""));
    scenario->answer("readDriveFirmwareFile", Ret(0));

    // A failed download is unprotected at once, without the wait.
    scenario->answer("upgradeSATADriveFirmware", Ret(-5));
    scenario->clearCalls();
    std::string shown = runShown(update({}), code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("effect.\nFailed\n"));
    EXPECT_EQ(calls().back(), unprotect);
    EXPECT_THAT(sleeps.pauses(), IsEmpty());
    scenario->answer("upgradeSATADriveFirmware", Ret(0));

    // A set left protected is the one outcome of its own, after either
    // download outcome.
    scenario->answer("unprotectHardDriveSet", Ret(-5));
    shown = runShown(update({}), code);
    EXPECT_EQ(code, 16);
    EXPECT_THAT(shown, HasSubstr("effect.\nUnprotect failed on the HardDrive set\n\nCommand failed.\n"));
    EXPECT_THAT(sleeps.pauses(), ElementsAre(10u));
    scenario->answer("upgradeSATADriveFirmware", Ret(-5));
    runShown(update({}), code);
    EXPECT_EQ(code, 16);
    EXPECT_THAT(sleeps.pauses(), ElementsAre(10u));

    scenario->answer("protectHardDriveSet", Ret(-5));
    scenario->clearCalls();
    shown = runShown(update({}), code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("effect.\nFailed\n\nCommand failed.\n"));
    EXPECT_EQ(calls().back(), protect);
}

}  // namespace
