#include "Command/Vyn/os/HostIo.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

class HostIoTest : public vyntest::HostRootTest {};

TEST_F(HostIoTest, RealHostIoMapsLogicalPathsUnderTheRoot)
{
    RealHostIo io;
    const int fd = io.open("/var/lock/.probe", O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(io.write(fd, "abc", 3), 3);
    EXPECT_EQ(io.close(fd), 0);
    EXPECT_EQ(vyntest::readFile(hostFile("/var/lock/.probe")), "abc");
    struct stat st;
    EXPECT_EQ(io.stat("/var/lock/.probe", &st), 0);
    EXPECT_EQ(io.access("/var/lock/.probe", R_OK | W_OK), 0);
    EXPECT_EQ(io.unlink("/var/lock/.probe"), 0);
    EXPECT_EQ(io.stat("/var/lock/.probe", &st), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(HostIoTest, ScopedHostIoSwapsTheProcessInstanceForItsScope)
{
    HostIo& before = hostIo();
    RealHostIo other;
    {
        ScopedHostIo scope(other);
        EXPECT_EQ(&hostIo(), &other);
        RealHostIo inner;
        {
            ScopedHostIo nested(inner);
            EXPECT_EQ(&hostIo(), &inner);
        }
        EXPECT_EQ(&hostIo(), &other);
    }
    EXPECT_EQ(&hostIo(), &before);
}

}  // namespace

namespace {

// hostIo() decides once per process: each case runs in a child of its own.
class HostIoSelectionTest : public vyntest::HostRootTest {};

TEST_F(HostIoSelectionTest, TheEnvironmentChoosesTheImplementation)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            ::unsetenv("VYN_SIMULATOR");
            std::_Exit(dynamic_cast<vyn::hostsim::SimHostIo*>(&hostIo()) == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ::setenv("VYN_SIMULATOR", "default", 1);
            auto* sim = dynamic_cast<vyn::hostsim::SimHostIo*>(&hostIo());
            std::_Exit(sim != nullptr && sim->ok() && sim->controllerCount() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string bad = root() + "/bad.conf";
    vyntest::writeFile(bad, "adapters = 1\nnonsense = 1\n");
    EXPECT_EXIT(
        {
            ::setenv("VYN_SIMULATOR", bad.c_str(), 1);
            auto* sim = dynamic_cast<vyn::hostsim::SimHostIo*>(&hostIo());
            std::_Exit(sim != nullptr && sim->controllerCount() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "bad.conf:2: unknown key 'nonsense'");
}

}  // namespace
