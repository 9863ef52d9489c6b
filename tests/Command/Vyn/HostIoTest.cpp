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
