#include "CommandTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::HasSubstr;

namespace {

class MaintenanceUsageTest : public CommandTest {
protected:
    std::string runFresh(const std::vector<std::string>& line, int& code)
    {
        std::FILE* previous = out;
        out = std::tmpfile();
        code = runVynconf(line, scenario->factory(), out);
        const std::string text = realOut();
        std::fclose(out);
        out = previous;
        return text;
    }
};

// The keyword alone shows the usage, hidden commands included.
TEST_F(MaintenanceUsageTest, KeywordAloneShowsTheUsage)
{
    const struct {
        const char* keyword;
        const char* usage;
    } cases[] = {
        {"PASSTHROUGH", "\n Usage: PASSTHROUGH <Controller#> <Channel# ID#> <read|notransfer> [length] <[> <CDB> <]> "
                        "[noprompt] [nologs]\n"},
        {"ROMUPDATE", "\n Usage: ROMUPDATE <Controller#|all> <BaseName> [newversion <build#> [force]] [noprompt] "
                      "[nologs]\n Updates controller firmware.\n"},
        {"IMAGEUPDATE", "\n Usage: IMAGEUPDATE <Controller#> DEVICE <Channel# ID# ChunkSize# Filename> [Mode#] "
                        "[noprompt]\n  DEVICE parameters\n"},
        {"BACKUP", "\n Usage: BACKUP <Controller#> <File Name> [nologs]\n"},
        {"RESTORE", "\n Usage: RESTORE <Controller#> <Filename> [noprompt] [nologs]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        int code = -1;
        EXPECT_THAT(runFresh({"vynconf", c.keyword}, code), HasSubstr(c.usage));
        EXPECT_EQ(code, 1);
    }
    int code = -1;
    const std::string shown = runFresh({"vynconf-devel", "SAVESUPPORTARCHIVE", "x"}, code);
    EXPECT_EQ(code, 3);
    EXPECT_THAT(shown, HasSubstr("Invalid arguments.\n\n Usage: SAVESUPPORTARCHIVE  [nologs]\n " +
                                 std::string(54, '=') + "\n\n Saves the all the logs \n"));
}

TEST_F(MaintenanceUsageTest, DebugModeTracesTheArgumentsAndTheRun)
{
    const std::string image = hostFile("/tmp/config.bin");
    const struct {
        std::vector<std::string> words;
        const char* keyword;
    } cases[] = {
        {{"PASSTHROUGH", "1", "0", "2", "[12", "00", "00", "00", "24", "00]"}, "PASSTHROUGH"},
        {{"BACKUP", "1", image}, "BACKUP"},
        {{"RESTORE", "1", image}, "RESTORE"},
        {{"SAVESUPPORTARCHIVE"}, "SAVESUPPORTARCHIVE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        std::vector<std::string> line{"vynconf-debug1"};
        line.insert(line.end(), c.words.begin(), c.words.end());
        int code = -1;
        const std::string shown = runFresh(line, code);
        EXPECT_THAT(shown, HasSubstr(std::string(c.keyword) + ": arguments valid\n"));
        EXPECT_THAT(shown, HasSubstr(std::string(c.keyword) + ": EXECUTING\n"));
    }
}

}  // namespace
