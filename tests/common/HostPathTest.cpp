#include "common/HostPath.h"
#include "support/HostRootTest.h"

#include <cstdlib>
#include <cstring>

namespace {

class HostPathTest : public vyntest::HostRootTest {};

TEST_F(HostPathTest, MapsFixedPathsUnderTheRoot)
{
    EXPECT_EQ(vynHostPath("/var/log/"), root() + "/var/log/");
    EXPECT_EQ(vynHostPath("/dev/ulb0"), root() + "/dev/ulb0");
}

TEST_F(HostPathTest, UnsetOrSlashRootMeansTheRealRoot)
{
    for (const char* value : {"", "/", "//"}) {
        ::setenv("VYN_HOST_ROOT", value, 1);
        EXPECT_EQ(vynHostPath("/var/lock"), "/var/lock") << "root '" << value << "'";
    }
    ::unsetenv("VYN_HOST_ROOT");
    EXPECT_EQ(vynHostPath("/tmp"), "/tmp");
}

TEST_F(HostPathTest, TrailingSlashesOfTheRootAreDropped)
{
    ::setenv("VYN_HOST_ROOT", (root() + "//").c_str(), 1);
    EXPECT_EQ(vynHostPath("/etc"), root() + "/etc");
}

TEST_F(HostPathTest, BoundedCopyRefusesWhatDoesNotFit)
{
    const std::string expected = root() + "/var/log/vyntrace.txt";
    char exact[256];
    ASSERT_LT(expected.size(), sizeof exact);
    EXPECT_TRUE(vynHostPathCopy(exact, expected.size() + 1, "/var/log/vyntrace.txt"));
    EXPECT_EQ(std::string(exact), expected);

    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_FALSE(vynHostPathCopy(tiny, sizeof tiny, "/var/log/vyntrace.txt"));
    EXPECT_EQ(tiny[0], '\0');
    EXPECT_EQ(tiny[1], 'x') << "nothing beyond the terminator is written";
}

}  // namespace
