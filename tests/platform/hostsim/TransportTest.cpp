// The simulated driver's transport requests, read and written with the
// simulator's own offsets: FIB 704 and 907, the raw SCSI request, the SCSI
// generic and disk nodes, the event channels and the host view.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr const char kDescription[] =
    "adapters = 1\n"
    "[adapter0]\n"
    "paused = 1\n"
    "drive0 = 0:0 sas 146G vendor=ACME\n"
    "drive1 = 0:3:1 ssd 120G\n"
    "encl0 = ses2 0:8\n"
    "ld0 = raid1 0:0,0:3:1 size=1G\n"
    "ld5 = raid1 0:0,0:3:1 size=1G host=none\n";

class TransportTest : public vyntest::SimulatorTest {
protected:
    int openAdapter()
    {
        startSimulator(kDescription);
        HostIo& io = hostIo();
        io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0));
        return io.open("/dev/ulb0", O_RDWR);
    }

    static void header(uint8_t* fib, uint16_t command, uint16_t size, uint16_t sender)
    {
        std::memset(fib, 0, sender);
        putLe32(fib, 0x00100001);
        putLe16(fib + 4, command);
        fib[6] = 1;
        putLe16(fib + 8, size);
        putLe16(fib + 10, sender);
    }

    // One chunk of a large transfer, its CRC right unless told otherwise.
    static void chunk(uint8_t* fib, uint16_t type, uint16_t index, uint32_t total, uint32_t handle, bool goodCrc = true)
    {
        header(fib, 907, 2016, 2048);
        uint8_t* p = fib + 32;
        putLe32(p, 9);
        putLe16(p + 4, type);
        putLe16(p + 6, index);
        putLe32(p + 8, total);
        putLe32(p + 12, handle);
        const uint32_t length = std::min<uint32_t>(1996, total - index * 1996u);
        for (uint32_t i = 0; i < length; ++i)
            p[20 + i] = static_cast<uint8_t>(i + index);
        putLe32(p + 16, chunkCrc(p + 20, length) ^ (goodCrc ? 0 : 1));
    }
};

TEST_F(TransportTest, PausedQueryAndLargeFibSizes)
{
    const int fd = openAdapter();
    ASSERT_GE(fd, 0);
    uint8_t fib[2048];
    header(fib, 704, 4, 512);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42008, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 1u);
    // Each request takes its own size only.
    header(fib, 704, 4, 2048);
    EXPECT_EQ(hostIo().ioctl(fd, 0x42008, fib), -1);
    EXPECT_EQ(errno, EINVAL);
    header(fib, 704, 4, 512);
    EXPECT_EQ(hostIo().ioctl(fd, 0x42168, fib), -1);
    EXPECT_EQ(errno, EINVAL);
    header(fib, 704, 4, 2048);
    EXPECT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    hostIo().close(fd);
}

TEST_F(TransportTest, LargeTransferChecksEachChunk)
{
    const int fd = openAdapter();
    ASSERT_GE(fd, 0);
    uint8_t fib[2048];
    chunk(fib, 1, 0, 3000, 0);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 0u);
    const uint32_t handle = getLe32(fib + 36);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(fib[32 + 20 + 5], 5);  // the data are echoed

    chunk(fib, 2, 1, 3000, handle + 1);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 5u);
    chunk(fib, 2, 1, 3000, handle, false);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 5u);
    chunk(fib, 2, 1, 3000, handle);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 6u);
    // The finished transfer is forgotten.
    chunk(fib, 2, 1, 3000, handle);
    ASSERT_EQ(hostIo().ioctl(fd, 0x42168, fib), 0);
    EXPECT_EQ(getLe32(fib + 32), 5u);
    const std::vector<std::string> lines = sim().requestLines();
    EXPECT_EQ(lines[1], "ulb0 0x42168 cmd=907 xfer=0x00100001 size=2016 sender=2048 rejected=handle");
    EXPECT_EQ(lines[2], "ulb0 0x42168 cmd=907 xfer=0x00100001 size=2016 sender=2048 rejected=crc");
    hostIo().close(fd);
}

TEST_F(TransportTest, RawRequestsAnswerFromTheCdbEngine)
{
    const int fd = openAdapter();
    ASSERT_GE(fd, 0);
    uint8_t block[68 + 52] = {};
    uint8_t data[96] = {};
    putLe32(block + 4, 0);   // bus
    putLe32(block + 8, 0);   // target
    putLe32(block + 20, 0x40);
    putLe32(block + 24, 68);
    putLe32(block + 32, 6);
    block[36] = 0x12;
    block[40] = 96;
    putLe32(block + 52, 1);
    const uint64_t address = reinterpret_cast<uintptr_t>(data);
    putLe32(block + 56, static_cast<uint32_t>(address));
    putLe32(block + 60, static_cast<uint32_t>(address >> 32));
    putLe32(block + 64, sizeof data);
    ASSERT_EQ(hostIo().ioctl(fd, 0x4204C, block), 0);
    const uint8_t* reply = block + 68;
    EXPECT_EQ(getLe32(reply), 0u);
    EXPECT_EQ(getLe32(reply + 4), 1u);
    EXPECT_EQ(getLe32(reply + 8), 0u);
    EXPECT_EQ(getLe32(reply + 12), 96u);
    EXPECT_EQ(std::memcmp(data + 8, "ACME    ", 8), 0);

    // Nobody at that address.
    putLe32(block + 8, 9);
    ASSERT_EQ(hostIo().ioctl(fd, 0x4204C, block), 0);
    EXPECT_EQ(getLe32(reply), 1u);
    // An unknown command, and a count word the driver does not know.
    uint8_t plain[56 + 52] = {};
    putLe32(plain + 24, 56);
    putLe32(plain + 32, 6);
    plain[36] = 0xC1;
    ASSERT_EQ(hostIo().ioctl(fd, 0x4204C, plain), 0);
    EXPECT_EQ(getLe32(plain + 56 + 8), 2u);
    EXPECT_EQ(getLe32(plain + 56 + 16), 18u);
    EXPECT_EQ(plain[56 + 20 + 2], 5);
    EXPECT_EQ(plain[56 + 20 + 12], 0x20);
    putLe32(plain + 24, 60);
    EXPECT_EQ(hostIo().ioctl(fd, 0x4204C, plain), -1);
    EXPECT_EQ(errno, EINVAL);
    hostIo().close(fd);
}

TEST_F(TransportTest, GenericNodesAndDisks)
{
    startSimulator(kDescription);
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_device/1:1:3:1/device/generic/dev")), "21:1\n");
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_device/1:1:8:0/device/generic/dev")), "21:2\n");
    HostIo& io = hostIo();
    struct Case {
        const char* node;
        int channel, id, lun, type;
    };
    for (const Case& c : {Case{"/dev/sg0", 1, 0, 0, 0}, Case{"/dev/sg1", 1, 3, 1, 0}, Case{"/dev/sg2", 1, 8, 0, 13}}) {
        SCOPED_TRACE(c.node);
        const int fd = io.open(c.node, O_RDONLY);
        ASSERT_GE(fd, 0);
        struct sg_scsi_id id;
        std::memset(&id, 0xFF, sizeof id);
        ASSERT_EQ(io.ioctl(fd, SG_GET_SCSI_ID, &id), 0);
        EXPECT_EQ(id.host_no, 1);
        EXPECT_EQ(id.channel, c.channel);
        EXPECT_EQ(id.scsi_id, c.id);
        EXPECT_EQ(id.lun, c.lun);
        EXPECT_EQ(id.scsi_type, c.type);
        sg_io_hdr_t h;
        std::memset(&h, 0, sizeof h);
        h.interface_id = 'Q';
        EXPECT_EQ(io.ioctl(fd, SG_IO, &h), -1);
        EXPECT_EQ(errno, EINVAL);
        io.close(fd);
    }
    // The host's own disk, then the exposed container.
    EXPECT_EQ(sim().diskOf(0, 0), "sdb");
    EXPECT_EQ(sim().diskOf(0, 5), "");
    const int sdb = io.open("/dev/sdb", O_RDONLY);
    ASSERT_GE(sdb, 0);
    uint8_t idlun[8] = {};
    ASSERT_EQ(io.ioctl(sdb, 0x5382, idlun), 0);
    EXPECT_EQ(getLe32(idlun), 1u << 24);
    EXPECT_EQ(io.ioctl(sdb, 0x125F, nullptr), 0);
    EXPECT_EQ(sim().rereadCount(), 1u);
    io.close(sdb);
    EXPECT_TRUE(vyntest::fileExists(hostFile("/sys/class/scsi_host/host1/device/1:0:0:0/block/sdb")));
}

TEST_F(TransportTest, CdbEngineAnswers)
{
    startSimulator(kDescription);
    HostIo& io = hostIo();
    const int fd = io.open("/dev/sg0", O_RDWR);
    ASSERT_GE(fd, 0);
    struct Case {
        std::vector<uint8_t> cdb;
        uint8_t status;
        size_t transferred;
        uint8_t senseKey, asc;
    };
    const Case cases[] = {
        {{0x00, 0, 0, 0, 0, 0}, 0, 0, 0, 0},                              // TEST UNIT READY
        {{0x03, 0, 0, 0, 18, 0}, 0, 18, 0, 0},                            // REQUEST SENSE
        {{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 8, 0, 0},                  // READ CAPACITY (10)
        {{0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, 0, 32, 0, 0},  // READ CAPACITY (16)
        {{0x12, 1, 0x80, 0, 64, 0}, 0, 11, 0, 0},                         // serial number page "SIM1000"
        {{0x12, 1, 0x42, 0, 64, 0}, 2, 0, 5, 0x24},                       // no such page
        {{0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0, 64, 0, 0},                 // READ (10): as much as fits
        {{0x1A, 0, 0x3F, 0, 64, 0}, 2, 0, 5, 0x20},                       // not in this engine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.cdb[0]));
        uint8_t data[64] = {};
        uint8_t sense[32] = {};
        std::vector<uint8_t> cdb = c.cdb;
        sg_io_hdr_t h;
        std::memset(&h, 0, sizeof h);
        h.interface_id = 'S';
        h.dxfer_direction = SG_DXFER_FROM_DEV;
        h.cmd_len = static_cast<unsigned char>(cdb.size());
        h.cmdp = cdb.data();
        h.dxferp = data;
        h.dxfer_len = sizeof data;
        h.sbp = sense;
        h.mx_sb_len = sizeof sense;
        ASSERT_EQ(io.ioctl(fd, SG_IO, &h), 0);
        EXPECT_EQ(h.status, c.status);
        EXPECT_EQ(h.masked_status, c.status >> 1);
        EXPECT_EQ(static_cast<size_t>(h.dxfer_len - h.resid), c.transferred);
        EXPECT_EQ(h.sb_len_wr, c.status == 0 ? 0 : 18);
        EXPECT_EQ(sense[2], c.senseKey);
        EXPECT_EQ(sense[12], c.asc);
        if (cdb[0] == 0x25) {
            // 146 GiB in 512-byte blocks, the last one's address.
            EXPECT_EQ(static_cast<uint32_t>(data[0] << 24 | data[1] << 16 | data[2] << 8 | data[3]),
                      static_cast<uint32_t>((146ull << 30) / 512 - 1));
            EXPECT_EQ(data[6], 2);  // 512
        }
    }
    io.close(fd);
}

TEST_F(TransportTest, QueryDiskAndScanLines)
{
    const int fd = openAdapter();
    ASSERT_GE(fd, 0);
    uint8_t q[48];
    std::memset(q, 0xFF, sizeof q);
    putLe32(q, 0);
    ASSERT_EQ(hostIo().ioctl(fd, 0x173, q), 0);
    EXPECT_EQ(getLe32(q + 4), 0u);   // bus
    EXPECT_EQ(getLe32(q + 8), 0u);   // target
    EXPECT_EQ(getLe32(q + 12), 0u);  // lun
    EXPECT_EQ(getLe32(q + 16), 1u);  // valid
    EXPECT_EQ(getLe32(q + 20), 0u);
    EXPECT_EQ(getLe32(q + 24), 0u);
    EXPECT_EQ(getLe32(q + 28), 1u);  // instance
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(q + 32), 3), "sdb");
    EXPECT_EQ(getLe32(q + 44), 0u);
    putLe32(q, 5);
    ASSERT_EQ(hostIo().ioctl(fd, 0x173, q), 0);
    EXPECT_EQ(getLe32(q + 16), 0u);
    EXPECT_EQ(getLe32(q + 8), 5u);

    // A scan line brings container 5 to the host; a removal line takes it away.
    const int scan = hostIo().open("/sys/class/scsi_host/host1/scan", O_WRONLY);
    ASSERT_GE(scan, 0);
    ASSERT_EQ(hostIo().write(scan, "0 5 0\n", 6), 6);
    hostIo().close(scan);
    EXPECT_EQ(sim().diskOf(0, 5), "sdc");
    const int proc = hostIo().open("/proc/scsi/scsi", O_WRONLY);
    const char line[] = "scsi remove-single-device 1 0 5 0\n";
    ASSERT_EQ(hostIo().write(proc, line, sizeof line - 1), static_cast<ssize_t>(sizeof line - 1));
    hostIo().close(proc);
    EXPECT_EQ(sim().diskOf(0, 5), "");
    uint8_t del[8] = {};
    putLe32(del + 4, 0);
    ASSERT_EQ(hostIo().ioctl(fd, 0x163, del), 0);
    EXPECT_EQ(sim().diskOf(0, 0), "");
    putLe32(q, 0);
    ASSERT_EQ(hostIo().ioctl(fd, 0x173, q), 0);
    EXPECT_EQ(getLe32(q + 24), 1u);
    hostIo().close(fd);
}

TEST_F(TransportTest, ChannelsAndThePendingList)
{
    const int fd = openAdapter();
    ASSERT_GE(fd, 0);
    for (uint32_t code = 1; code <= 70; ++code)
        sim().raiseEvent(0, code);
    uint32_t ids[8];
    for (uint32_t& id : ids)
        ASSERT_EQ(hostIo().ioctl(fd, 0x420D0, &id), 0);
    uint32_t ninth = 0;
    EXPECT_EQ(hostIo().ioctl(fd, 0x420D0, &ninth), -1);
    EXPECT_EQ(errno, EMFILE);
    // The first channel took the pending list over: the newest 64.
    uint8_t fib[512];
    struct {
        uint32_t id;
        int32_t wait;
        uint8_t* fib;
    } fetch{ids[0], 0, fib};
    static_assert(sizeof fetch == 16, "native fetch record");
    int fetched = 0;
    uint32_t firstCode = 0;
    while (hostIo().ioctl(fd, 0x420D4, &fetch) == 0) {
        if (fetched++ == 0)
            firstCode = getLe32(fib + 32 + 8);
    }
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(fetched, 64);
    EXPECT_EQ(firstCode, 7u);
    fetch.id = ids[1];
    EXPECT_EQ(hostIo().ioctl(fd, 0x420D4, &fetch), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(hostIo().ioctlValue(fd, 0x420D8, ids[1]), 0);
    EXPECT_EQ(hostIo().ioctlValue(fd, 0x420D8, ids[1]), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(hostIo().ioctl(fd, 0x420D4, &fetch), -1);
    EXPECT_EQ(errno, EINVAL);
    hostIo().close(fd);
}

TEST_F(TransportTest, PendingFibsWaitInTheStateForAnyProcess)
{
    startSimulator("adapters = 1\n");
    sim().raiseEvent(0, 16, {3});
    // A second simulator over the same root stands for another process.
    Simulator other("adapters = 1\n");
    SimHostIo& io = other.io();
    ASSERT_EQ(io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
    const int fd = io.open("/dev/ulb0", O_RDWR);
    ASSERT_GE(fd, 0);
    uint32_t id = 0;
    ASSERT_EQ(io.ioctl(fd, 0x420D0, &id), 0);
    uint8_t fib[512] = {};
    struct {
        uint32_t id;
        int32_t wait;
        uint8_t* fib;
    } fetch{id, 0, fib};
    ASSERT_EQ(io.ioctl(fd, 0x420D4, &fetch), 0);
    EXPECT_EQ(getLe16(fib + 4), 700u);
    EXPECT_EQ(getLe32(fib + 32 + 8), 16u);
    EXPECT_EQ(getLe32(fib + 32 + 12), 3u);
    io.close(fd);
    // Taken over: nothing waits any more.
    EXPECT_TRUE(sim().controller(0).pendingAif.empty());
}

TEST_F(TransportTest, DescribedEventsWaitForTheFirstChannel)
{
    startSimulator("adapters = 1\n[adapter0.event0]\nnotify = 5\nwords = 1,2\n[adapter0.event1]\nnotify = 16\n");
    ASSERT_TRUE(sim().ok()) << sim().message();
    const std::vector<std::vector<uint8_t>>& pending = sim().controller(0).pendingAif;
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(getLe32(pending[0].data() + 32 + 8), 5u);
    EXPECT_EQ(getLe32(pending[0].data() + 32 + 16), 2u);
    EXPECT_EQ(getLe16(pending[0].data() + 8), 20u);
    EXPECT_EQ(getLe32(pending[1].data() + 32 + 8), 16u);
    // Written back as the FIBs themselves.
    const std::string state = vyntest::readFile(hostFile("/var/lib/hostsim/adapter0.state"));
    EXPECT_NE(state.find("pending1 = "), std::string::npos);
    EXPECT_EQ(state.find("event0"), std::string::npos);
}

TEST_F(TransportTest, FaultEffectsAreCheckedAndKeptWithTheState)
{
    startSimulator(
        "adapters = 1\n[adapter0.fault0]\non = cdb 0x12\nsense = 5/0x24/0\n[adapter0.fault1]\non = fib 907\n"
        "status = 5\ntimes = 0\n");
    const std::string state = vyntest::readFile(hostFile("/var/lib/hostsim/adapter0.state"));
    EXPECT_NE(state.find("fault0.on = cdb 0x12\n"), std::string::npos) << state;
    EXPECT_NE(state.find("fault0.sense = 5/0x24/0x0\n"), std::string::npos) << state;
    EXPECT_NE(state.find("fault1.status = 5\n"), std::string::npos) << state;
    struct Case {
        const char* on;
        const char* effect;
        bool ok;
    };
    const Case cases[] = {
        {"ioctl 0x42008", "status = 5", false}, {"open /dev/ulb0", "poke = 0:4=1", false},
        {"ioctl 0x173", "poke = 16:4=1", true},
        {"cdb 0x12", "sense = 16/0/0", false},  {"cdb 0x12", "poke = 4:3=1", false},
        {"fib 704", "truncate = 8", true},      {"aif 104", "poke = 4:2=0x10", true},
        {"fib 704", "colour = 1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sim().addFault(0, Fault{c.on, c.effect}), c.ok) << c.on << " / " << c.effect;
}

// The host names its disks as the kernel does, so that every container of a
// controller with more than 25 is a disk of its own: sdb to sdz, then sdaa.
TEST_F(TransportTest, HostDisksPastSdzAreNamedAsTheKernelNamesThem)
{
    startFixture("twenty-eight-volumes.conf");
    ASSERT_TRUE(sim().ok()) << sim().message();
    HostIo& io = hostIo();
    io.mknod("/dev/ulb0", S_IFCHR, makedev(250, 0));
    const int fd = io.open("/dev/ulb0", O_RDWR);
    ASSERT_GE(fd, 0);
    for (unsigned k = 0; k < 28; ++k) {
        SCOPED_TRACE(k);
        const std::string name = k < 25 ? std::string("sd") + static_cast<char>('b' + k)
                                        : std::string("sda") + static_cast<char>('a' + k - 25);
        EXPECT_EQ(sim().diskOf(0, k), name);
        struct stat st;
        ASSERT_EQ(io.stat(("/dev/" + name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISBLK(st.st_mode));
        EXPECT_EQ(minor(st.st_rdev), 16 * (k + 1));
        uint8_t q[48] = {};
        putLe32(q, k);
        ASSERT_EQ(io.ioctl(fd, 0x173, q), 0);
        EXPECT_EQ(getLe32(q + 16), 1u);  // valid
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(q + 32)), name);
        EXPECT_TRUE(vyntest::fileExists(hostFile("/sys/class/scsi_host/host1/device/1:0:" + std::to_string(k) +
                                                 ":0/block/" + name)));
    }
    // The disk opens as the container's.
    const int disk = io.open("/dev/sdac", O_RDONLY);
    ASSERT_GE(disk, 0);
    uint32_t idlun[2] = {};
    ASSERT_EQ(io.ioctl(disk, 0x5382, idlun), 0);
    EXPECT_EQ(idlun[0] & 0xFF, 27u);
    io.close(disk);

    // A container without a disk leaves the host nothing to remove: that is
    // no failure. Only numbers beyond the controller's containers are.
    uint8_t del[8] = {};
    putLe32(del + 4, 40);
    EXPECT_EQ(io.ioctl(fd, 0x163, del), 0);
    putLe32(del + 4, 27);
    EXPECT_EQ(io.ioctl(fd, 0x163, del), 0);
    EXPECT_EQ(sim().diskOf(0, 27), "");
    EXPECT_EQ(io.ioctl(fd, 0x163, del), 0);
    putLe32(del + 4, 64);
    errno = 0;
    EXPECT_EQ(io.ioctl(fd, 0x163, del), -1);
    EXPECT_EQ(errno, EINVAL);
    io.close(fd);
}

}  // namespace
