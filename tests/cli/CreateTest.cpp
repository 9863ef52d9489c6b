#include "CommandTest.h"

#include "RaidModel/Interface/Features.h"
#include "cli/Engine.h"
#include "cli/commands/Create.h"
#include "common/Progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class CreateTest : public CommandTest {
protected:
    std::string runFresh(const std::vector<std::string>& words, int& code)
    {
        std::FILE* previous = out;
        out = std::tmpfile();
        code = run(words);
        const std::string text = realOut();
        std::fclose(out);
        out = previous;
        return text;
    }
};

TEST_F(CreateTest, Raid5OnThreeDrivesIsCreatedAsRequested)
{
    EXPECT_EQ(run({"CREATE", "1", "LOGICALDRIVE", "NAME", "web", "100", "5", "0", "0", "0", "1", "0", "2", "noprompt"}), 0);
    EXPECT_EQ(realOut(), "Controllers found: 1\n\nCreating logical device: web\n\nCommand completed successfully.\n");
    EXPECT_THAT(calls(),
                ElementsAre("createLogicalDrive adapter=0 | \"web\", 5, 256, [0,0@0+102400;0,1@0+102400;0,2@0+102400]"));

    // The provider keeps only what the command printed while acting.
    const ProviderResult provider = runProvider(
        {"CREATE", "1", "LOGICALDRIVE", "NAME", "web", "100", "5", "0", "0", "0", "1", "0", "2", "noprompt"}, true);
    EXPECT_EQ(provider.text, "Creating logical device: web\n\nCommand completed successfully.\n");
    EXPECT_EQ(provider.value, 0);
    EXPECT_EQ(provider.warningType, 0);
}

TEST_F(CreateTest, SizeBelowTwentyMegabytesIsRefused)
{
    int code = -1;
    const std::string shown = runFresh({"CREATE", "1", "LOGICALDRIVE", "19", "1", "0", "0", "0", "1"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(shown, "Controllers found: 1\nRequested logical device size is too small.\n\nCommand aborted.\n");
    EXPECT_THAT(calls(), IsEmpty());
    runFresh({"CREATE", "1", "LOGICALDRIVE", "20", "1", "0", "0", "0", "1"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("createLogicalDrive adapter=0 | \"LogicalDrv 0\", 1, 256, [0,0@0+40960;0,1@0+40960]"));
}

}  // namespace
