// The simulator's creation requests byte by byte: the container request of
// CT 179/221 in each of its kinds and the logical-drive request of CT 237,
// checked by the container each adds to the configuration.
#include "RawFibTest.h"
#include "platform/hostsim/fw/Configuration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kWords = 32;
constexpr size_t kData = 64;
constexpr size_t kRoom = 432;
constexpr char kDefault[] = "base = default\nhostsim.persist = 0\n";
// Without option word 2 bit 0x10: the RAID-10 halves lie 24 slots apart.
constexpr char kNarrowHalves[] = "base = default\nhostsim.persist = 0\nadapter0.option_word2 = 0x0EB797CC\n";

class CreationTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> ct(uint32_t code, const std::vector<uint8_t>& input)
    {
        std::vector<uint8_t> fib = request(2, code);
        std::memcpy(fib.data() + kData, input.data(), std::min(input.size(), kRoom));
        putLe16(fib.data() + 8, static_cast<uint16_t>(32 + std::min(input.size(), kRoom)));
        return fib;
    }
    uint32_t send(uint32_t code, const std::vector<uint8_t>& input)
    {
        return getLe32(RawFibTest::send(fd, ct(code, input)).data() + kWords + 8);
    }
    // The same in a 2048-byte FIB (the large send), room for the full
    // 1068-byte request.
    uint32_t sendFull(uint32_t code, const std::vector<uint8_t>& input)
    {
        std::vector<uint8_t> fib = request(2, code);
        fib.resize(2048, 0);
        putLe16(fib.data() + 10, 2048);
        std::memcpy(fib.data() + kData, input.data(), input.size());
        putLe16(fib.data() + 8, static_cast<uint16_t>(32 + input.size()));
        EXPECT_EQ(hostIo().ioctl(fd, 0x42168, fib.data()), 0);
        return getLe32(fib.data() + kWords + 8);
    }
    // The top-level container `number` and its legs, or null.
    const LogDevView* container(uint32_t number)
    {
        view = configurationOf(sim().controller(0));
        for (const LogDevView& l : view.logDevs)
            if (l.parent == 0xFFFFFFFFu && l.number == number)
                return &l;
        return nullptr;
    }
    std::vector<const LogDevView*> legsOf(const LogDevView& top)
    {
        std::vector<const LogDevView*> legs;
        for (const LogDevView& l : view.logDevs)
            if (l.parent == top.handle)
                legs.push_back(&l);
        return legs;
    }
    // A container request of `kind` for `number`, `n` members on slices
    // 4, 5, 6, ... at the pair offsets a row gives.
    static std::vector<uint8_t> containerRequest(uint32_t kind, uint32_t number)
    {
        std::vector<uint8_t> r(kRoom, 0);
        putLe32(r.data(), kind);
        putLe32(r.data() + 4, number);
        return r;
    }
    static void pair(std::vector<uint8_t>& r, size_t at, uint32_t slice, uint32_t start)
    {
        putLe32(r.data() + at, slice);
        putLe32(r.data() + at + 4, start);
    }

    int fd = -1;
    ConfigView view;
};

TEST_F(CreationTest, EveryContainerKindBuildsItsLevel)
{
    fd = openAdapter(kDefault);
    struct Row {
        uint32_t kind;
        size_t countAt;  // 0: no count word
        uint32_t n;
        size_t pairsAt;
        size_t stride;
        uint32_t raidType;
        size_t legs;
    };
    const Row rows[] = {
        {1, 28, 2, 36, 12, 1, 0},  {2, 0, 2, 32, 8, 3, 0},   {3, 32, 3, 40, 8, 2, 0},
        {4, 36, 3, 40, 8, 7, 0},   {15, 36, 4, 40, 8, 9, 0}, {17, 36, 3, 44, 8, 5, 0},
        {18, 36, 4, 40, 8, 11, 0},
    };
    uint32_t number = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE("kind " + std::to_string(row.kind));
        std::vector<uint8_t> r = containerRequest(row.kind, number);
        if (row.countAt != 0)
            putLe32(r.data() + row.countAt, row.n);
        for (uint32_t i = 0; i < row.n; ++i)
            pair(r, row.pairsAt + i * row.stride, 4 + i, 2048);
        EXPECT_EQ(send(221, r), 305u);
        const LogDevView* made = container(number);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->raidType, row.raidType);
        ASSERT_EQ(made->members.size(), row.n);
        for (uint32_t i = 0; i < row.n; ++i)
            EXPECT_EQ(made->members[i].phy, 4 + i);  // slice 4 + i is drive 0:(4 + i)
        ++number;
    }
}

TEST_F(CreationTest, TwoLevelKindsBuildTheirLegs)
{
    fd = openAdapter(kNarrowHalves);
    // RAID-10 over 0:4..0:7: members 0 and 2 in the first half, 1 and 3 in
    // the second, 24 slots on; pairs (0:4, 0:5) and (0:6, 0:7).
    std::vector<uint8_t> r = containerRequest(10, 1);
    putLe32(r.data() + 32, 2);
    putLe32(r.data() + 12, 256);
    pair(r, 40, 4, 2048);
    pair(r, 48, 6, 2048);
    pair(r, 40 + 24 * 8, 5, 2048);
    pair(r, 48 + 24 * 8, 7, 2048);
    EXPECT_EQ(send(179, r), 305u);
    const LogDevView* raid10 = container(1);
    ASSERT_NE(raid10, nullptr);
    EXPECT_EQ(raid10->raidType, 4u);
    EXPECT_EQ(raid10->stripeBlocks, 256u);
    std::vector<const LogDevView*> legs = legsOf(*raid10);
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(legs[0]->raidType, 3u);
    EXPECT_EQ(legs[0]->members[1].phy, 5u);
    EXPECT_EQ(legs[1]->members[0].phy, 6u);

    // RAID-50 and RAID-60: u16 legs at 32, u16 drives per leg at 34.
    struct Row {
        uint32_t kind;
        uint32_t number;
        uint32_t raidType;
        uint32_t legType;
    };
    for (const Row& row : {Row{14, 2, 8, 7}, Row{19, 3, 12, 11}}) {
        r = containerRequest(row.kind, row.number);
        putLe16(r.data() + 32, 2);
        putLe16(r.data() + 34, 3);
        putLe32(r.data() + 28, 128);
        for (uint32_t i = 0; i < 6; ++i)
            pair(r, 40 + 8 * i, i < 3 ? i : 4 + (i - 3), 2048 * 100);
        EXPECT_EQ(send(221, r), 305u);
        const LogDevView* top = container(row.number);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->raidType, row.raidType);
        legs = legsOf(*top);
        ASSERT_EQ(legs.size(), 2u);
        EXPECT_EQ(legs[1]->raidType, row.legType);
        EXPECT_EQ(legs[1]->members.size(), 3u);
        EXPECT_EQ(legs[1]->members[0].phy, 4u);
    }
}

TEST_F(CreationTest, TheFullFormCarriesWideHalvesAndMirrorPairs)
{
    fd = openAdapter(kDefault);
    // Option word 2 bit 0x10: the second RAID-10 half starts 64 slots on.
    std::vector<uint8_t> r(1068, 0);
    putLe32(r.data(), 10);
    putLe32(r.data() + 4, 1);
    putLe32(r.data() + 32, 2);
    pair(r, 40, 4, 2048);
    pair(r, 48, 6, 2048);
    pair(r, 40 + 64 * 8, 5, 2048);
    pair(r, 48 + 64 * 8, 7, 2048);
    EXPECT_EQ(sendFull(221, r), 305u);
    const LogDevView* raid10 = container(1);
    ASSERT_NE(raid10, nullptr);
    std::vector<const LogDevView*> legs = legsOf(*raid10);
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(legs[0]->members[0].phy, 4u);
    EXPECT_EQ(legs[0]->members[1].phy, 5u);
    EXPECT_EQ(legs[1]->members[1].phy, 7u);

    // A volume of mirrors: pair records of u16 slices, length and starts.
    std::fill(r.begin(), r.end(), 0);
    putLe32(r.data(), 12);
    putLe32(r.data() + 4, 2);
    putLe32(r.data() + 24, 2);
    for (uint16_t h = 0; h < 2; ++h) {
        putLe16(r.data() + 32 + 16 * h, static_cast<uint16_t>(4 + 2 * h));
        putLe16(r.data() + 34 + 16 * h, static_cast<uint16_t>(5 + 2 * h));
        putLe32(r.data() + 36 + 16 * h, 204800);
    }
    EXPECT_EQ(sendFull(221, r), 305u);
    const LogDevView* volume = container(2);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->raidType, 1u);
    legs = legsOf(*volume);
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(legs[1]->raidType, 3u);
    EXPECT_EQ(legs[1]->members[0].phy, 6u);
    EXPECT_EQ(legs[1]->members[1].phy, 7u);
}

TEST_F(CreationTest, RequestsTheControllerCannotBuildChangeNothing)
{
    fd = openAdapter(kDefault);
    auto raid0 = [](uint32_t number, uint32_t n, uint32_t firstSlice) {
        std::vector<uint8_t> r = containerRequest(3, number);
        putLe32(r.data() + 32, n);
        for (uint32_t i = 0; i < n && 40 + 8 * i + 8 <= r.size(); ++i)
            pair(r, 40 + 8 * i, firstSlice + i, 2048);
        return r;
    };
    struct Row {
        const char* what;
        std::vector<uint8_t> request;
        uint32_t status;
    };
    std::vector<uint8_t> raid1 = containerRequest(2, 4);
    pair(raid1, 32, 4, 2048);
    pair(raid1, 40, 99, 2048);
    std::vector<uint8_t> oneLeg = containerRequest(14, 4);
    putLe16(oneLeg.data() + 32, 1);
    putLe16(oneLeg.data() + 34, 3);
    const std::vector<Row> rows = {
        {"number in use", raid0(0, 2, 4), 389},
        {"unknown slice", raid0(4, 2, 40), 2},
        {"count past the request", raid0(4, 0x10000000, 4), 2},
        {"no members", raid0(4, 0, 4), 2},
        {"number past the limit", raid0(100000, 2, 4), 2},
        {"unknown kind", containerRequest(5, 4), 2},
        {"mirror with an unknown member", raid1, 2},
        {"one leg", oneLeg, 2},
        {"too short for its words", std::vector<uint8_t>(4, 0), 2},
    };
    const std::map<std::string, std::string> before = sim().controller(0).objects;
    for (const Row& row : rows)
        EXPECT_EQ(send(221, row.request), row.status) << row.what;
    EXPECT_EQ(sim().controller(0).objects, before);

    // A request whose answer leaves as a failure (here a fault on the
    // transport word: the controller does not know the command) adds nothing.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 221", "transport = 1"}));
    RawFibTest::send(fd, ct(221, raid0(4, 2, 4)));
    EXPECT_EQ(sim().controller(0).objects, before);
    EXPECT_EQ(send(221, raid0(4, 2, 4)), 305u);
    EXPECT_NE(container(4), nullptr);
}

TEST_F(CreationTest, LogicalDriveRequestsOfEveryLevel)
{
    fd = openAdapter(kDefault);
    auto header = [](uint8_t code, uint32_t number, uint16_t n, uint16_t legs) {
        std::vector<uint8_t> h(128 + 12 * n, 0);
        h[0] = 1;
        h[8] = code;
        putLe32(h.data() + 12, number);
        putLe16(h.data() + 26, 128);
        putLe16(h.data() + 28, legs);
        putLe16(h.data() + 30, n);
        for (uint16_t i = 0; i < n; ++i)
            putLe32(h.data() + 64 + 12 * i, 4u + i);
        return h;
    };
    struct Row {
        uint8_t code;
        uint16_t n;
        uint16_t legs;
        uint32_t status;
        uint32_t raidType;
        size_t legCount;
    };
    const Row rows[] = {
        {0, 2, 0, 305, 1, 0},  {2, 3, 0, 305, 2, 0},  {5, 3, 0, 305, 5, 0},  {9, 4, 0, 305, 9, 0},
        {11, 4, 0, 305, 11, 0}, {13, 4, 0, 305, 11, 0}, {4, 4, 1, 305, 4, 2}, {8, 4, 2, 305, 8, 2},
        {14, 4, 2, 305, 12, 2}, {12, 4, 2, 305, 12, 2}, {6, 2, 0, 389, 0, 0},  {10, 2, 0, 389, 0, 0},
        {15, 2, 0, 389, 0, 0},  {8, 4, 3, 389, 0, 0},   {4, 3, 0, 389, 0, 0},  {3, 3, 0, 389, 0, 0},
    };
    uint32_t number = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE("code " + std::to_string(row.code));
        EXPECT_EQ(send(237, header(row.code, number, row.n, row.legs)), row.status);
        const LogDevView* made = container(number);
        if (row.status != 305) {
            EXPECT_EQ(made, nullptr);
            continue;
        }
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->raidType, row.raidType);
        EXPECT_EQ(legsOf(*made).size(), row.legCount);
        sim().controller(0).objects.erase("ld" + std::to_string(number));
    }
    // A name that would split its description line is left out; the state
    // file still reads and holds one container more.
    std::vector<uint8_t> named = header(0, 7, 2, 0);
    std::memcpy(named.data() + 40, "a\nports = 9", 12);
    EXPECT_EQ(send(237, named), 305u);
    ASSERT_NE(container(7), nullptr);
    EXPECT_EQ(sim().controller(0).objects.at("ld7").find('\n'), std::string::npos);
    EXPECT_EQ(sim().controller(0).objects.at("ld7").find("name="), std::string::npos);
}

// A size the request names is the container's: every member, in every leg
// alike, gets the extent that holds it, starting where the request says.
// The sizes are those the library sends for 1000 MB (and one the stripe
// does not divide).
TEST_F(CreationTest, SizedRequestsGiveEveryMemberTheExtentTheyName)
{
    fd = openAdapter(vyntest::readFile(fixturePath("eight-drives.conf")));
    struct Row {
        const char* what;
        uint32_t code;  // CT 237 RAID type code, or 0x100 + CT 179 kind
        uint16_t n;
        uint16_t legs;
        uint64_t size;
        uint64_t extent;
        uint64_t blocks;  // what the container then holds
    };
    const Row rows[] = {
        {"RAID-1E of three", 5, 3, 0, 2048256, 1365504, 2048256},
        {"RAID-10 of four", 4, 4, 2, 2048000, 1024000, 2048000},
        {"RAID-50 of two legs of three", 8, 6, 2, 2048000, 512000, 2048000},
        {"RAID-60 of two legs of four", 12, 8, 2, 2048000, 512000, 2048000},
        {"RAID-5 of three", 7, 3, 0, 2048000, 1024000, 2048000},
        {"RAID-0 of two, short of a whole stripe", 2, 2, 0, 2000, 1024, 2048},
        {"RAID-10 of four (container request)", 0x100 + 10, 4, 2, 2048000, 1024000, 2048000},
        {"RAID-50 of two legs of three (container request)", 0x100 + 14, 6, 2, 2048000, 512000, 2048000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim().controller(0).objects.erase("ld1");
        if (row.code < 0x100) {
            std::vector<uint8_t> h(128 + 12 * row.n, 0);
            h[0] = 1;
            h[8] = static_cast<uint8_t>(row.code);
            putLe32(h.data() + 12, 1);
            putLe16(h.data() + 26, 512);
            putLe16(h.data() + 28, row.legs);
            putLe16(h.data() + 30, row.n);
            putLe32(h.data() + 32, static_cast<uint32_t>(row.size));
            for (uint16_t i = 0; i < row.n; ++i) {
                putLe32(h.data() + 64 + 12 * i, i);
                putLe32(h.data() + 64 + 12 * i + 4, 2048);
            }
            ASSERT_EQ(send(237, h), 305u);
        } else {
            // Stripe 512 blocks; RAID-10 pairs alternate between the halves.
            std::vector<uint8_t> r(1068, 0);
            putLe32(r.data(), row.code - 0x100);
            putLe32(r.data() + 4, 1);
            if (row.code == 0x100 + 10) {
                putLe32(r.data() + 32, 2);
                putLe32(r.data() + 12, 512);
                putLe32(r.data() + 8, static_cast<uint32_t>(row.size));
                for (uint32_t i = 0; i < row.n; ++i)
                    pair(r, 40 + 8 * (i / 2) + (i % 2 != 0 ? 64 * 8 : 0), i, 2048);
            } else {
                putLe16(r.data() + 32, row.legs);
                putLe16(r.data() + 34, static_cast<uint16_t>(row.n / row.legs));
                putLe32(r.data() + 28, 512);
                putLe32(r.data() + 24, static_cast<uint32_t>(row.size));
                for (uint32_t i = 0; i < row.n; ++i)
                    pair(r, 40 + 8 * i, i, 2048);
            }
            ASSERT_EQ(sendFull(221, r), 305u);
        }
        const LogDevView* made = container(1);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->blocks, row.blocks);
        std::vector<const LogDevView*> holders = legsOf(*made);
        EXPECT_EQ(holders.size(), size_t{row.legs});
        if (holders.empty())
            holders.push_back(made);
        size_t drives = 0;
        for (const LogDevView* holder : holders)
            for (const LogDevView::Member& m : holder->members) {
                EXPECT_EQ(m.start, 2048u);
                EXPECT_EQ(m.blocks, row.extent);
                ++drives;
            }
        EXPECT_EQ(drives, row.n);
    }
}

}  // namespace
