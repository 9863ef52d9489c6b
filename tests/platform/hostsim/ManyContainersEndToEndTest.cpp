// The command-line program over a controller with more logical drives than
// the host has disk letters from sdb to sdz: every one is a disk of the host,
// and deleting them all goes to the end.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ManyContainersEndToEndTest : public vyntest::HostRootTest {
protected:
    vyntest::ProgramRun run(const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), VYN_HOSTSIM_FIXTURE_DIR "/twenty-eight-volumes.conf", args);
    }
    std::string nodes() const { return vyntest::readFile(hostFile("/var/lib/hostsim/nodes")); }
};

TEST_F(ManyContainersEndToEndTest, TwentyEightLogicalDrivesAreDisksAndAllAreDeleted)
{
    const vyntest::ProgramRun before = run({"GETCONFIG", "1", "LD"});
    ASSERT_EQ(before.exitCode, 0) << before.output << before.error;
    EXPECT_NE(before.output.find("Logical device number 27\n"), std::string::npos) << before.output;
    EXPECT_NE(nodes().find("/dev/sdz b 8 400\n"), std::string::npos) << nodes();
    EXPECT_NE(nodes().find("/dev/sdac b 8 448\n"), std::string::npos) << nodes();

    const vyntest::ProgramRun deleted = run({"DELETE", "1", "LOGICALDRIVE", "ALL", "noprompt"});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.output << deleted.error;
    EXPECT_NE(deleted.output.find("Deleting: logical device 27"), std::string::npos) << deleted.output;
    EXPECT_NE(deleted.output.find("Command completed successfully."), std::string::npos) << deleted.output;
    EXPECT_EQ(deleted.error.find("IOCTL"), std::string::npos) << deleted.error;

    const vyntest::ProgramRun after = run({"GETCONFIG", "1", "LD"});
    ASSERT_EQ(after.exitCode, 0) << after.error;
    EXPECT_NE(after.output.find("No logical devices configured"), std::string::npos) << after.output;
    // The host's own disk stays; none of the containers' is left.
    EXPECT_NE(nodes().find("/dev/sda b 8 0\n"), std::string::npos) << nodes();
    EXPECT_EQ(nodes().find("/dev/sdb"), std::string::npos) << nodes();
    EXPECT_EQ(nodes().find("/dev/sdaa"), std::string::npos) << nodes();
}

}  // namespace
