// Spare assignments (CT 41, 42, 43) and the removal of a missing drive's PPI
// bundle (CT 197), checked against the 260-byte failover data and the device
// record's spare flag.
#include "RawFibTest.h"
#include "platform/hostsim/fw/DriveMetadata.h"

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t W0 = 32;     // container words from byte 32 of the FIB
constexpr size_t kData = 64;  // reply data from byte 64
constexpr uint32_t kGlobal = 0x80000000u;
constexpr uint32_t kUidOf0 = 0x5A000000u;

// Drive 0:3 a global spare, 0:4 dedicated to container 0, 0:5 free.
const char* kSpares = "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\n"
                      "drive3 = 0:3 sas 146G spare=global\ndrive4 = 0:4 sas 146G spare=0\n"
                      "drive5 = 0:5 sas 146G\nld0 = raid1 0:0,0:1\n";

class SparesAnswersTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> ct(uint32_t code, uint32_t p0, uint32_t p1 = 0, uint32_t capacity = 0)
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + W0 + 8, p0);
        putLe32(fib.data() + W0 + 12, p1);
        putLe32(fib.data() + W0 + 28, capacity);
        return send(fd_, fib);
    }
    static uint32_t status(const std::vector<uint8_t>& fib) { return getLe32(fib.data() + W0 + 8); }
    // The failover data of an owner: count, then the slices.
    std::vector<uint32_t> slicesOf(uint32_t owner)
    {
        const std::vector<uint8_t> fib = ct(43, owner, 0, 260);
        EXPECT_EQ(status(fib), 86u);
        const uint32_t n = getLe32(fib.data() + kData);
        std::vector<uint32_t> out;
        for (uint32_t i = 0; i < n && i < 64; ++i)
            out.push_back(getLe32(fib.data() + kData + 4 + 4 * i));
        return out;
    }
    // Flag byte 68 of a drive's device record (CT 248).
    uint8_t flagsOf(uint32_t handle)
    {
        const std::vector<uint8_t> fib = ct(248, handle, 0, 440);
        return fib[kData + 68];
    }
    int fd_ = -1;
};

TEST_F(SparesAnswersTest, FailoverDataFromTheDescription)
{
    fd_ = openAdapter(kSpares);
    // Slices go in drive order: 0:0 0, 0:1 1, 0:3 2, 0:4 3, 0:5 4.
    EXPECT_EQ(slicesOf(kGlobal), std::vector<uint32_t>{2});
    EXPECT_EQ(slicesOf(99), std::vector<uint32_t>{2});
    EXPECT_EQ(slicesOf(kUidOf0), std::vector<uint32_t>{3});
    EXPECT_EQ(slicesOf(0), std::vector<uint32_t>{3});
    EXPECT_TRUE(slicesOf(7).empty());
    EXPECT_EQ(flagsOf(3) & 0x4, 0x4);
    EXPECT_EQ(flagsOf(4) & 0x4, 0);
}

TEST_F(SparesAnswersTest, AssignmentsFollowTheDriveAndAreSaved)
{
    fd_ = openAdapter(kSpares);
    struct Case {
        uint32_t code, owner, slice, status;
    };
    const Case cases[] = {
        {41, kGlobal, 4, 82},   // 0:5 joins the pool
        {41, kUidOf0, 2, 82},   // 0:3 also stands by for ld0
        {41, kUidOf0, 2, 82},   // twice changes nothing
        {41, 5, 4, 0},          // no container 5
        {41, kGlobal, 9, 0},    // no drive holds slice 9
        {42, kGlobal, 2, 82},   // 0:3 leaves the pool, stays ld0's
        {42, kGlobal, 0, 82},   // not a spare: nothing to do
    };
    for (const Case& c : cases)
        EXPECT_EQ(status(ct(c.code, c.owner, c.slice)), c.status) << c.code << " " << c.owner << " " << c.slice;
    EXPECT_EQ(slicesOf(kGlobal), std::vector<uint32_t>{4});
    EXPECT_EQ(slicesOf(kUidOf0), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(flagsOf(3) & 0x4, 0);
    EXPECT_EQ(flagsOf(5) & 0x4, 0x4);
    // The assignments live in the drive lines, so a state file keeps them.
    EXPECT_EQ(sim().controller(0).objects.at("drive3"), "0:3 sas 146G spare=0");
    EXPECT_EQ(sim().controller(0).objects.at("drive5"), "0:5 sas 146G spare=global");
}

TEST_F(SparesAnswersTest, BundleOfAMissingDriveLeavesThePpiTable)
{
    fd_ = openAdapter(kSpares);
    ControllerState& c = sim().controller(0);
    c.ppiScripted = true;
    c.ppiTable = {ppiEntry(1, 7, 9, 1, 0x83), ppiEntry(1, 7, 0, 1, 0x01), ppiEntry(1, 8, 10, 1, 0x83)};
    const uint32_t age = c.ppiClears;
    EXPECT_EQ(status(ct(197, 7)), 218u);
    ASSERT_EQ(c.ppiTable.size(), 2u);
    EXPECT_EQ(getLe32(c.ppiTable[0].data() + 8), 0u);  // the present drive stays
    EXPECT_EQ(c.ppiClears, age + 1);
    EXPECT_EQ(status(ct(197, 7)), 218u);
    EXPECT_EQ(c.ppiClears, age + 1);
}

}  // namespace
