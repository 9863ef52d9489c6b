// Several command-line programs changing one simulated controller at the same
// time, each a process of its own under one host root: none of them may fail
// because another changed the configuration while it read or wrote it.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 2;
constexpr int kDeletions = 5;
constexpr int kCreations = 7;

class ConcurrentCommandsEndToEndTest : public vyntest::HostRootTest {
protected:
    // A fresh host root of its own for each round, with the description: one
    // bus of 24 drives; mirrors 0 to 4 on the drive pairs from 0:0, the
    // drives from 0:10 free.
    std::string freshRoot(int round)
    {
        const std::string path = root() + "/round" + std::to_string(round);
        for (const char* dir : {"var/log", "var/lock", "var/lib", "tmp", "dev", "proc", "sys", "etc"})
            std::filesystem::create_directories(path + "/" + dir);
        std::ofstream description(path + "/mirrors.conf");
        description << "[adapter0]\nbus0 = sas 32\n";
        for (int i = 0; i < 24; ++i)
            description << "drive" << i << " = 0:" << i << " sas 146G\n";
        for (int i = 0; i < kDeletions; ++i)
            description << "ld" << i << " = raid1 0:" << 2 * i << ",0:" << 2 * i + 1 << " name=M" << i << "\n";
        return path;
    }
    std::string description(const std::string& round) const { return round + "/mirrors.conf"; }
    vyntest::ProgramRun run(const std::string& round, const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, round, description(round), args);
    }
    std::vector<vyntest::ProgramRun> runTogether(const std::string& round,
                                                 const std::vector<std::vector<std::string>>& argsOfEach)
    {
        return vyntest::runVynconfTogether(VYNCONF_PATH, round, description(round), argsOfEach);
    }
};

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

TEST_F(ConcurrentCommandsEndToEndTest, DeletionsOfDifferentLogicalDrivesAllSucceed)
{
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string at = freshRoot(round);
        const vyntest::ProgramRun before = run(at, {"GETCONFIG", "1", "LD"});
        ASSERT_EQ(occurrences(before.output, "Logical device number "), static_cast<size_t>(kDeletions))
            << before.output << before.error;

        std::vector<std::vector<std::string>> deletions;
        for (int i = 0; i < kDeletions; ++i)
            deletions.push_back({"DELETE", "1", "LOGICALDRIVE", std::to_string(i), "noprompt"});
        const std::vector<vyntest::ProgramRun> runs = runTogether(at, deletions);
        for (int i = 0; i < kDeletions; ++i)
            EXPECT_EQ(runs[i].exitCode, 0) << "deletion of " << i << ":\n" << runs[i].output << runs[i].error;

        const vyntest::ProgramRun after = run(at, {"GETCONFIG", "1", "LD"});
        EXPECT_EQ(occurrences(after.output, "Logical device number "), 0u) << after.output;
    }
}

TEST_F(ConcurrentCommandsEndToEndTest, CreationsOnDisjointDrivesAllSucceed)
{
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string at = freshRoot(round);
        std::vector<std::vector<std::string>> creations;
        for (int i = 0; i < kCreations; ++i) {
            const int first = 2 * kDeletions + 2 * i;
            creations.push_back({"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", std::to_string(first), "0",
                                 std::to_string(first + 1), "noprompt"});
        }
        const std::vector<vyntest::ProgramRun> runs = runTogether(at, creations);
        for (int i = 0; i < kCreations; ++i)
            EXPECT_EQ(runs[i].exitCode, 0) << "creation " << i << ":\n" << runs[i].output << runs[i].error;

        const vyntest::ProgramRun after = run(at, {"GETCONFIG", "1", "LD"});
        EXPECT_EQ(occurrences(after.output, "Logical device number "), static_cast<size_t>(kDeletions + kCreations))
            << after.output;
        for (int number = 0; number < kDeletions + kCreations; ++number)
            EXPECT_EQ(occurrences(after.output, "Logical device number " + std::to_string(number) + "\n"), 1u)
                << number;
    }
}

}  // namespace
