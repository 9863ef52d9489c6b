#include "CommandTest.h"

#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/Features.h"
#include "cli/Engine.h"

#include <map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

constexpr unsigned long long GB = 2097152;
constexpr unsigned long long MB = 2048;

class ModifyTest : public CommandTest {
protected:
    // Logical drive 1 beside the fixture's, with the features its
    // migration needs.
    void withSource(const std::string& fixture, EnumRaidLevel level, std::vector<unsigned long> devices,
                    std::vector<FeatureEnum> features, TreeChange more = nullptr)
    {
        use(fixture).changeTree([level, devices](System& root) {
            const unsigned long long sectors = 10 * GB;
            addFixtureLogicalDrive(fixtureAdapter(root), 1, "Source", level, devices, 0, sectors, sectors);
        });
        for (FeatureEnum feature : features)
            scenario->changeTree(setFeatureChange(feature, 1));
        if (more)
            scenario->changeTree(more);
    }
};

TEST_F(ModifyTest, ArgumentsAndTheSourceDrive)
{
    use("ld");
    int code = -1;
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "100", "1", "0"}, code), HasSubstr("Invalid arguments."));
    EXPECT_EQ(code, 3);
    // Nine words are too few even when they would make a whole request: a
    // mirror swap names its one drive as "channel,device".
    scenario->changeTree(setFeatureChange(featMorphRaid1ToSimpleVolume, 1));
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "10000", "volume", "0,0"}, code),
                HasSubstr("Invalid arguments."));
    EXPECT_EQ(code, 3);
    EXPECT_EQ(runShown({"MODIFY", "1", "FROM", "0", "TO", "10000", "volume", "0", "0"}, code).find("Invalid"),
              std::string::npos);
    EXPECT_EQ(code, 0);
    scenario->clearCalls();
    EXPECT_EQ(runShown({"MODIFY", "1", "FROM", "9", "TO", "100", "1", "0", "0", "0", "1"}, code),
              "Controllers found: 1\nLogical device does not exist.\n\nCommand aborted.\n");
    EXPECT_EQ(code, 2);
    EXPECT_THAT(runShown({"MODIFY", "1", "ON", "0", "TO", "100", "1", "0", "0", "0", "1"}, code),
                HasSubstr("Invalid arguments."));
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "INIT_PRIORITY", "urgent", "100", "1", "0", "0", "0", "1"},
                         code),
                HasSubstr("\nInvalid Initialization Priority input.\nValid inputs are HIGH, MED, or LOW.\n"));
    EXPECT_EQ(code, 3);
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "STRIPESIZE", "8", "100", "1", "0", "0", "0", "1"}, code),
                HasSubstr("This controller supports a minimum stripe size of 16\n"));
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "100", "1E", "0", "0", "0", "1"}, code),
                HasSubstr("The requested target RAID Level is not a supported reconfiguration target.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(calls(), IsEmpty());

    EXPECT_EQ(runShown({"MODIFY", "1", "FROM", "0", "TO", "9000", "1", "0", "0", "0", "1"}, code),
              "Controllers found: 1\nThe target logical device must be at least as large as the source (10000 MB)\n"
              "\nCommand aborted.\n");
    EXPECT_EQ(code, 2);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
}

TEST_F(ModifyTest, CapacityExpansionGrowsTheChunksInPlace)
{
    // Without STRIPESIZE the target keeps the source's stripe size.
    use("ld").changeTree(setFeatureChange(featExpandRaid1, 1));
    scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 0).setStripeSizeForTest(128); });
    int code = -1;
    EXPECT_EQ(runShown({"MODIFY", "1", "FROM", "0", "TO", "20000", "1", "0", "0", "0", "1", "noprompt"}, code),
              "Controllers found: 1\nReconfiguring logical device: Data\n\nCommand completed successfully.\n");
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("getProgress adapter=0,logicalDrive=0",
                                     "modifyLogicalDrive adapter=0,logicalDrive=0 | \"Data\", 1, 128, "
                                     "[0,0@0+40960000;0,1@0+40960000]"));
    // A source that reports no stripe size leaves nothing to keep: the
    // target gets the default one and the segment is still aligned.
    for (const char* target : {"20000", "MAX"}) {
        SCOPED_TRACE(target);
        use("ld").changeTree(setFeatureChange(featExpandRaid1, 1));
        scenario->changeTree([](System& root) { fixtureLogicalDrive(root, 0).setStripeSizeForTest(0); });
        EXPECT_EQ(runShown({"MODIFY", "1", "FROM", "0", "TO", target, "1", "0", "0", "0", "1", "noprompt"}, code),
                  "Controllers found: 1\nReconfiguring logical device: Data\n\nCommand completed successfully.\n");
        EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), ElementsAre(HasSubstr("\"Data\", 1, 256, [0,0@0+")));
    }
    // Without the expansion feature a same-level change must change the
    // stripe size.
    use("ld").changeTree(setFeatureChange(featMorphRaid1ToRaid1, 1));
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "10000", "1", "0", "0", "0", "1"}, code),
                HasSubstr("The requested reconfiguration does not define any changes.\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(ModifyTest, SizesThatMustStayTakeMaxOrTheShownMegabytes)
{
    // Sources whose data space lies between 10000 and 10001 MB: a user can
    // type neither it nor anything the exact-size paths accepted. The RAID 5
    // chunks are no whole number of the new stripes.
    constexpr unsigned long long halfMB = 1024;
    struct Case {
        const char* what;
        EnumRaidLevel level;
        std::vector<unsigned long> devices;
        unsigned long long chunk;
        FeatureEnum feature;
        std::vector<std::string> to;  // the words after TO, up to the drives
        std::vector<std::string> drives;
        const char* refused;          // null: the change is made
    };
    const std::string mustBe = "The requested modification does not support change of logical device size.\n"
                               "The target logical device must be 10000 MB\n";
    const std::string atLeast = "The target logical device must be at least as large as the source (10000 MB)\n";
    const unsigned long long raid5Chunk = (10000 * MB + halfMB) / 2 - 128;
    const unsigned long long mirrorChunk = 10000 * MB + halfMB;
    const std::vector<std::string> three{"0", "0", "0", "1", "0", "2"};
    const Case cases[] = {
        // A stripe-size change on a controller that cannot grow RAID 5.
        {"stripe, MAX", RAID_LEVEL_5, {0, 1, 2}, raid5Chunk, featMorphRaid5ToRaid5, {"STRIPESIZE", "128", "MAX", "5"},
         three, nullptr},
        {"stripe, shown size", RAID_LEVEL_5, {0, 1, 2}, raid5Chunk, featMorphRaid5ToRaid5,
         {"STRIPESIZE", "128", "10000", "5"}, three, nullptr},
        {"stripe, larger", RAID_LEVEL_5, {0, 1, 2}, raid5Chunk, featMorphRaid5ToRaid5,
         {"STRIPESIZE", "128", "10001", "5"}, three, mustBe.c_str()},
        {"stripe, smaller", RAID_LEVEL_5, {0, 1, 2}, raid5Chunk, featMorphRaid5ToRaid5,
         {"STRIPESIZE", "128", "9999", "5"}, three, atLeast.c_str()},
        // The mirror swap.
        {"swap, MAX", RAID_LEVEL_1, {0, 1}, mirrorChunk, featMorphRaid1ToSimpleVolume, {"MAX", "volume"}, {"0", "0"},
         nullptr},
        {"swap, shown size", RAID_LEVEL_1, {0, 1}, mirrorChunk, featMorphRaid1ToSimpleVolume, {"10000", "volume"},
         {"0", "0"}, nullptr},
        {"swap, larger", RAID_LEVEL_1, {0, 1}, mirrorChunk, featMorphRaid1ToSimpleVolume, {"10001", "volume"},
         {"0", "0"}, mustBe.c_str()},
        // A capacity expansion may not shrink the drive by the half MB.
        {"expansion", RAID_LEVEL_1, {0, 1}, mirrorChunk, featExpandRaid1, {"10000", "1"}, {"0", "0", "0", "1"},
         atLeast.c_str()},
    };
    std::map<std::string, std::vector<std::string>> made;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const unsigned long long chunk = c.chunk;
        const EnumRaidLevel level = c.level;
        const std::vector<unsigned long> devices = c.devices;
        use("basic").changeTree([=](System& root) {
            const unsigned long long data = level == RAID_LEVEL_5 ? 2 * chunk : chunk;
            addFixtureLogicalDrive(fixtureAdapter(root), 1, "Source", level, devices, 0, chunk, data);
        });
        scenario->changeTree(setFeatureChange(c.feature, 1));
        std::vector<std::string> words{"MODIFY", "1", "FROM", "1", "TO"};
        words.insert(words.end(), c.to.begin(), c.to.end());
        words.insert(words.end(), c.drives.begin(), c.drives.end());
        words.push_back("noprompt");
        int code = -1;
        const std::string shown = runShown(words, code);
        if (c.refused != nullptr) {
            EXPECT_THAT(shown, HasSubstr(c.refused));
            EXPECT_EQ(code, 2);
            EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
            continue;
        }
        EXPECT_THAT(shown, EndsWith("Reconfiguring logical device: Source\n\nCommand completed successfully.\n"));
        EXPECT_EQ(code, 0);
        ASSERT_EQ(scenario->callsOf("modifyLogicalDrive").size(), 1u);
        made[c.to.back()].push_back(scenario->callsOf("modifyLogicalDrive")[0]);
    }
    // MAX and the shown size ask for the same layout: the source's size.
    ASSERT_EQ(made["5"].size(), 2u);
    EXPECT_EQ(made["5"][0], "modifyLogicalDrive adapter=0,logicalDrive=1 | \"Source\", 5, 128, "
                            "[0,0@0+10240384;0,1@0+10240384;0,2@0+10240384]");
    EXPECT_EQ(made["5"][1], made["5"][0]);
    ASSERT_EQ(made["volume"].size(), 2u);
    EXPECT_EQ(made["volume"][0], made["volume"][1]);
}

TEST_F(ModifyTest, Raid0ToRaid5AddsAThirdDrive)
{
    withSource("basic", RAID_LEVEL_0, {0, 1}, {featMorphRaid0ToRaid5});
    int code = -1;
    const std::string shown =
        runShown({"MODIFY", "1", "FROM", "1", "TO", "STRIPESIZE", "64", "MAX", "5", "0", "0", "0", "1", "0", "2",
                  "noprompt"},
                 code);
    EXPECT_THAT(shown, HasSubstr("The requested reconfiguration does not support stripe size changes, option "
                                 "ignored.\n"));
    EXPECT_EQ(code, 0);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"),
                ElementsAre("modifyLogicalDrive adapter=0,logicalDrive=1 | \"Source\", 5, 256, "
                            "[0,0@0+286748672;0,1@0+286748672;0,2@0+286748672]"));
    // Two drives are too few for RAID 5 over a RAID 0 of two.
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "1", "TO", "MAX", "5", "0", "0", "0", "1"}, code),
                HasSubstr("Invalid number of drives for the requested target RAID level\nspecified (2): required (3)\n"));
    EXPECT_EQ(code, 2);
}

TEST_F(ModifyTest, Raid5ToRaid0KeepsEverySourceDrive)
{
    withSource("basic", RAID_LEVEL_5, {0, 1, 2}, {featMorphRaid5ToRaid0});
    int code = -1;
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "1", "TO", "MAX", "0", "0", "0", "0", "1", "0", "3"}, code),
                HasSubstr("The requested modification does not support change of logical device members.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
}

TEST_F(ModifyTest, LayoutsWithoutADivisorAreNotSupported)
{
    auto spares = [](System& root) {
        for (unsigned long device : {0ul, 1ul, 2ul})
            fixtureDrive(root, 0, device).setStateProperty(PD_HOT_SPARE);
    };
    auto allOnesGroups = [](System& root) {
        for (Chunk* chunk : fixtureLogicalDrive(root, 1).getHardDriveChunkVector())
            chunk->setGroup(0xFFFFFFFFul);
    };
    const struct {
        const char* what;
        EnumRaidLevel level;
        std::vector<unsigned long> devices;
        std::vector<FeatureEnum> features;
        TreeChange change;
        std::vector<std::string> target;
    } cases[] = {
        {"RAID 5 to 6 with every member on a spare", RAID_LEVEL_5, {0, 1, 2}, {featMorphRaid5ToRaid6}, spares,
         {"MAX", "6", "0", "0", "0", "1", "0", "2", "0", "3"}},
        {"RAID 5 without members", RAID_LEVEL_5, {}, {featExpandRaid5}, nullptr,
         {"MAX", "5", "0", "0", "0", "1", "0", "2"}},
        {"RAID 5EE of one member", RAID_LEVEL_5EE, {0}, {featRaid5EE, featExpandRaid5EE}, nullptr,
         {"MAX", "5EE", "0", "0", "0", "1", "0", "2", "0", "3"}},
        {"RAID 50 without members", RAID_LEVEL_50, {}, {featExpandRaid50}, nullptr,
         {"MAX", "50", "0", "0", "0", "1", "0", "2"}},
        {"RAID 50 whose legs number all ones", RAID_LEVEL_50, {0, 1, 2}, {featExpandRaid50}, allOnesGroups,
         {"MAX", "50", "0", "0", "0", "1", "0", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        withSource("basic", c.level, c.devices, c.features, c.change);
        std::vector<std::string> words = {"MODIFY", "1", "FROM", "1", "TO"};
        words.insert(words.end(), c.target.begin(), c.target.end());
        words.push_back("noprompt");
        int code = -1;
        EXPECT_THAT(runShown(words, code),
                    EndsWith("The requested reconfiguration is not supported.\n\nCommand aborted.\n"));
        EXPECT_EQ(code, 2);
        EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
    }
}

TEST_F(ModifyTest, ProviderAsksBeforeReconfiguring)
{
    use("ld").changeTree(setFeatureChange(featExpandRaid1, 1));
    const ProviderResult first = runProvider({"MODIFY", "1", "FROM", "0", "TO", "20000", "1", "0", "0", "0", "1"}, true);
    EXPECT_EQ(first.text, "Controllers found: 1\nReconfiguration of a logical device is a long process.  Are you sure "
                          "you want to continue?\nPress y, then ENTER to continue or press ENTER to abort: ");
    EXPECT_EQ(first.warningType, 1);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
}

}  // namespace

namespace {

TEST_F(ModifyTest, MirrorSwapsKeepTheSourceSize)
{
    use("ld").changeTree(setFeatureChange(featMorphRaid1ToSimpleVolume, 1));
    int code = -1;
    runShown({"MODIFY", "1", "FROM", "0", "TO", "10000", "volume", "0", "0", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"),
                ElementsAre("modifyLogicalDrive adapter=0,logicalDrive=0 | \"Data\", 15, 256, [0,0@0+0]"));
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "12000", "volume", "0", "0"}, code),
                HasSubstr("The requested modification does not support change of logical device size.\n"
                          "The target logical device must be 10000 MB\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "10000", "volume", "0", "3"}, code),
                HasSubstr("The requested modification does not support change of logical device members.\n"));
}

TEST_F(ModifyTest, SimpleVolumeTargetsUseTheSimpleVolumeSearch)
{
    // The target drive has two free extents around another drive's chunk:
    // the simple-volume search takes one chunk from each, which is not one
    // per drive; the search for other levels would have taken the biggest.
    withSource("basic", RAID_LEVEL_0, {0, 1}, {featMorphRaid0ToSimpleVolume}, [](System& root) {
        addFixtureLogicalDrive(fixtureAdapter(root), 2, "Gap", RAID_LEVEL_0, {2}, 1000000, 40960, 40960);
    });
    int code = -1;
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "1", "TO", "MAX", "volume", "0", "2", "noprompt"}, code),
                HasSubstr("Not enough available space.\n"));
    EXPECT_EQ(code, 2);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
}

}  // namespace

namespace {

TEST_F(ModifyTest, Raid5ToRaid6NeedsTheDrivesOfTheTargetLayout)
{
    withSource("basic", RAID_LEVEL_5, {0, 1, 2}, {featMorphRaid5ToRaid6});
    int code = -1;
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "1", "TO", "MAX", "6", "0", "0", "0", "1", "0", "2"}, code),
                HasSubstr("Invalid number of drives for the requested target RAID level\nspecified (3): required (4)\n"));
    EXPECT_EQ(code, 2);
    runShown({"MODIFY", "1", "FROM", "1", "TO", "MAX", "6", "0", "0", "0", "1", "0", "2", "0", "3", "noprompt"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"),
                ElementsAre(HasSubstr("\"Source\", 16, 256, [0,0@0+286748672;0,1@0+286748672;0,2@0+286748672;"
                                      "0,3@0+286748672]")));
}

TEST_F(ModifyTest, SourceStateAndTasks)
{
    const struct {
        const char* what;
        TreeChange change;
        const char* message;
    } cases[] = {
        {"degraded", [](System& root) { fixtureLogicalDrive(root, 0).setStateProperty(LD_DEGRADED); },
         "The source logical device must be in an optimal state.\n"},
        {"impacted", [](System& root) { fixtureLogicalDrive(root, 0).setSubState(LD_SUBSTATE_IMPACTED); },
         "The source logical device must be in an optimal state.\n"},
        {"failed stripes", [](System& root) { fixtureLogicalDrive(root, 0).setBadBlockCountForTest(1); },
         "The source logical device must not have failed stripes.\n"},
        {"morphing neighbour",
         [](System& root) {
             addFixtureLogicalDrive(fixtureAdapter(root), 1, "Busy", RAID_LEVEL_1, {2, 3}, 0, 40960, 40960)
                 .setStateProperty(LD_RECONFIGURING);
         },
         "A selected source or target physical device is part of a current reconfiguration.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("ld").changeTree(setFeatureChange(featExpandRaid1, 1));
        scenario->changeTree(c.change);
        int code = -1;
        EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "20000", "1", "0", "0", "0", "3", "noprompt"}, code),
                    HasSubstr(c.message));
        EXPECT_EQ(code, 2);
        EXPECT_THAT(scenario->callsOf("modifyLogicalDrive"), IsEmpty());
    }
    use("ld").changeTree(setFeatureChange(featExpandRaid1, 1));
    scenario->seedTasks(logicalDriveAddr(0), {task(TASK_TYPE_VERIFY, logicalDriveAddr(0), TASK_STATE_IN_PROGRESS, 1)});
    int code = -1;
    EXPECT_THAT(runShown({"MODIFY", "1", "FROM", "0", "TO", "20000", "1", "0", "0", "0", "1", "noprompt"}, code),
                HasSubstr("There is a task running on the logical device.  Cannot alter the configuration.\n"));
    EXPECT_EQ(code, 2);
}

}  // namespace
