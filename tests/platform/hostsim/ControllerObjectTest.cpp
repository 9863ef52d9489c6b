// What the controller object reads of the simulated firmware: adapter phys
// (FIB 612), failover and verification (CT 169, 175, 206), the RAID-6
// options (CT 219) and the per-bus fields of the bus record, checked against
// the record layouts.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/state/Controller.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;

class ControllerObjectTest : public vyntest::SimulatorTest {
protected:
    void open(const std::string& extra = "")
    {
        startSimulator("adapters = 1\nhostsim.persist = 0\n" + extra);
        ASSERT_EQ(hostIo().mknod("/dev/ulb0", S_IFCHR, makedev(250, 0)), 0);
        fd_ = hostIo().open("/dev/ulb0", O_RDWR);
        ASSERT_GE(fd_, 0);
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            hostIo().close(fd_);
        SimulatorTest::TearDown();
    }

    // A 512-byte FIB of `command` whose payload starts with `payloadWords`.
    std::vector<uint8_t> send(uint16_t command, std::vector<uint32_t> payloadWords)
    {
        std::vector<uint8_t> fib(512, 0);
        putLe32(fib.data(), 0x00100001);
        putLe16(fib.data() + 4, command);
        fib[6] = 1;
        putLe16(fib.data() + 8, 464);
        putLe16(fib.data() + 10, 512);
        for (size_t i = 0; i < payloadWords.size(); ++i)
            putLe32(fib.data() + kPayload + 4 * i, payloadWords[i]);
        EXPECT_EQ(hostIo().ioctl(fd_, 0x42008, fib.data()), 0);
        return fib;
    }
    // A class-2 container command: the reply words and data of its FIB.
    std::vector<uint8_t> ct(uint32_t code) { return send(500, {2, code, 0, 0, 0, 0xFFFFFFFFu, 0, 448}); }
    static uint32_t word(const std::vector<uint8_t>& fib, size_t n) { return getLe32(fib.data() + kPayload + 4 * n); }

    int fd_ = -1;
};

TEST_F(ControllerObjectTest, AdapterPhysAreGeneratedOrTakenFromTheDescription)
{
    open("adapter0.ports = 8\nadapter0.sas_ports = 1\nadapter0.phy5 = \"3500000000000000\"\n");
    std::vector<uint8_t> fib = send(612, {2});
    const uint8_t* phy = fib.data() + kPayload;
    EXPECT_EQ(phy[0], 0x10);  // upper nibble, as the firmware places it
    EXPECT_EQ(phy[20], 2);    // phy id
    EXPECT_EQ(phy[29], 0x09); // attached: one SAS port covers phys 0 to 3
    EXPECT_EQ(phy[36], 0x10);
    fib = send(612, {4});
    EXPECT_EQ(fib[kPayload + 29], 0);
    EXPECT_EQ(fib[kPayload + 36], 0);
    fib = send(612, {5});
    EXPECT_EQ(fib[kPayload + 0], 0x35);
    EXPECT_EQ(fib[kPayload + 20], 0);
    // Beyond the ports: an empty record.
    fib = send(612, {8});
    EXPECT_EQ(std::vector<uint8_t>(fib.begin() + kPayload, fib.begin() + kPayload + 64), std::vector<uint8_t>(64, 0));
}

TEST_F(ControllerObjectTest, FailoverAndVerificationAnswerTheirStatusesAndWords)
{
    struct Case {
        const char* description;
        uint32_t code;
        uint32_t status;
        uint32_t result1;
    };
    const Case cases[] = {
        {"", 169, 218, 0x4},
        {"adapter0.auto_failover = 0\n", 169, 218, 0},
        {"", 175, 218, 0},
        {"adapter0.verify = 1\n", 175, 218, 1},
        {"", 206, 152, 1},
        {"adapter0.verify_priority = 45\n", 206, 152, 45},
    };
    for (const Case& c : cases) {
        open(c.description);
        const std::vector<uint8_t> fib = ct(c.code);
        EXPECT_EQ(word(fib, 0), 0u) << c.code << " " << c.description;
        EXPECT_EQ(word(fib, 2), c.status) << c.code << " " << c.description;
        EXPECT_EQ(word(fib, 3), c.result1) << c.code << " " << c.description;
        hostIo().close(fd_);
        fd_ = -1;
    }
}

TEST_F(ControllerObjectTest, Raid6OptionsCarryCountFlagsAndBothTables)
{
    open();
    std::vector<uint8_t> fib = ct(219);
    EXPECT_EQ(word(fib, 2), 218u);
    // 340 bytes fit one packet.
    EXPECT_EQ(word(fib, 5), 0xFFFFFFFFu);
    const uint8_t* data = fib.data() + 64;
    EXPECT_EQ(getLe32(data + 8), 16u);
    EXPECT_EQ(getLe32(data + 12), 32u);
    EXPECT_EQ(getLe32(data + 16), 0u);
    // The library looks an entry up by the drive count: each count the
    // controller builds has an entry, with at least two drives' worth of
    // parity (p / (p + d) >= 2 / n) and data beside it.
    for (unsigned n = 0; n < 32; ++n) {
        SCOPED_TRACE(n);
        const uint8_t* xorEntry = data + 84 + 4 * n;
        const uint8_t* rsEntry = data + 212 + 4 * n;
        const unsigned p = xorEntry[1], d = getLe16(xorEntry + 2);
        const unsigned rp = rsEntry[1], rd = getLe16(rsEntry + 2);
        if (n >= 4 && n <= 16) {
            EXPECT_EQ(xorEntry[0], n);
            EXPECT_GE(p * n, 2 * (p + d));
            EXPECT_GT(d, 0u);
        } else {
            EXPECT_EQ(p + d, 0u);
        }
        if (n >= 4) {
            EXPECT_EQ(rsEntry[0], n);
            EXPECT_EQ(rp * n, 2 * (rp + rd));
        } else {
            EXPECT_EQ(rp + rd, 0u);
        }
    }
    ControllerState& state = sim().controller(0);
    ASSERT_EQ(state.raid6Options.size(), 340u);
    EXPECT_EQ(getLe32(state.raid6Options.data() + 12), 32u);
}

TEST_F(ControllerObjectTest, BusRecordCarriesEachBusStatePortsAndLinkSpeed)
{
    open("adapter0.bus0 = sas 16\n"
         "adapter0.bus1 = sas 8 state=2 ports=4\n"
         "adapter0.bus2 = sata 4 link_speed=600\n"
         "adapter0.bus2.state = 3\n");
    // SCSI-class request: service words 3 and 9, sub-command 12 in word 4.
    std::vector<uint8_t> fib = send(500, {3, 9, 0, 0, 12});
    EXPECT_EQ(word(fib, 0), 0u);
    const uint8_t* r = fib.data() + kPayload + 20;
    EXPECT_EQ(getLe32(r + 4), 3u);
    EXPECT_EQ(getLe32(r + 8), 16u);
    EXPECT_EQ(r[22], 1);
    EXPECT_EQ(r[23], 2);
    EXPECT_EQ(r[24], 3);
    EXPECT_EQ(getLe32(r + 32), 4u);
    EXPECT_EQ(getLe32(r + 36), 12u);
    EXPECT_EQ(getLe32(r + 44), 11u);
    EXPECT_EQ(r[76], 0);
    EXPECT_EQ(r[77], 4);
    EXPECT_EQ(getLe16(r + 86), 0u);
    EXPECT_EQ(getLe16(r + 90), 600u);
}

TEST_F(ControllerObjectTest, NewKeysSurviveTheStateFile)
{
    Description desc;
    std::string error;
    ASSERT_TRUE(desc.parse("adapters = 1\nadapter0.auto_failover = 0\nadapter0.verify = 1\n"
                           "adapter0.verify_priority = 3\nadapter0.phy2 = \"0102\"\n"
                           "adapter0.bus0 = sas 16\nadapter0.bus0.link_speed = 600\n",
                           "test", error))
        << error;
    const ControllerState first = ControllerState::fromDescription(desc, 0);
    Description again;
    ASSERT_TRUE(again.parse(first.toText(1), "state", error)) << error;
    const ControllerState second = ControllerState::fromDescription(again, 0);
    EXPECT_FALSE(second.autoFailover);
    EXPECT_TRUE(second.verifyOn);
    EXPECT_EQ(second.verifyPriority, 3u);
    EXPECT_EQ(second.raid6Options, first.raid6Options);
    ASSERT_EQ(second.phys.count(2), 1u);
    EXPECT_EQ(second.phys.at(2)[1], 0x02);
    EXPECT_EQ(second.objects.at("bus0.link_speed"), "600");
}

}  // namespace
