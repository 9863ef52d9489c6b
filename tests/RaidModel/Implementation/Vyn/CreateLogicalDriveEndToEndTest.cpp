// Logical drives created by the built command-line program on the simulator,
// each command a process of its own under one host root: what one run
// creates, the next run's configuration shows.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class CreateLogicalDriveEndToEndTest : public vyntest::HostRootTest {
protected:
    // The four-drive description made persistent, so that runs build on each
    // other.
    std::string persistentFourDrives()
    {
        std::ifstream in(std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/four-drives.conf");
        std::ostringstream kept;
        std::string line;
        while (std::getline(in, line))
            if (line != "persist = 0")
                kept << line << '\n';
        const std::string path = root() + "/four-drives.conf";
        std::ofstream(path) << kept.str();
        return path;
    }
    vyntest::ProgramRun run(const std::string& simulator, const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), simulator, args);
    }
};

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::string lastLine(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const size_t cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

// The value after the colon of the first line that starts with `label`
// (after its indent).
std::string field(const std::string& text, const std::string& label)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, label.size(), label) != 0)
            continue;
        const size_t colon = line.find(':');
        return colon == std::string::npos ? "" : line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return "";
}

TEST_F(CreateLogicalDriveEndToEndTest, AMirrorOnTheFourDrivesComesAndGoes)
{
    const std::string fourDrives = persistentFourDrives();
    const vyntest::ProgramRun create = run(fourDrives, {"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", "0", "0",
                                                        "1", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(occurrences(config.output, "Logical device number 0\n"), 1u) << config.output;
    EXPECT_EQ(occurrences(config.output, "Logical device number "), 1u) << config.output;
    EXPECT_EQ(field(config.output, "RAID level"), "1") << config.output;
    EXPECT_EQ(field(config.output, "Logical device name"), "LogicalDrv 0") << config.output;

    const vyntest::ProgramRun remove = run(fourDrives, {"DELETE", "1", "LOGICALDRIVE", "0", "noprompt"});
    EXPECT_EQ(remove.exitCode, 0) << remove.output << remove.error;
    EXPECT_EQ(lastLine(remove.output), "Command completed successfully.") << remove.output;

    const vyntest::ProgramRun after = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_NE(after.output.find("   No logical devices configured"), std::string::npos) << after.output;
    EXPECT_EQ(occurrences(after.output, "Logical device number "), 0u) << after.output;
}

TEST_F(CreateLogicalDriveEndToEndTest, ARaid5OfOneHundredMegabytes)
{
    const std::string fourDrives = persistentFourDrives();
    const vyntest::ProgramRun before = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_NE(before.output.find("No logical devices configured"), std::string::npos) << before.output;
    const vyntest::ProgramRun create = run(fourDrives, {"CREATE", "1", "LOGICALDRIVE", "100", "5", "0", "0", "0",
                                                        "1", "0", "2", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.output.find("No logical devices configured"), std::string::npos) << config.output;
    EXPECT_EQ(field(config.output, "RAID level"), "5") << config.output;
    EXPECT_EQ(field(config.output, "Size"), "100 MB") << config.output;
}

TEST_F(CreateLogicalDriveEndToEndTest, ASecondDriveBesideTheDefaultOne)
{
    const vyntest::ProgramRun create =
        run("default", {"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", "4", "0", "5", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run("default", {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(occurrences(config.output, "Logical device number "), 2u) << config.output;
    EXPECT_NE(config.output.find("Logical device number 1\n"), std::string::npos) << config.output;
    EXPECT_EQ(field(config.output, "Logical device name"), "Data") << config.output;
}

}  // namespace
