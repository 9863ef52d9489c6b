#include "CommandTest.h"

#include "RaidModel/Interface/Features.h"
#include "cli/Engine.h"
#include "cli/commands/Create.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr unsigned long long TB = 2147483648ull;

// CREATE's layout before the library is asked: what the loader and the
// layout builder made of a command line.
class CreateProbe : public Create {
public:
    const LogicalDriveSpec* layout() const { return spec; }
    bool redundantEnclosures() const { return enclosureRedundancy; }
};

struct Layout {
    int load = -1;
    int build = -1;
    std::vector<unsigned long> groups;
    std::vector<unsigned long long> starts;
    std::vector<unsigned long long> lengths;
    bool redundantEnclosures = false;
};

class CreateSpecTest : public CommandTest {
protected:
    Layout layoutOf(std::vector<std::string> words)
    {
        RecordingLib lib(scenario);
        lib.getSystemConfig();
        std::vector<std::string> line = {"vynconf", "CREATE", "1", "LOGICALDRIVE"};
        line.insert(line.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& word : line)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        CreateProbe probe;
        Layout result;
        result.load = probe.loadArguments(argv.data(), static_cast<int>(line.size()), &lib);
        if (result.load != 0)
            return result;
        result.build = probe.buildLogicalDriveSpec(lib.getAdapter(0));
        for (const ChunkSpec& chunk : probe.layout()->chunks) {
            result.groups.push_back(chunk.getGroupNum());
            result.starts.push_back(chunk.getStartBlock());
            result.lengths.push_back(chunk.getNumBlocks());
        }
        result.redundantEnclosures = probe.redundantEnclosures();
        return result;
    }

    // Drives 0,4 to 0,7 beside the basic four.
    void eightDrives()
    {
        scenario->changeTree([](System& root) {
            for (unsigned long device = 4; device < 8; ++device)
                addFixtureDrive(fixtureAdapter(root), device);
        });
    }
};

TEST_F(CreateSpecTest, LegsOfSpannedLevels)
{
    eightDrives();
    Layout raid50 = layoutOf({"LEGS", "2", "100", "50", "0", "0", "0", "1", "0", "2", "0", "3", "0", "4", "0", "5"});
    EXPECT_EQ(raid50.build, 0);
    EXPECT_THAT(raid50.groups, ElementsAre(0, 0, 0, 1, 1, 1));
    EXPECT_THAT(raid50.lengths, ElementsAreArray(std::vector<unsigned long long>(6, 51200)));
    EXPECT_EQ(layoutOf({"LEGS", "2", "100", "50", "0", "0", "0", "1", "0", "2", "0", "3", "0", "4", "0", "5", "0", "6"})
                  .build,
              CREATE_BAD_DRIVE_COUNT);
    // Legs of two drives leave no RAID 5 to build.
    EXPECT_EQ(layoutOf({"LEGS", "3", "100", "50", "0", "0", "0", "1", "0", "2", "0", "3", "0", "4", "0", "5"}).build,
              CREATE_BAD_DRIVE_COUNT);

    Layout raid10 = layoutOf({"100", "10", "0", "0", "0", "1", "0", "2", "0", "3"});
    EXPECT_EQ(raid10.build, 0);
    EXPECT_THAT(raid10.groups, ElementsAre(0, 0, 1, 1));
    EXPECT_FALSE(raid10.redundantEnclosures);
    EXPECT_EQ(layoutOf({"100", "10", "0", "0", "0", "1", "0", "2"}).build, CREATE_BAD_DRIVE_COUNT);
}

TEST_F(CreateSpecTest, EachLegTakesOneDriveOfEveryEnclosure)
{
    scenario->changeTree([](System& root) {
        for (unsigned long device = 0; device < 4; ++device)
            fixtureDrive(root, 0, device).setEnclosureID(device < 2 ? 0 : 1);
    });
    const Layout raid10 = layoutOf({"100", "10", "0", "0", "0", "1", "0", "2", "0", "3"});
    EXPECT_EQ(raid10.build, 0);
    EXPECT_TRUE(raid10.redundantEnclosures);
    EXPECT_THAT(raid10.groups, ElementsAre(1, 0, 1, 0));
}

TEST_F(CreateSpecTest, SegmentSizesAndTheFreeSpaceSearch)
{
    // A RAID 5 of 100 MB on three drives: 50 MB each, already aligned.
    EXPECT_THAT(layoutOf({"100", "5", "0", "0", "0", "1", "0", "2"}).lengths, ElementsAre(102400, 102400, 102400));
    // Segments are aligned to two stripes of at least 64 KB.
    EXPECT_THAT(layoutOf({"STRIPESIZE", "16", "21", "0", "0", "0", "0", "1"}).lengths, ElementsAre(21504, 21504));
    EXPECT_THAT(layoutOf({"STRIPESIZE", "1024", "21", "0", "0", "0", "0", "1"}).lengths, ElementsAre(22528, 22528));

    // MAX takes the smallest of the drives' biggest extents, in whole MB,
    // after the extents in use.
    use("ld");
    const Layout max = layoutOf({"MAX", "1", "0", "1", "0", "2"});
    EXPECT_EQ(max.build, 0);
    EXPECT_THAT(max.starts, ElementsAre(20480000, 0));
    EXPECT_THAT(max.lengths, ElementsAre((286749488ull - 20480000) / 2048 * 2048, (286749488ull - 20480000) / 2048 * 2048));
}

TEST_F(CreateSpecTest, ThirtyTwoBitControllersCapTheSize)
{
    scenario->changeTree([](System& root) {
        for (unsigned long device = 0; device < 4; ++device)
            fixtureDrive(root, 0, device).setSizeForTest(TB);
    });
    const Layout max = layoutOf({"MAX", "0", "0", "0", "0", "1", "0", "2", "0", "3"});
    EXPECT_EQ(max.build, 0);
    EXPECT_THAT(max.lengths, ElementsAreArray(std::vector<unsigned long long>(4, 524287ull * 2048)));
    EXPECT_EQ(layoutOf({"3000000", "0", "0", "0", "0", "1", "0", "2", "0", "3"}).build, CREATE_TOO_LARGE);
    scenario->changeTree(setFeatureChange(feat64BitLBA, 1));
    EXPECT_EQ(layoutOf({"3000000", "0", "0", "0", "0", "1", "0", "2", "0", "3"}).build, 0);
}

TEST_F(CreateSpecTest, DrivesThatCannotTakeAChunk)
{
    use("basic").changeTree([](System& root) {
        for (unsigned long id = 1; id <= 6; ++id)
            addFixtureLogicalDrive(fixtureAdapter(root), id, ("L" + std::to_string(id)).c_str(), RAID_LEVEL_0, {0},
                                   id * 40960, 40960, 40960);
    });
    EXPECT_EQ(layoutOf({"100", "1", "0", "0", "0", "1"}).build, CREATE_SEGMENT_LIMIT);
    use("sas").changeTree([](System& root) { addFixtureDrive(fixtureAdapter(root), 4).setInterfaceTypeForTest(1); });
    EXPECT_EQ(layoutOf({"100", "1", "0", "0", "0", "4"}).build, CREATE_MIXED_INTERFACES);
    scenario->changeTree(setFeatureChange(featMixedArrays, 1));
    EXPECT_EQ(layoutOf({"100", "1", "0", "0", "0", "4"}).build, 0);
    use("basic").changeTree([](System& root) { fixtureDrive(root, 0, 1).setStateProperty(PD_HOT_SPARE); });
    EXPECT_EQ(layoutOf({"100", "1", "0", "0", "0", "1"}).build, CREATE_DEVICE_UNAVAILABLE);
    use("basic").changeTree([](System& root) { fixtureDrive(root, 0, 1).setJBODForTest(true); });
    EXPECT_EQ(layoutOf({"100", "1", "0", "0", "0", "1"}).build, CREATE_DEVICE_UNAVAILABLE);
    EXPECT_EQ(retString, "One or more of the selected disks is a JBOD.\n");
}

TEST_F(CreateSpecTest, SimpleVolumes)
{
    // A JBOD becomes a simple volume over its biggest extent.
    scenario->changeTree([](System& root) { fixtureDrive(root, 0, 1).setJBODForTest(true); });
    Layout promoted = layoutOf({"100", "volume", "0", "1"});
    EXPECT_EQ(promoted.build, 0);
    EXPECT_THAT(promoted.lengths, ElementsAre(286749488ull / 2048 * 2048));
    EXPECT_THAT(retString, HasSubstr("Attention: Creating a simple volume on a JBOD disk while I/O is in progress"));

    // A sized volume takes its share of each drive from the first extent
    // behind the reserved sectors.
    use("basic").changeTree([](System& root) { fixtureAdapter(root).setReservedSectors(2048, 0); });
    Layout sized = layoutOf({"100", "volume", "0", "2"});
    EXPECT_EQ(sized.build, 0);
    EXPECT_THAT(sized.starts, ElementsAre(2048));
    EXPECT_THAT(sized.lengths, ElementsAre(204800));

    // Drives without sectors have nothing to share out.
    use("basic").changeTree([](System& root) {
        fixtureAdapter(root).setReservedSectors(2048, 0);
        fixtureDrive(root, 0, 2).setSizeForTest(0);
    });
    EXPECT_EQ(layoutOf({"100", "volume", "0", "2"}).build, CREATE_NO_SPACE);
}

class RaidVolumeTest : public CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        prepare();
    }

    // "ld" with a second RAID 1 on drives 0,2 and 0,3, and RAID volumes.
    void prepare()
    {
        use("ld").changeTree([](System& root) {
            addFixtureLogicalDrive(fixtureAdapter(root), 1, "Second", RAID_LEVEL_1, {2, 3}, 0, 40960, 40960);
        });
        scenario->changeTree(setFeatureChange(featRaidVolume, 1));
    }
};

TEST_F(RaidVolumeTest, MembersAreChecked)
{
    EXPECT_EQ(run({"CREATE", "1", "LOGICALDRIVE", "RVOLUME", "0", "1", "noprompt"}), 0);
    EXPECT_THAT(scenario->callsOf("createLogicalDrive"), ElementsAre(StartsWith("createLogicalDrive adapter=0 | "
                                                                                "\"LogicalDrv 2\", 14, ")));
    EXPECT_THAT(scenario->callsOf("getTasks"),
                ElementsAre("getTasks adapter=0,logicalDrive=0", "getTasks adapter=0,logicalDrive=1"));

    const struct {
        const char* what;
        TreeChange change;
        std::vector<std::string> members;
        const char* message;
    } cases[] = {
        {"missing member", nullptr, {"0", "5"}, "Logical device 5 does not exist.\n"},
        {"mounted member", [](System& root) { fixtureLogicalDrive(root, 1).setMountPointForTest("/data"); },
         {"0", "1"}, "Logical device #1 is mounted on /data and cannot be altered.\n"},
        {"reconfiguring member",
         [](System& root) { fixtureLogicalDrive(root, 1).setStateProperty(LD_RECONFIGURING); }, {"0", "1"},
         "Reconfiguring logical devices cannot be altered.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prepare();
        if (c.change)
            scenario->changeTree(c.change);
        std::vector<std::string> words = {"CREATE", "1", "LOGICALDRIVE", "RVOLUME"};
        words.insert(words.end(), c.members.begin(), c.members.end());
        words.push_back("noprompt");
        const ProviderResult result = runProvider(words, false);
        EXPECT_THAT(result.text, HasSubstr(c.message));
        EXPECT_THAT(scenario->callsOf("createLogicalDrive"), testing::IsEmpty());
    }
}

TEST_F(RaidVolumeTest, LevelsTasksAndPossiblyMountedMembers)
{
    scenario->changeTree([](System& root) {
        addFixtureLogicalDrive(fixtureAdapter(root), 2, "Parity", RAID_LEVEL_5, {}, 0, 0, 40960);
    });
    ProviderResult result = runProvider({"CREATE", "1", "LOGICALDRIVE", "RVOLUME", "0", "2", "noprompt"}, false);
    EXPECT_THAT(result.text, HasSubstr("The logical devices specified have different raid levels.\n"));

    scenario->seedTasks(logicalDriveAddr(1), {task(TASK_TYPE_BUILD_VERIFY, logicalDriveAddr(1), TASK_STATE_IN_PROGRESS, 3)});
    result = runProvider({"CREATE", "1", "LOGICALDRIVE", "RVOLUME", "0", "1", "noprompt"}, false);
    EXPECT_THAT(result.text,
                HasSubstr("\nCannot create a raid volume.  Logical device #1 has task Build/Verify running.\n"));
    EXPECT_THAT(scenario->callsOf("createLogicalDrive"), testing::IsEmpty());

    scenario->seedTasks(logicalDriveAddr(1), {});
    scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 1).setMountPointForTest("empty"); });
    result = runProvider({"CREATE", "1", "LOGICALDRIVE", "RVOLUME", "0", "1"}, true);
    EXPECT_EQ(result.text, "Controllers found: 1\nWARNING: One or more logical device(s) may be mounted.\n"
                           "\nAre you sure you want to continue?\n"
                           "Press y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(result.warningType, 1);
    EXPECT_THAT(scenario->callsOf("createLogicalDrive"), testing::IsEmpty());
}

}  // namespace
