// Device records (CT 247, 248) and the enclosure-management service (class
// 12), checked against layouts written from the record tables.
#include "RawFibTest.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vyn::hostsim;

using vyntest::word;
using vyntest::setWord;
using vyntest::replyData;

uint64_t be64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[i];
    return v;
}

class DeviceRecordsTest : public vyntest::RawFibTest {
protected:
    void start(const std::string& description) { fd_ = openAdapter(description); }
    std::vector<uint8_t> send(std::vector<uint8_t> fib) { return RawFibTest::send(fd_, std::move(fib)); }
    std::vector<uint8_t> ct(uint32_t code, uint32_t param, uint32_t capacity)
    {
        std::vector<uint8_t> fib = request(2, code);
        setWord(fib, 2, param);
        setWord(fib, 7, capacity);
        return send(fib);
    }
    std::vector<uint8_t> enclosure(uint32_t command, uint32_t sub, uint32_t p0 = 0, uint32_t p1 = 0,
                                   uint32_t expected = 0)
    {
        std::vector<uint8_t> fib = request(12, command << 16 | sub);
        setWord(fib, 2, p0);
        setWord(fib, 3, p1);
        setWord(fib, 5, 0);
        setWord(fib, 7, expected);
        return send(fib);
    }

    int fd_ = -1;
};

TEST_F(DeviceRecordsTest, DriveRecordOfTheDefaultController)
{
    start("base = default\nhostsim.persist = 0\n");
    // The list: eight drives, then the enclosure device at 0:8.
    const std::vector<uint8_t> list = ct(247, 0, 4 + 4 * 512);
    ASSERT_EQ(word(list, 2), 218u);
    ASSERT_EQ(getLe32(replyData(list)), 9u);
    EXPECT_EQ(getLe32(replyData(list) + 4 + 4 * 6), 6u);
    EXPECT_EQ(getLe32(replyData(list) + 4 + 4 * 8), 8u);

    // Drive 6 (0:6 sata 500G) sits in slot 6 of the SES-2 enclosure.
    std::vector<uint8_t> fib = ct(248, 6, 440);
    ASSERT_EQ(word(fib, 2), 218u);
    const uint8_t* r = replyData(fib);
    EXPECT_EQ(getLe32(r + 0), 3u);  // validity
    EXPECT_EQ(getLe32(r + 8), 6u);
    EXPECT_EQ(getLe32(r + 12), 0u);
    EXPECT_EQ(getLe32(r + 16), 6u);
    EXPECT_EQ(getLe32(r + 24), 0u);
    EXPECT_EQ(getLe32(r + 28), 0u);
    EXPECT_EQ(r[37], 2);     // SATA attachment
    EXPECT_EQ(r[39], 0xFF);  // an SES-2 slot: ask the enclosure
    EXPECT_EQ(getLe32(r + 40), static_cast<uint32_t>(500ull << 21));
    EXPECT_EQ(getLe32(r + 64), 512u);
    EXPECT_EQ(r[68], 0x70);  // managed, initialised, NCQ
    EXPECT_EQ(r[69], 0x10);  // the ATA security feature set
    EXPECT_EQ(getLe32(r + 336), 0u);  // no task
    EXPECT_EQ(r[80], 0x20);  // a disk, kept by the controller (not a JBOD): qualifier 1
    EXPECT_EQ(r[82], 5);  // newer than 3 inside an SES-2 enclosure
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 88), 8), "VYNSIM  ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 96), 16), "SATA DISK       ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 116), 20), "SIM1006             ");
    // SMART: supported and enabled, MRIE 6.
    EXPECT_EQ(r[272], 1);
    EXPECT_EQ(r[273], 1);
    EXPECT_EQ(r[275], 6);
    // Phy 0 carries the drive's SAS address, the one at 288; a SATA drive has
    // no second port.
    EXPECT_EQ(r[176 + 1], 0);
    EXPECT_EQ(be64(r + 176 + 8), be64(r + 288));
    EXPECT_NE(be64(r + 288), 0u);
    EXPECT_EQ(r[176 + 24], 6);  // attached to the enclosure's phy of slot 6
    EXPECT_EQ(be64(r + 224 + 8), 0u);
    for (size_t b = 340; b < 352; ++b)
        EXPECT_EQ(r[b], 0) << b;
    for (size_t b = 360; b < 440; ++b)
        EXPECT_EQ(r[b], 0) << b;

    // A SAS drive's second port follows the first.
    fib = ct(248, 0, 440);
    r = replyData(fib);
    EXPECT_EQ(r[37], 3);
    EXPECT_EQ(r[69], 0);  // no ATA security on SAS
    EXPECT_EQ(be64(r + 224 + 8), be64(r + 176 + 8) + 1);
    EXPECT_EQ(r[224 + 1], 1);

    // The enclosure device: peripheral type 13, no slice, no SMART.
    fib = ct(248, 8, 440);
    ASSERT_EQ(word(fib, 2), 218u);
    r = replyData(fib);
    EXPECT_EQ(r[80], 13);
    EXPECT_EQ(r[82], 5);
    EXPECT_EQ(getLe32(r + 136), 0xFFFFFFFFu);
    EXPECT_EQ(r[272], 0);
    EXPECT_EQ(word(ct(248, 9, 440), 2), 219u);
}

// Word 336 is the drive's task flag: set while a drive job on it runs or is
// suspended, clear once it ended, by the simulated clock too; a container
// job on the container of the same number is not the drive's.
TEST_F(DeviceRecordsTest, TheTaskFlagFollowsTheDrivesJobs)
{
    start("hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\n"
          "drive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\n"
          "[adapter0.task1]\njob = 3\nobject = 0\ntotal = 600\n"
          "[adapter0.task2]\njob = 3\nobject = 1\nstatus = 101\ntotal = 600\n"
          "[adapter0.task3]\njob = 3\nobject = 2\nstatus = 1\ntotal = 600\n"
          "[adapter0.task4]\njob = 101\nobject = 3\ntotal = 600\n"
          "[adapter0.task5]\njob = 2\nobject = 4\ntotal = 600\nrate = 100\n");
    const auto flags = [this] {
        std::vector<uint32_t> out;
        for (uint32_t d = 0; d < 5; ++d)
            out.push_back(getLe32(replyData(ct(248, d, 440)) + 336));
        return out;
    };
    EXPECT_EQ(flags(), (std::vector<uint32_t>{1, 1, 0, 0, 1}));
    // Ten simulated seconds on, drive 4's zeroing has run its course though
    // no task request has looked at it.
    sim().setSleepScale(0);
    hostIo().sleepMs(10000);
    EXPECT_EQ(flags(), (std::vector<uint32_t>{1, 1, 0, 0, 0}));
}

// A drive's description may say whether it carries the ATA security
// feature set (byte 69 bit 4); SATA drives do unless told otherwise.
TEST_F(DeviceRecordsTest, AtaSecurityByKindOrDescription)
{
    start("hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sata 146G\ndrive1 = 0:1 sata 146G ata_security=0\n"
          "drive2 = 0:2 sas 146G ata_security=1\ndrive3 = 0:3 ssd 120G\ndrive4 = 0:4 sas 146G\n");
    const uint8_t expected[] = {0x10, 0, 0x10, 0x11, 0};
    for (uint32_t d = 0; d < 5; ++d)
        EXPECT_EQ(replyData(ct(248, d, 440))[69], expected[d]) << d;
}

TEST_F(DeviceRecordsTest, EnclosureProcessorsAndSlots)
{
    start("base = default\nhostsim.persist = 0\n");
    std::vector<uint8_t> fib = enclosure(1, 0);
    EXPECT_EQ(word(fib, 0), 0u);
    EXPECT_EQ(word(fib, 1), 1u << 16);
    EXPECT_EQ(getLe32(replyData(fib)), 1u);

    fib = enclosure(7, 0, 0);
    EXPECT_EQ(word(fib, 0), 0u);
    EXPECT_EQ(word(fib, 2), 0u);     // bus
    EXPECT_EQ(word(fib, 3), 8u);     // target
    EXPECT_EQ(word(fib, 4), 0u);     // LUN
    EXPECT_EQ(word(fib, 5), 0x50u);  // SES-2
    EXPECT_EQ(word(enclosure(7, 0, 1), 0), 16u);

    // Drive I of the default controller sits in slot I.
    for (uint32_t target : {0u, 5u, 7u}) {
        fib = enclosure(9, 0, target);
        EXPECT_EQ(word(fib, 0), 0u) << target;
        EXPECT_EQ(word(fib, 4), target);
        EXPECT_EQ(word(fib, 6), 0u);
    }
    EXPECT_EQ(word(enclosure(9, 0, 1u << 24), 0), 20u);  // no drive at 1:0

    // Unknown sub-commands of a known command, and unknown commands.
    EXPECT_EQ(word(enclosure(2, 0x102), 0), 19u);
    EXPECT_EQ(word(enclosure(60, 0), 0), 18u);
    // An SES-2 processor keeps no SAF-TE records.
    EXPECT_EQ(word(enclosure(2, 0x240, 0), 0), 22u);
}

TEST_F(DeviceRecordsTest, SafteRecords)
{
    start("adapters = 1\nhostsim.persist = 0\nadapter0.encl0 = safte 0:6 slots=20 fans=2 psus=1\n"
          "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G slot=none\n"
          "adapter0.drive2 = 0:2 sas 146G\n");
    std::vector<uint8_t> fib = enclosure(2, 0x240, 0);
    ASSERT_EQ(word(fib, 0), 0u);
    EXPECT_EQ(word(fib, 7), 132u);
    EXPECT_EQ(getLe32(replyData(fib) + 4), 2u);   // fans
    EXPECT_EQ(getLe32(replyData(fib) + 8), 1u);   // supplies
    EXPECT_EQ(getLe32(replyData(fib) + 12), 20u);
    EXPECT_EQ(replyData(fib)[32], 0);
    EXPECT_EQ(replyData(fib)[33], 6);
    EXPECT_EQ(replyData(fib)[34], 0);

    fib = enclosure(2, 0x280, 0);
    ASSERT_EQ(word(fib, 0), 0u);
    EXPECT_EQ(word(fib, 7), 332u);
    const uint8_t* slots = replyData(fib) + 108;
    EXPECT_EQ(slots[0 * 8 + 1], 0);
    EXPECT_EQ(slots[1 * 8 + 1], 0xFF);
    EXPECT_EQ(slots[2 * 8 + 1], 2);
    EXPECT_EQ(slots[19 * 8 + 0], 19);

    // The processor device: peripheral type 3; a drive in a SAF-TE slot has
    // the enclosure's NVSRAM index in byte 39 and version 3.
    const std::vector<uint8_t> list = ct(247, 0, 4 + 4 * 512);
    ASSERT_EQ(getLe32(replyData(list)), 4u);
    fib = ct(248, 6, 440);
    EXPECT_EQ(replyData(fib)[80], 3);
    fib = ct(248, 2, 440);
    EXPECT_EQ(replyData(fib)[39], 0);
    EXPECT_EQ(replyData(fib)[82], 3);
    EXPECT_EQ(replyData(ct(248, 1, 440))[39], 0xFF);
    EXPECT_EQ(word(enclosure(100, 0x2002, 0, 0, 64), 0), 22u);
}

TEST_F(DeviceRecordsTest, SesPagesAndTheirLongReplies)
{
    start("base = default\nhostsim.persist = 0\n");
    // Supported pages; the configuration page names its element types.
    std::vector<uint8_t> fib = enclosure(100, 0x2002, 0, 0x00, 64);
    ASSERT_EQ(word(fib, 0), 0u);
    EXPECT_EQ(word(fib, 7), 9u);
    EXPECT_EQ(std::vector<uint8_t>(replyData(fib) + 4, replyData(fib) + 9), (std::vector<uint8_t>{0, 1, 2, 7, 10}));
    fib = enclosure(100, 0x2002, 0, 0x01, 400);
    ASSERT_EQ(word(fib, 0), 0u);
    const uint8_t* page = replyData(fib);
    EXPECT_EQ(page[0], 1);
    EXPECT_EQ(page[8 + 2], 5);  // slots, supplies, fans, sensors, the enclosure
    EXPECT_EQ(page[48 + 0], 0x01);
    EXPECT_EQ(page[48 + 1], 8);
    EXPECT_EQ(page[2] << 8 | page[3], static_cast<int>(word(fib, 7)) - 4);
    EXPECT_EQ(word(enclosure(100, 0x2002, 0, 0x05, 64), 0), 20u);

    // Page 10 of eight slots is longer than a FIB: 201, total, handle.
    fib = enclosure(100, 0x2002, 0, 0x0A, 1968);
    ASSERT_EQ(word(fib, 0), 0u);
    ASSERT_EQ(word(fib, 2), 201u);
    const uint32_t total = word(fib, 3);
    EXPECT_EQ(total, 8u + 8 * 64);
    const uint32_t handle = word(fib, 5);
    EXPECT_GE(handle, 0x100u);
    std::vector<uint8_t> all;
    for (uint32_t i = 0; all.size() < total; ++i) {
        std::vector<uint8_t> next = request(2, 83);
        setWord(next, 5, handle);
        setWord(next, 6, i);
        next = send(next);
        ASSERT_EQ(word(next, 0), 0u);
        ASSERT_EQ(word(next, 1), 83u);
        const size_t n = std::min<size_t>(432, total - all.size());
        all.insert(all.end(), replyData(next), replyData(next) + n);
    }
    std::vector<uint8_t> stop = request(2, 84);
    setWord(stop, 5, handle);
    stop = send(stop);
    EXPECT_EQ(word(stop, 2), 198u);
    // Slot 3's descriptor: SAS, element index 3, its drive's port address.
    const uint8_t* d = all.data() + 8 + 3 * 64;
    EXPECT_EQ(d[0], 0x16);
    EXPECT_EQ(d[1], 62);
    EXPECT_EQ(d[3], 3);
    EXPECT_EQ(d[4], 2);
    const std::vector<uint8_t> record = ct(248, 3, 440);
    EXPECT_EQ(be64(d + 8 + 12), be64(replyData(record) + 176 + 8));
    EXPECT_EQ(be64(d + 8 + 28 + 12), be64(replyData(record) + 224 + 8));
}

}  // namespace
