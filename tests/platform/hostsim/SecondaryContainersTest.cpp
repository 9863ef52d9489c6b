// Containers built over containers (CT 171, 172), moves (CT 21), mirrors
// added and taken (CT 26, 27, 24) and volume extensions (CT 44), as raw
// requests against the record layouts.
#include "RawFibTest.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/state/Controller.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::word;

constexpr size_t W0 = 32;

const char* kContainers = "hostsim.persist = 0\n[adapter0]\n"
                          "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\n"
                          "drive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\ndrive5 = 0:5 sas 146G\n"
                          "ld0 = volume 0:0 size=1G name=Single\nld1 = raid0 0:1 size=1G\nld2 = raid0 0:2 size=2G\n"
                          "ld3 = raid1 0:3,0:4 size=1G\n";

class SecondaryContainersTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> command(int fd, uint32_t code, uint32_t p0, uint32_t p1 = 0, uint32_t p2 = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + W0 + 8, p0);
        putLe32(fib.data() + W0 + 12, p1);
        putLe32(fib.data() + W0 + 16, p2);
        if (!input.empty()) {
            std::memcpy(fib.data() + 64, input.data(), input.size());
            putLe16(fib.data() + 8, static_cast<uint16_t>(32 + input.size()));
        }
        return send(fd, fib);
    }
    // The secondary request: n, the chunk in blocks, the container numbers.
    static std::vector<uint8_t> members(const std::vector<uint32_t>& numbers)
    {
        std::vector<uint8_t> in(8 + 4 * numbers.size(), 0);
        putLe32(in.data(), static_cast<uint32_t>(numbers.size()));
        for (size_t i = 0; i < numbers.size(); ++i)
            putLe32(in.data() + 8 + 4 * i, numbers[i]);
        return in;
    }
    ControllerState& c() { return sim().controller(0); }
    std::string line(uint32_t number) { return c().objects["ld" + std::to_string(number)]; }
    const LogDevView* device(const ConfigView& v, uint32_t number)
    {
        for (const LogDevView& l : v.logDevs)
            if (l.number == number)
                return &l;
        return nullptr;
    }
};

TEST_F(SecondaryContainersTest, AVolumeSetAndAStripeSetOverContainers)
{
    const int fd = openAdapter(kContainers);
    // Refused: no member, a count beyond the data, an unknown or repeated
    // member.
    std::vector<uint8_t> shortInput = members({1, 2});
    shortInput.resize(12);
    EXPECT_EQ(word(command(fd, 171, 0, 0, 0, members({})), 2), 2u);
    EXPECT_EQ(word(command(fd, 171, 0, 0, 0, shortInput), 2), 2u);
    EXPECT_EQ(word(command(fd, 171, 0, 0, 0, members({1, 9})), 2), 2u);
    EXPECT_EQ(word(command(fd, 172, 0, 0, 0, members({1, 1})), 2), 2u);
    EXPECT_EQ(c().objects.count("ld4"), 0u);

    // The volume set takes the lowest free number, 4.
    EXPECT_EQ(word(command(fd, 171, 0, 0, 0, members({1, 2})), 2), 7u);
    EXPECT_EQ(line(4), "volume ld1,ld2 host=none");
    ConfigView v = configurationOf(c());
    const LogDevView* volume = device(v, 4);
    ASSERT_NE(volume, nullptr);
    ASSERT_EQ(volume->members.size(), 2u);
    EXPECT_EQ(volume->members[0].log, kFirstLogDevHandle + 1);
    EXPECT_EQ(volume->members[1].log, kFirstLogDevHandle + 2);
    EXPECT_EQ(volume->blocks, 3u * 2 * 1024 * 1024);
    EXPECT_EQ(device(v, 1)->parent, volume->handle);
    // Its legacy record (a long reply: the type comes back in result word 2)
    // names a volume set.
    EXPECT_EQ(word(command(fd, 178, 4), 4), 1u);
    // A member already used is not used again.
    EXPECT_EQ(word(command(fd, 172, 0, 0, 0, members({1, 0})), 2), 2u);

    // A stripe set: each member gives what the smallest holds.
    EXPECT_EQ(word(command(fd, 172, 0, 0, 0, members({0, 3})), 2), 322u);
    EXPECT_EQ(line(5), "raid0 ld0,ld3 host=none");
    v = configurationOf(c());
    EXPECT_EQ(device(v, 5)->blocks, 2u * 2 * 1024 * 1024);
    EXPECT_EQ(word(command(fd, 178, 5), 4), 3u);
}

TEST_F(SecondaryContainersTest, MovesCarryTheContainerAndWhatIsBuiltOverIt)
{
    const int fd = openAdapter(kContainers);
    ASSERT_EQ(word(command(fd, 171, 0, 0, 0, members({1, 2})), 2), 7u);
    const std::string first = line(1);
    EXPECT_EQ(word(command(fd, 50, 3), 2), 11u);  // lock ld3
    struct Row {
        uint32_t from, to, status;
    };
    const Row refused[] = {
        {9, 20, 60},  // no such container
        {1, 2, 61},   // in use
        {1, 64, 61},  // beyond the controller's numbers
        {1, 1, 61},
        {3, 20, 3},   // locked
    };
    for (const Row& r : refused)
        EXPECT_EQ(word(command(fd, 21, r.from, r.to), 2), r.status) << r.from << " -> " << r.to;
    EXPECT_EQ(line(1), first);

    EXPECT_EQ(word(command(fd, 21, 1, 31), 2), 64u);
    EXPECT_EQ(c().objects.count("ld1"), 0u);
    EXPECT_EQ(line(31), "raid0 0:1 size=1G host=none");
    EXPECT_EQ(line(4), "volume ld31,ld2 host=none");
    // Settings move along.
    EXPECT_EQ(word(command(fd, 21, 3, 30), 2), 3u);
    EXPECT_EQ(word(command(fd, 49, 3), 2), 13u);
    EXPECT_EQ(word(command(fd, 21, 3, 30), 2), 64u);
    EXPECT_EQ(c().containerSettings.count(3), 0u);
    EXPECT_EQ(c().containerSettings.count(30), 1u);
    // The container answers at its new number only.
    EXPECT_EQ(word(command(fd, 153, 31), 2), 1u);
    EXPECT_EQ(word(command(fd, 153, 1), 2), 0u);
}

TEST_F(SecondaryContainersTest, MirrorsAddedAndTaken)
{
    const int fd = openAdapter(kContainers);
    // Drives take slices 0 to 5 in order: slice 5 is drive 0:5.
    EXPECT_EQ(word(command(fd, 26, 9, 5), 2), 194u);
    EXPECT_EQ(word(command(fd, 26, 3, 5), 2), 2u);  // already a mirror
    EXPECT_EQ(word(command(fd, 26, 0, 0), 2), 2u);  // onto its own drive
    EXPECT_EQ(word(command(fd, 26, 0, 77), 2), 2u); // no such slice
    EXPECT_EQ(word(command(fd, 26, 0, 5), 2), 37u);
    EXPECT_EQ(line(0), "raid1 0:0,0:5 size=1G name=Single");

    EXPECT_EQ(word(command(fd, 24, 1), 2), 2u);  // not a mirror
    EXPECT_EQ(word(command(fd, 24, 3), 2), 89u);
    EXPECT_EQ(line(3), "volume 0:3 size=2097152s");

    // Every member of a container over containers, or none.
    ASSERT_EQ(word(command(fd, 171, 0, 0, 0, members({1, 2})), 2), 7u);
    std::vector<uint8_t> request(136, 0);
    putLe16(request.data(), 4);
    putLe16(request.data() + 2, 2);
    putLe32(request.data() + 8, 4);
    putLe32(request.data() + 12, 2);  // drive 0:2 is the second member's own
    EXPECT_EQ(word(command(fd, 27, 0, 0, 0, request), 2), 2u);
    EXPECT_EQ(line(1), "raid0 0:1 size=1G");
    putLe32(request.data() + 12, 3);
    EXPECT_EQ(word(command(fd, 27, 0, 0, 0, request), 2), 37u);
    EXPECT_EQ(line(1), "raid1 0:1,0:4 size=1G");
    EXPECT_EQ(line(2), "raid1 0:2,0:3 size=2G");
}

TEST_F(SecondaryContainersTest, VolumeExtensionsAreKeptForTheirWords)
{
    const int fd = openAdapter(kContainers);
    EXPECT_EQ(word(command(fd, 44, 1, 5, 65536), 2), 2u);  // not a volume set
    EXPECT_EQ(word(command(fd, 44, 0, 77, 65536), 2), 2u); // no such slice
    EXPECT_EQ(word(command(fd, 44, 9, 5, 65536), 2), 194u);
    EXPECT_EQ(word(command(fd, 44, 0, 5, 65536), 2), 131u);
    const ControllerState::CtCapture& last = c().captured.back();
    EXPECT_EQ(last.code, 44u);
    EXPECT_EQ(last.param[1], 5u);
    EXPECT_EQ(last.param[2], 65536u);
}

TEST_F(SecondaryContainersTest, TheHostDeletesTheDiskOfAContainerMovedAway)
{
    const int fd = openAdapter(kContainers);
    ASSERT_NE(sim().diskOf(0, 1), "");
    // The container moves away; its old disk stays until the host deletes it.
    ASSERT_EQ(word(command(fd, 21, 1, 31), 2), 64u);
    EXPECT_NE(sim().diskOf(0, 1), "");
    uint8_t del[8] = {};
    putLe32(del + 4, 1);
    ASSERT_EQ(hostIo().ioctl(fd, 0x163, del), 0);
    EXPECT_EQ(sim().diskOf(0, 1), "");
    // Neither a disk nor a container: nothing to delete, and no failure.
    EXPECT_EQ(hostIo().ioctl(fd, 0x163, del), 0);

    // A deleted disk stays deleted when its address is scanned again.
    putLe32(del + 4, 2);
    ASSERT_EQ(hostIo().ioctl(fd, 0x163, del), 0);
    const int scan = hostIo().open("/sys/class/scsi_host/host1/scan", O_WRONLY);
    ASSERT_GE(scan, 0);
    ASSERT_EQ(hostIo().write(scan, "0 2 0\n", 6), 6);
    hostIo().close(scan);
    EXPECT_EQ(sim().diskOf(0, 2), "");
    hostIo().close(fd);
}

}  // namespace
