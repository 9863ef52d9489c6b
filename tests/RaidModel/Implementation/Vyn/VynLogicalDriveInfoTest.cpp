// The family's copy of a container record: its size and reuse, the values
// the update takes from it, the partition probe of the container's disk and
// the mount-point search.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Info = VynLogicalDriveInfo;
using vyntest::TreePtr;

class VynLogicalDriveInfoTest : public vyntest::FamilyTest {
protected:
    // A record of container `number` whose disk is the file `disk` under
    // the test's root.
    static std::unique_ptr<FSA_CONTAINER_INFO_EXTND> record(uint32_t number, const char* disk = "",
                                                            uint32_t elements = 0)
    {
        std::unique_ptr<FSA_CONTAINER_INFO_EXTND> r(new FSA_CONTAINER_INFO_EXTND());
        faPutLe32(r->bytes, number);
        faPutLe32(r->bytes + 260, elements);
        std::strncpy(reinterpret_cast<char*>(r->bytes + 420), disk, 50);
        return r;
    }
    void writeDisk(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        vyntest::writeFile(hostFile(name), std::string(bytes.begin(), bytes.end()));
    }
};

// A disk image of 17408 bytes with the MBR signature and the given first
// partition type.
std::vector<uint8_t> mbr(uint8_t firstType, size_t size = Info::PARTITION_PROBE_SIZE)
{
    std::vector<uint8_t> d(size, 0);
    d[510] = 0x55;
    d[511] = 0xAA;
    d[450] = firstType;
    return d;
}

// A GPT behind a protective MBR: `count` entries of `entrySize` bytes, the
// first with the given type GUID bytes.
std::vector<uint8_t> gpt(uint32_t count, uint32_t entrySize, std::vector<uint8_t> firstType,
                         size_t size = Info::PARTITION_PROBE_SIZE)
{
    std::vector<uint8_t> d = mbr(0xEE, size);
    faPutLe32(&d[512], 0x20494645);
    faPutLe32(&d[516], 0x54524150);
    faPutLe32(&d[520], 0x00010000);
    faPutLe32(&d[512 + 80], count);
    faPutLe32(&d[512 + 84], entrySize);
    if (size >= 1024 + firstType.size())
        std::copy(firstType.begin(), firstType.end(), d.begin() + 1024);
    return d;
}

TEST_F(VynLogicalDriveInfoTest, TheCopyHoldsTheElementsAndIsReusedForFewer)
{
    std::unique_ptr<FSA_CONTAINER_INFO_EXTND> three = record(1, "", 3);
    faPutLe32(three->bytes + 552 + 2 * 28, 77);
    three->bytes[552 + 28 + 4] = 2;
    three->bytes[552 + 28 + 5] = 9;
    faPutLe64(three->bytes + 552 + 28 + 12, 1024);
    faPutLe64(three->bytes + 552 + 28 + 20, 4096);
    Info info(three.get(), nullptr, nullptr);
    EXPECT_EQ(info.getCopySize(), 580u + 3 * 28);
    const FSA_CONTAINER_INFO_EXTND* array = info.getContainerInfo();
    EXPECT_TRUE(info.hasComponent(77));
    EXPECT_FALSE(info.hasComponent(78));
    EXPECT_EQ(info.getScsiBusNum(1), 2u);
    EXPECT_EQ(info.getScsiID(1), 9u);
    EXPECT_EQ(info.getStartBlock(1), 2u);
    EXPECT_EQ(info.getNumBlocks(1), 8u);
    EXPECT_EQ(info.getFsaPartition(3), nullptr);

    std::unique_ptr<FSA_CONTAINER_INFO_EXTND> one = record(2, "", 1);
    info.setFsaInfo(one.get(), nullptr, nullptr);
    EXPECT_EQ(info.getContainerInfo(), array);
    EXPECT_EQ(info.getCopySize(), 580u + 28);
    EXPECT_EQ(info.getContainerNumber(), 2u);
    EXPECT_FALSE(info.hasComponent(77));

    std::unique_ptr<FSA_CONTAINER_INFO_EXTND> five = record(3, "", 5);
    info.setFsaInfo(five.get(), nullptr, nullptr);
    EXPECT_EQ(info.getCopySize(), 580u + 5 * 28);
    EXPECT_EQ(info.getContainerNumber(), 3u);

    // A null record keeps the copy; the parameter records are taken alone.
    const uint8_t params[16] = {1, 0, 0, 0, 2};
    info.setFsaInfo(nullptr, reinterpret_cast<const tag_FSA_CONTAINER_PARAMS*>(params), nullptr);
    EXPECT_EQ(info.getContainerNumber(), 3u);
    EXPECT_EQ(faGetLe32(info.getCacheParams() + 4), 2u);
}

TEST_F(VynLogicalDriveInfoTest, AnElementCountBeyondTheRecordIsCut)
{
    // Exactly the largest record on the heap: a copy past its end shows.
    std::unique_ptr<FSA_CONTAINER_INFO_EXTND> huge = record(4, "", 200);
    std::memset(huge->bytes + 4160, 0xAB, 4);
    Info info(huge.get(), nullptr, nullptr);
    EXPECT_EQ(info.getNumElements(), 128u);
    EXPECT_EQ(info.getCopySize(), 4164u);
    EXPECT_EQ(info.getContainerInfo()->bytes[4163], 0xAB);
}

TEST_F(VynLogicalDriveInfoTest, DelaysGivePrioritiesAndChunksGiveStripeSizes)
{
    const struct {
        uint32_t delay;
        EnumPriorityLevel priority;
    } delays[] = {{0, PRIORITY_HIGH}, {29, PRIORITY_HIGH}, {30, PRIORITY_MEDIUM}, {79, PRIORITY_MEDIUM},
                  {80, PRIORITY_LOW}, {100, PRIORITY_LOW}};
    for (const auto& d : delays) {
        std::unique_ptr<FSA_CONTAINER_INFO_EXTND> r = record(0);
        faPutLe32(r->bytes + 76, d.delay);
        EXPECT_EQ(Info(r.get(), nullptr, nullptr).GetTaskPriority(), d.priority) << d.delay;
    }
    const struct {
        uint32_t chunk;
        int stripe;
    } stripes[] = {{0, 1}, {1024, 1}, {2048, 2}, {3072, 1}, {65536, 64}, {1048576, 1024}, {2097152, 1}};
    for (const auto& s : stripes)
        EXPECT_EQ(Info::stripeSizeOf(s.chunk), s.stripe) << s.chunk;
}

TEST_F(VynLogicalDriveInfoTest, PartitionTablesOfTheContainersDisk)
{
    const std::vector<uint8_t> linux = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                        0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};
    const std::vector<uint8_t> reserved = {0x16, 0xE3, 0xC9, 0xE3, 0x5C, 0x0B, 0xB8, 0x4D,
                                           0x81, 0x7D, 0xF9, 0x2D, 0xF0, 0x02, 0x15, 0xAE};
    std::vector<uint8_t> badRevision = gpt(1, 128, linux);
    badRevision[522] = 0;
    const struct {
        const char* name;
        std::vector<uint8_t> disk;
        int state;
    } cases[] = {
        {"MBR with a Linux partition", mbr(0x83), 1},
        {"MBR without partitions", mbr(0), 0},
        {"no signature", std::vector<uint8_t>(Info::PARTITION_PROBE_SIZE, 0), 0},
        {"GPT with one real entry", gpt(128, 128, linux), 1},
        {"GPT entries all zero", gpt(128, 128, {}), 0},
        {"GPT of the reserved type only", gpt(1, 128, reserved), 0},
        {"GPT with a wrong revision", badRevision, 2},
        {"GPT entries beyond the probe", gpt(129, 128, linux), 2},
        {"GPT whose count times size wraps 32 bits", gpt(0x02000000, 0x80, linux), 2},
        {"GPT entries of 8 bytes", gpt(4, 8, linux), 2},
        // A short read: what lies beyond the file is zero, never stale.
        {"600-byte file", gpt(1, 128, {}, 600), 0},
        {"600-byte MBR", mbr(0x07, 600), 1},
    };
    for (const auto& c : cases) {
        writeDisk("/disk", c.disk);
        std::unique_ptr<FSA_CONTAINER_INFO_EXTND> r = record(5, "/disk");
        EXPECT_EQ(Info(r.get(), nullptr, nullptr).partitionState(false), c.state) << c.name;
    }
    EXPECT_EQ(Info::probePartitions("/no-such-disk"), 0);
    EXPECT_EQ(Info::probePartitions(""), 0);
}

TEST_F(VynLogicalDriveInfoTest, TheFirmwaresFlagsAndBusyDisksAreNotProbed)
{
    writeDisk("/disk", mbr(0x83));
    const struct {
        const char* name;
        uint32_t number;
        uint32_t flags;
        uint32_t usage;
        bool pmActive;
        int state;
    } cases[] = {
        {"valid flags: partitions", 5, 0x600, 0, false, 1},
        {"valid flags: undetermined", 5, 0xA00, 0, false, 2},
        {"valid flags: none", 5, 0x200, 0, false, 0},
        {"flags not valid: probed", 5, 0x400, 0, false, 1},
        {"usage 3", 5, 0, 3, false, 2},
        {"power management active", 5, 0, 0, true, 2},
        {"container 63 is probed", 63, 0, 0, false, 1},
        {"container 64 is not", 64, 0, 0, false, 2},
    };
    for (const auto& c : cases) {
        std::unique_ptr<FSA_CONTAINER_INFO_EXTND> r = record(c.number, "/disk");
        faPutLe32(r->bytes + 480, c.flags);
        faPutLe32(r->bytes + 40, c.usage);
        EXPECT_EQ(Info(r.get(), nullptr, nullptr).partitionState(c.pmActive), c.state) << c.name;
    }
}

TEST_F(VynLogicalDriveInfoTest, MountPointsComeFromTheMountTable)
{
    EXPECT_EQ(Info::mountPointOf("/dev/sdb"), "unknown");
    std::string table;
    for (int i = 0; i < 200; ++i)
        table += "/dev/other" + std::to_string(i) + " /mnt/o" + std::to_string(i) + " ext4 rw 0 0\n";
    table += "/dev/sdb1 /data ext4 rw 0 0\n";
    table += "/dev/dsk/c0t1d0s0 /export ufs rw 0 0\n";
    const std::string longPoint = "/" + std::string(299, 'm');
    table += "/dev/sdc " + longPoint + " xfs rw 0 0\n";
    vyntest::writeFile(hostFile("/etc/mtab"), table);
    EXPECT_EQ(Info::mountPointOf(""), "empty");
    EXPECT_EQ(Info::mountPointOf("/dev/sdb"), "/data");
    // The raw-device name finds its block device.
    EXPECT_EQ(Info::mountPointOf("/dev/rdsk/c0t1d0s0"), "/export");
    EXPECT_EQ(Info::mountPointOf("/dev/sdz"), "none");
    const std::string cut = Info::mountPointOf("/dev/sdc");
    EXPECT_EQ(cut.size(), Info::MOUNT_POINT_SIZE - 1);
    EXPECT_EQ(cut, longPoint.substr(0, Info::MOUNT_POINT_SIZE - 1));
}

TEST_F(VynLogicalDriveInfoTest, WriteCacheModeFollowsTheFlagsAndTheBattery)
{
    const struct {
        uint32_t flags;
        int battery;
        int mode;
    } rows[] = {
        {0x0, 0, 1}, {0x4, 0, 1}, {0x1, 0, 2}, {0x1, 5, 2}, {0x1, 7, 2}, {0x1, 1, 1}, {0x1, 2, 1},
        {0x1, 3, 1}, {0x1, 4, 1}, {0x1, 6, 1}, {0x9, 0, 1}, {0x2, 0, 2}, {0x2, 1, 2}, {0x3, 0, 2},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Info::writeCacheModeOf(r.flags, true, r.battery), r.mode) << r.flags << "/" << r.battery;
    EXPECT_EQ(Info::writeCacheModeOf(0x1, false, 1), 0);
}

// The probe through the simulated controller: the firmware interface's record
// names the container's disk, whose reads give the image of the description,
// zeros beyond it.
TEST_F(VynLogicalDriveInfoTest, PartitionTablesOfSimulatedContainerDisks)
{
    // The type GUID of a basic data partition, as its bytes lie on disk.
    const std::vector<uint8_t> basicData = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                            0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
    std::vector<uint8_t> unsigned83 = mbr(0x83);
    unsigned83[511] = 0;
    const struct {
        const char* name;
        std::vector<uint8_t> image;  // empty: no image
        int state;
    } cases[] = {
        {"MBR with a Linux partition", mbr(0x83), 1},
        {"a typed MBR without its signature", unsigned83, 0},
        {"GPT with one data partition", gpt(4, 128, basicData), 1},
        {"a protective MBR alone: the GPT header reads as zeros", mbr(0xEE, 512), 2},
        {"no image", {}, 0},
    };
    // A controller that reports no partition bits of its own (option word 2
    // without 0x400) leaves the question to the host's probe.
    std::string description = "[adapter0]\noption_word2 = 0x0EB793DC\n";
    const size_t n = sizeof cases / sizeof cases[0];
    for (size_t k = 0; k < n; ++k) {
        const std::string drive = std::to_string(k);
        description += "drive" + drive + " = 0:" + drive + " sas 1G\n";
        description += "ld" + drive + " = volume 0:" + drive + " size=1M";
        if (!cases[k].image.empty()) {
            writeDisk("/disk" + drive, cases[k].image);
            description += " image=disk" + drive;
        }
        description += "\n";
    }
    startController(description);
    TreePtr<VynAdapter> adapter = openController();
    ASSERT_NE(adapter->getAdapterHandle(), nullptr);
    for (size_t k = 0; k < n; ++k) {
        std::unique_ptr<FSA_CONTAINER_INFO_EXTND> r(new FSA_CONTAINER_INFO_EXTND());
        const tag_FSA_CONTAINER key = {static_cast<uint32_t>(k), 0, 0};
        ASSERT_EQ(FsaGetContainerInfo2(adapter->getAdapterHandle(), 0, &key, r.get(), sizeof *r), FSA_STS_SUCCESS)
            << cases[k].name;
        const Info info(r.get(), nullptr, nullptr);
        EXPECT_EQ(info.getDeviceName(), "/dev/" + sim().diskOf(0, static_cast<unsigned>(k))) << cases[k].name;
        EXPECT_EQ(info.partitionState(false), cases[k].state) << cases[k].name;
    }
}

}  // namespace
