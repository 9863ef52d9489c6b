// What controller discovery reads of the simulator besides firmware records:
// the disks of the containers (/dev/sdX), the connector map of FIB 708 and
// the controller's identifier byte per bus, checked against their layouts.
#include "Command/Vyn/os/HostIo.h"
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/fw/DiskImages.h"
#include "platform/hostsim/state/Controller.h"
#include "RawFibTest.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;

class DiscoveryStandInsTest : public vyntest::RawFibTest {
protected:
    // All a container's disk gives to reads of `chunk` bytes, up to `limit`.
    static std::string readDisk(const std::string& node, size_t chunk, size_t limit)
    {
        const int fd = hostIo().open(node.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0) << node;
        std::string bytes;
        std::vector<char> buf(chunk);
        ssize_t n;
        while (bytes.size() < limit && (n = hostIo().read(fd, buf.data(), buf.size())) > 0)
            bytes.append(buf.data(), static_cast<size_t>(n));
        hostIo().close(fd);
        return bytes;
    }
};

TEST_F(DiscoveryStandInsTest, ContainerDisksReadTheirImagesThenZerosUpToTheirSize)
{
    // Relative names of a description given as text lie under the root.
    vyntest::writeFile(hostFile("/first.img"), "MBR-bytes");
    vyntest::writeFile(hostFile("/second.img"), std::string(3000, 'x'));
    startSimulator("adapters = 1\nhostsim.persist = 0\n"
                   "[adapter0]\n"
                   "drive0 = 0:0 sas 1G\ndrive1 = 0:1 sas 1G\ndrive2 = 0:2 sas 1G\n"
                   "ld0 = volume 0:0 size=64K image=first.img\n"
                   "ld1 = volume 0:1 size=64K\n"
                   "ld2 = volume 0:2 size=64K\n"
                   "[adapter0.ld1]\nimage = second.img\n");
    ASSERT_TRUE(sim().ok()) << sim().message();
    const std::string first = readDisk("/dev/" + sim().diskOf(0, 0), 700, 1 << 20);
    // Reads go on from where the last one ended, with zeros after the image,
    // and stop at the container's end.
    ASSERT_EQ(first.size(), 65536u);
    EXPECT_EQ(first.substr(0, 9), "MBR-bytes");
    EXPECT_EQ(first.find_first_not_of('\0', 9), std::string::npos);
    const std::string second = readDisk("/dev/" + sim().diskOf(0, 1), 17408, 17408);
    ASSERT_EQ(second.size(), 17408u);
    EXPECT_EQ(second.find_first_not_of('x'), 3000u);
    EXPECT_EQ(second.find_first_not_of('\0', 3000), std::string::npos);
    const std::string plain = readDisk("/dev/" + sim().diskOf(0, 2), 17408, 17408);
    EXPECT_EQ(plain.size(), 17408u);
    EXPECT_EQ(plain.find_first_not_of('\0'), std::string::npos);
    // Another host's disk and the adapter node read nothing.
    EXPECT_EQ(readDisk("/dev/sda", 512, 512), "");
}

// An image that is no plain file (here a pipe nobody writes to, which would
// block the read) reads as zeros.
TEST_F(DiscoveryStandInsTest, AnImageThatIsNoPlainFileReadsZeros)
{
    const std::string pipe = hostFile("/tmp/image.fifo");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::vector<uint8_t> buffer(512, 0xA5);
    EXPECT_EQ(readContainerDisk(pipe, 4096, 0, buffer.data(), buffer.size()), 512u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 512);
}

TEST_F(DiscoveryStandInsTest, ImagesLieBesideTheDescriptionFileAndSurviveTheStateFile)
{
    EXPECT_EQ(imageFile("disk.img", "default", "/root"), "/root/disk.img");
    EXPECT_EQ(imageFile("/abs/disk.img", "default", "/root"), "/abs/disk.img");
    vyntest::writeFile(hostFile("/one.conf"), "x");
    EXPECT_EQ(imageFile("disk.img", hostFile("/one.conf"), "/root"), hostFile("/disk.img"));

    Description desc;
    std::string error;
    ASSERT_TRUE(desc.parse("adapters = 1\n[adapter0]\ndrive0 = 0:0 sas 1G\nld0 = volume 0:0\n"
                           "[adapter0.ld0]\nimage = disk.img\n",
                           "test", error))
        << error;
    const ControllerState state = ControllerState::fromDescription(desc, 0);
    EXPECT_EQ(containerImage(state, 0), "disk.img");
    Description again;
    ASSERT_TRUE(again.parse(state.toText(1), "state", error)) << error;
    EXPECT_EQ(containerImage(ControllerState::fromDescription(again, 0), 0), "disk.img");
    // An image key of a container the description does not have is no container.
    ASSERT_TRUE(desc.parse("adapters = 1\n[adapter0.ld4]\nimage = disk.img\n", "test", error)) << error;
    EXPECT_EQ(ControllerState::fromDescription(desc, 0).objects.count("ld4"), 0u);
}

TEST_F(DiscoveryStandInsTest, TheConnectorMapHoldsTheDescribedEntries)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\n"
                               "[adapter0]\n"
                               "lane0 = 1:65 lane=2 phy=3 sas_address=0x5000C50011223344\n"
                               "lane1 = 2:0x123456 phy=7\n"
                               "connector0 = 4 8 AB-CONN-LONG\n");
    ASSERT_TRUE(sim().ok()) << sim().message();
    // A FIB of its own command with an empty payload.
    std::vector<uint8_t> request708 = request(0, 0);
    putLe16(request708.data() + 4, 708);
    const std::vector<uint8_t> f = send(fd, request708);
    hostIo().close(fd);
    const uint8_t* p = f.data() + kPayload;
    EXPECT_EQ(getLe32(p), 1u);
    EXPECT_EQ(p[4], 1);  // connectors
    EXPECT_EQ(p[5], 2);  // lanes
    // Lanes of 12 bytes from byte 8.
    EXPECT_EQ(getLe32(p + 8), 0x01000041u);
    EXPECT_EQ(p[8 + 5], 2);
    EXPECT_EQ(p[8 + 6], 3);
    EXPECT_EQ(std::vector<uint8_t>(p + 16, p + 20), (std::vector<uint8_t>{0x50, 0x00, 0xC5, 0x00}));
    EXPECT_EQ(getLe32(p + 20), 0x02123456u);
    EXPECT_EQ(p[20 + 6], 7);
    // Then the connectors, 16 bytes each: the name cut to 8 characters.
    const uint8_t* c = p + 8 + 2 * 12;
    EXPECT_EQ(c[0], 4);
    EXPECT_EQ(c[1], 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c + 4), 8), "AB-CONN-");
    EXPECT_EQ(std::vector<uint8_t>(c + 12, p + 480), std::vector<uint8_t>(p + 480 - (c + 12), 0));
}

TEST_F(DiscoveryStandInsTest, ConnectorMapEntriesBeyondTheReplyAreLeftOut)
{
    std::string description = "adapters = 1\nhostsim.persist = 0\n[adapter0]\nconnector0 = 0 8 A\n";
    for (int i = 0; i < 40; ++i)
        description += "lane" + std::to_string(i) + " = 0:" + std::to_string(i) + "\n";
    const int fd = openAdapter(description);
    std::vector<uint8_t> request708 = request(0, 0);
    putLe16(request708.data() + 4, 708);
    const std::vector<uint8_t> f = send(fd, request708);
    hostIo().close(fd);
    // 480 bytes of payload hold the header, 38 lanes and the trailer; the
    // connector has no room left.
    const uint8_t* p = f.data() + kPayload;
    EXPECT_EQ(p[5], 38);
    EXPECT_EQ(p[4], 0);
    EXPECT_EQ(getLe32(p + 8 + 37 * 12), 37u);
}

TEST_F(DiscoveryStandInsTest, TheBusRecordCarriesTheControllersIdentifierPerBus)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\n[adapter0]\nbus0 = sas 16 id=7\nbus1 = sata 8\n"
                               "bus2 = sas 4\n[adapter0.bus2]\nid = 0x0F\n");
    ASSERT_TRUE(sim().ok()) << sim().message();
    // SCSI-class request: service words 3 and 9, sub-command 12 in word 4.
    std::vector<uint8_t> busInfo = request(3, 9);
    putLe32(busInfo.data() + kPayload + 16, 12);
    const std::vector<uint8_t> f = send(fd, busInfo);
    hostIo().close(fd);
    const uint8_t* r = f.data() + kPayload + 20;
    EXPECT_EQ(r[12], 7);
    EXPECT_EQ(r[13], 1);  // the bus index when not given
    EXPECT_EQ(r[14], 15);
}

}  // namespace
