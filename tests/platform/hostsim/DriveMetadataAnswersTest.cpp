// The simulator's answers for drive metadata sectors, the scripted PPI table,
// the cache pool and the logical-drive creation request, byte by byte.
#include "RawFibTest.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/DriveMetadata.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace vyn::hostsim;

// Payload words of a FIB, and where request input and reply data start.
constexpr size_t kWords = 32;
constexpr size_t kData = 64;
constexpr char kDefault[] = "base = default\nhostsim.persist = 0\n";

class DriveMetadataAnswersTest : public vyntest::RawFibTest {
protected:
    // A container request with parameters, reply capacity and input.
    static std::vector<uint8_t> ct(uint32_t code, uint32_t p0, uint32_t p1, uint32_t capacity,
                                   const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        putLe32(fib.data() + kWords + 8, p0);
        putLe32(fib.data() + kWords + 12, p1);
        putLe32(fib.data() + kWords + 28, capacity);
        if (!input.empty()) {
            std::memcpy(fib.data() + kData, input.data(), std::min<size_t>(input.size(), 432));
            putLe16(fib.data() + 8, 464);
        }
        return fib;
    }
    static uint32_t status(const std::vector<uint8_t>& fib) { return getLe32(fib.data() + kWords + 8); }
};

TEST_F(DriveMetadataAnswersTest, MetadataSectorIsZeroUntilWritten)
{
    const int fd = openAdapter(kDefault);
    std::vector<uint8_t> r = send(fd, ct(208, 1, 384, 384));
    EXPECT_EQ(status(r), 218u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + kData, r.begin() + kData + 384), std::vector<uint8_t>(384, 0));
    std::vector<uint8_t> sector(384, 0);
    std::memcpy(sector.data(), "FsAaPiFuN:)", 12);
    sector[20] = 1;
    EXPECT_EQ(status(send(fd, ct(209, 1, 384, 0, sector))), 218u);
    r = send(fd, ct(208, 1, 384, 384));
    EXPECT_EQ(std::memcmp(r.data() + kData, "FsAaPiFuN:)", 12), 0);
    EXPECT_EQ(r[kData + 20], 1u);
    // Other drives keep their own; an unknown drive answers 219.
    r = send(fd, ct(208, 2, 384, 384));
    EXPECT_EQ(r[kData], 0u);
    EXPECT_EQ(status(send(fd, ct(208, 0x40, 384, 384))), 219u);
    // The drive's own cache policy.
    EXPECT_EQ(status(send(fd, ct(203, 1, 1, 0))), 218u);
    r = send(fd, ct(204, 1, 0, 0));
    EXPECT_EQ(getLe32(r.data() + kWords + 12), 1u);
}

TEST_F(DriveMetadataAnswersTest, ScriptedPpiEntriesInBothForms)
{
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide);
        const int fd = openAdapter(std::string(kDefault) +
                                   (wide ? "" : "adapter0.option_word2 = 0x0E9797DC\n"));
        ControllerState& c = sim().controller(0);
        c.ppiScripted = true;
        c.ppiTable = {ppiEntry(0x11, 0x22, 0x0103, 2, 0x81), ppiEntry(0x33, 0x44, 0xFFFF, 0, 0x81)};
        std::vector<uint8_t> r = send(fd, ct(194, 0, 0, 24));
        EXPECT_EQ(getLe32(r.data() + kData + 16), 2u);
        r = send(fd, ct(195, 219, 0, wide ? 32 : 24));
        EXPECT_EQ(status(r), 218u);
        const uint8_t* e = r.data() + kData;
        EXPECT_EQ(getLe32(e), 0x11u);
        EXPECT_EQ(getLe32(e + 4), 0x22u);
        if (wide) {
            EXPECT_EQ(getLe32(e + 8), 0x0103u);
            EXPECT_EQ(e[12], 2u);
            EXPECT_EQ(e[13], 0x81u);
            EXPECT_EQ(getLe32(e + 16 + 8), 0xFFFFu);
        } else {
            EXPECT_EQ(getLe16(e + 8), 0x0103u);
            EXPECT_EQ(e[10], 2u);
            EXPECT_EQ(e[11], 0x81u);
            EXPECT_EQ(getLe32(e + 12), 0x33u);
        }
    }
}

TEST_F(DriveMetadataAnswersTest, CachePoolListAndLogicalDriveCreation)
{
    const int fd = openAdapter(kDefault);
    std::vector<uint8_t> list(432, 0);
    putLe32(list.data() + 4, 2);
    putLe32(list.data() + 8, 6);
    putLe32(list.data() + 12, 7);
    EXPECT_EQ(status(send(fd, ct(254, 1, 0, 0, list))), 218u);
    EXPECT_EQ(sim().controller(0).cachePool, (std::vector<uint32_t>{6, 7}));
    std::vector<uint8_t> none(432, 0);
    EXPECT_EQ(status(send(fd, ct(254, 2, 0, 0, none))), 218u);
    EXPECT_TRUE(sim().controller(0).cachePool.empty());

    // A RAID-1 of 0:4 and 0:5 numbered 3: 305, and the container exists.
    std::vector<uint8_t> header(128 + 2 * 12, 0);
    header[0] = 1;
    header[8] = 3;
    putLe32(header.data() + 12, 3);
    putLe16(header.data() + 26, 256);
    putLe16(header.data() + 30, 2);
    putLe32(header.data() + 32, 204800);
    std::memcpy(header.data() + 40, "Mirror", 6);
    putLe32(header.data() + 64, 4);
    putLe32(header.data() + 76, 5);
    EXPECT_EQ(status(send(fd, ct(237, 0, 0, 0, header))), 305u);
    const ConfigView v = configurationOf(sim().controller(0));
    const LogDevView* made = nullptr;
    for (const LogDevView& l : v.logDevs)
        if (l.number == 3)
            made = &l;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->raidType, 3u);
    EXPECT_EQ(made->name, "Mirror");
    EXPECT_EQ(made->stripeBlocks, 256u);
    ASSERT_EQ(made->members.size(), 2u);
    EXPECT_EQ(made->members[1].phy, 5u);
    // Taken number, unknown member, bad version: outside the created set.
    EXPECT_EQ(status(send(fd, ct(237, 0, 0, 0, header))), 389u);
    putLe32(header.data() + 12, 4);
    putLe32(header.data() + 76, 0x40);
    EXPECT_EQ(status(send(fd, ct(237, 0, 0, 0, header))), 389u);
    putLe32(header.data() + 76, 5);
    header[0] = 2;
    EXPECT_EQ(status(send(fd, ct(237, 0, 0, 0, header))), 389u);
}

}  // namespace
