// Answers of the one-command container operations, container names, cache
// settings and statistics, checked byte for byte against their layouts.
#include "RawFibTest.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/Partitions.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t W0 = 32;     // container words from byte 32 of the FIB
constexpr size_t kData = 64;  // reply data from byte 64
uint32_t word(const uint8_t* fib, size_t n) { return getLe32(fib + W0 + 4 * n); }
void setWord(uint8_t* fib, size_t n, uint32_t v) { putLe32(fib + W0 + 4 * n, v); }

const char* kTwoContainers = "hostsim.persist = 0\n[adapter0]\ndrive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\n"
                             "drive2 = 0:2 sas 146G\nld0 = raid1 0:0,0:1\nld2 = raid0 0:2\n";

class ContainerOpsTest : public vyntest::RawFibTest {
protected:
    std::vector<uint8_t> command(int fd, uint32_t code, uint32_t p0, uint32_t p1 = 0, uint32_t capacity = 0,
                                 const std::vector<uint8_t>& input = {})
    {
        std::vector<uint8_t> fib = request(2, code);
        setWord(fib.data(), 2, p0);
        setWord(fib.data(), 3, p1);
        setWord(fib.data(), 7, capacity);
        if (!input.empty()) {
            std::memcpy(fib.data() + kData, input.data(), input.size());
            putLe16(fib.data() + 8, static_cast<uint16_t>(32 + input.size() < 464 ? 464 : 32 + input.size()));
        }
        fib = send(fd, fib);
        EXPECT_EQ(word(fib.data(), 0), 0u) << code;
        EXPECT_EQ(word(fib.data(), 1), code);
        return fib;
    }
};

TEST_F(ContainerOpsTest, FailoverDataListsTheAssignedSlices)
{
    // Spares are drives: slices 5 and 9 need drives that hold them.
    const int fd = openAdapter(std::string(kTwoContainers) + "drive3 = 0:3 sas 146G slice=5\n"
                                                             "drive4 = 0:4 sas 146G slice=9\n");
    EXPECT_EQ(word(command(fd, 41, 2, 5).data(), 2), 82u);
    EXPECT_EQ(word(command(fd, 41, 2, 9).data(), 2), 82u);
    EXPECT_EQ(word(command(fd, 42, 2, 5).data(), 2), 82u);
    const std::vector<uint8_t> fib = command(fd, 43, 2, 0, 260);
    EXPECT_EQ(word(fib.data(), 2), 86u);
    EXPECT_EQ(word(fib.data(), 5), 0xFFFFFFFFu);
    EXPECT_EQ(getLe32(fib.data() + kData), 1u);
    EXPECT_EQ(getLe32(fib.data() + kData + 4), 9u);
    EXPECT_EQ(getLe32(fib.data() + kData + 8), 0u);
}

TEST_F(ContainerOpsTest, NamesFlagsAndLocks)
{
    const int fd = openAdapter(kTwoContainers);
    std::vector<uint8_t> label(16, 'x');
    EXPECT_EQ(word(command(fd, 131, 2, 0, 0, label).data(), 2), 218u);
    std::vector<uint8_t> fib = command(fd, 130, 2, 0, 16);
    EXPECT_EQ(word(fib.data(), 2), 218u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fib.data() + kData), 16), std::string(16, 'x'));
    EXPECT_EQ(word(command(fd, 130, 1, 0, 16).data(), 2), 194u);

    EXPECT_EQ(word(command(fd, 106, 2, 0x12345).data(), 2), 236u);
    fib = command(fd, 107, 2);
    EXPECT_EQ(word(fib.data(), 2), 237u);
    EXPECT_EQ(word(fib.data(), 3), 0x2345u);

    // In use: container 0 yes, 1 no.
    EXPECT_EQ(word(command(fd, 153, 0).data(), 2), 1u);
    EXPECT_EQ(word(command(fd, 153, 1).data(), 2), 0u);

    EXPECT_EQ(word(command(fd, 50, 0).data(), 2), 11u);
    EXPECT_EQ(word(command(fd, 51, 0).data(), 2), 141u);
    EXPECT_TRUE(sim().controller(0).containerSettings[0].locked);
    EXPECT_TRUE(sim().controller(0).containerSettings[0].readOnly);
    EXPECT_EQ(word(command(fd, 49, 0).data(), 2), 13u);
    EXPECT_FALSE(sim().controller(0).containerSettings[0].locked);
}

TEST_F(ContainerOpsTest, CacheStatisticsEntriesAreNinetyTwoBytes)
{
    const int fd = openAdapter(kTwoContainers);
    std::vector<uint8_t> set(28, 0);
    putLe32(set.data(), 2);
    putLe32(set.data() + 4, 1);
    putLe32(set.data() + 8, 3);
    EXPECT_EQ(word(command(fd, 111, 2, 0, 0, set).data(), 2), 264u);
    sim().controller(0).containerSettings[2].buffered = 5;
    const std::vector<uint8_t> fib = command(fd, 112, 0, 0, 400);
    EXPECT_EQ(word(fib.data(), 2), 218u);
    const uint8_t* stats = fib.data() + kData;
    EXPECT_EQ(getLe32(stats + 88 + 92 * 2), 5u);
    EXPECT_EQ(getLe32(stats + 96 + 92 * 2), 1u);
    EXPECT_EQ(getLe32(stats + 100 + 92 * 2), 3u);
    EXPECT_EQ(getLe32(stats + 96), 0u);
    EXPECT_EQ(word(command(fd, 132, 2).data(), 2), 218u);
    EXPECT_EQ(sim().controller(0).containerSettings[2].buffered, 0u);
}

TEST_F(ContainerOpsTest, StatusOnlyCommandsAnswerTheirSuccess)
{
    const int fd = openAdapter(kTwoContainers);
    struct Case {
        uint32_t code;
        uint32_t container;
        uint32_t p1;
        uint32_t status;
    };
    const Case cases[] = {
        {24, 0, 0, 89},    {25, 0, 7, 0},
        {59, 2, 64, 153},  {59, 2, 0xFFFFFFFF, 159},         {59, 1, 64, 154},
        // ld0 is no mirror once CT 24 took it apart: it has nothing to check.
        {61, 0, 0, 176},
        {71, 0, 0, 186},   {98, 0, 0, 216},  {120, 2, 0, 287}, {133, 0, 0, 308}, {134, 0, 0, 309},
        {143, 0, 0, 314},  {149, 0, 0, 253}, {152, 0, 0, 218}, {173, 1, 0, 218}, {205, 2, 0, 0},
        {21, 1, 3, 60},
        // last: the stripe moves to 3, then goes
        {21, 2, 3, 64},    {17, 3, 0, 59},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(word(command(fd, c.code, c.container, c.p1).data(), 2), c.status);
    }
    EXPECT_EQ(word(command(fd, 58, 0).data(), 3), 7u);
    EXPECT_TRUE(sim().controller(0).verifyOn);
    EXPECT_EQ(sim().controller(0).verifyPriority, 2u);
}

TEST_F(ContainerOpsTest, DestroyTakesTheContainerAndTellsOfIt)
{
    const int fd = openAdapter(kTwoContainers);
    ControllerState& c = sim().controller(0);
    EXPECT_EQ(word(command(fd, 50, 2).data(), 2), 11u);  // locked
    EXPECT_EQ(word(command(fd, 111, 2, 0, 0, std::vector<uint8_t>(28, 1)).data(), 2), 264u);
    const uint32_t age = c.configAge;
    struct Case {
        uint32_t container;
        uint32_t force;
        uint32_t status;
    };
    // A locked container goes only when forced; a number without container
    // answers 194.
    const Case cases[] = {{2, 0, 3}, {1, 2, 194}, {2, 2, 59}, {2, 2, 194}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.container);
        std::vector<uint8_t> fib = request(2, 17);
        setWord(fib.data(), 2, k.container);
        setWord(fib.data(), 4, k.force);
        EXPECT_EQ(word(send(fd, fib).data(), 2), k.status);
    }
    EXPECT_EQ(c.objects.count("ld2"), 0u);
    EXPECT_EQ(c.containerSettings.count(2), 0u);
    EXPECT_EQ(c.configAge, age + 1);
    EXPECT_EQ(word(command(fd, 153, 2).data(), 2), 0u);
    EXPECT_EQ(word(command(fd, 153, 0).data(), 2), 1u);
    // Its partitions left the table; the mirror's stay.
    for (const PartitionView& p : partitionsOf(c))
        EXPECT_EQ(p.firstNumber, 0u);
    // With no channel open the delete notification (16, container 2) waits.
    ASSERT_EQ(c.pendingAif.size(), 1u);
    const uint8_t* notify = c.pendingAif[0].data() + 32;
    EXPECT_EQ(getLe32(notify), 1u);
    EXPECT_EQ(getLe32(notify + 8), 16u);
    EXPECT_EQ(getLe32(notify + 12), 2u);
}

// A RAID volume is one logical drive to its user: its member containers,
// hidden at numbers above the accessible ones, go with it (a locked one
// only when forced), their space free again and their settings gone.
TEST_F(ContainerOpsTest, DestroyingARaidVolumeTakesItsMembers)
{
    const int fd = openAdapter(std::string(kTwoContainers) + "drive3 = 0:3 sas 146G\ndrive4 = 0:4 sas 146G\n"
                                                             "ld61 = raid1 0:3,0:4 size=100M host=none\n"
                                                             "ld60 = raid1 0:3,0:4 size=200M host=none\n"
                                                             "ld1 = volume ld61,ld60\n");
    ControllerState& c = sim().controller(0);
    EXPECT_EQ(word(command(fd, 50, 60).data(), 2), 11u);  // a member locked
    EXPECT_EQ(word(command(fd, 111, 61, 0, 0, std::vector<uint8_t>(28, 1)).data(), 2), 264u);
    const auto destroy = [&](uint32_t force) {
        std::vector<uint8_t> fib = request(2, 17);
        setWord(fib.data(), 2, 1);
        setWord(fib.data(), 4, force);
        return word(send(fd, fib).data(), 2);
    };
    const auto before = c.objects;
    EXPECT_EQ(destroy(0), 3u);
    EXPECT_EQ(c.objects, before);
    EXPECT_EQ(destroy(2), 59u);
    for (const char* key : {"ld1", "ld60", "ld61"})
        EXPECT_EQ(c.objects.count(key), 0u) << key;
    EXPECT_EQ(c.objects.count("ld0"), 1u);
    EXPECT_EQ(c.objects.count("ld2"), 1u);
    EXPECT_EQ(c.containerSettings.count(60), 0u);
    EXPECT_EQ(c.containerSettings.count(61), 0u);
    // Only the mirror's and the stripe's partitions are left: 0:3 and 0:4
    // are free for the next container.
    for (const PartitionView& p : partitionsOf(c))
        EXPECT_TRUE(p.firstNumber == 0 || p.firstNumber == 2) << p.firstNumber;
    // The controller tells of each container that went.
    std::vector<uint32_t> deleted;
    for (const std::vector<uint8_t>& aif : c.pendingAif)
        if (getLe32(aif.data() + 32 + 8) == 16)
            deleted.push_back(getLe32(aif.data() + 32 + 12));
    EXPECT_EQ(deleted, (std::vector<uint32_t>{1, 60, 61}));
}

// The logical-device record's name field is 16 characters wide: a label
// that fills it has no terminator, one that is longer is cut to it.
TEST_F(ContainerOpsTest, ALabelFillsTheRecordsSixteenCharacterName)
{
    const int fd = openAdapter(kTwoContainers);
    struct Case {
        std::string label;
        std::string shown;
    };
    const Case cases[] = {
        {"Fifteen chars!!", "Fifteen chars!!"},
        {"SixteenCharsName", "SixteenCharsName"},
        {"SeventeenCharName", "SeventeenCharNam"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.label);
        EXPECT_EQ(word(command(fd, 131, 2, 0, 0, std::vector<uint8_t>(k.label.begin(), k.label.end())).data(), 2),
                  218u);
        std::vector<uint8_t> fib = command(fd, 234, kFirstLogDevHandle + 2, 1, 432);
        EXPECT_EQ(word(fib.data(), 2), 218u);
        const char* name = reinterpret_cast<const char*>(fib.data() + kData + 296);
        EXPECT_EQ(std::string(name, strnlen(name, 16)), k.shown);
        EXPECT_EQ(fib[kData + 312], 0u);
        fib = command(fd, 130, 2, 0, 16);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(fib.data() + kData), k.shown.size()), k.shown);
    }
}

TEST_F(ContainerOpsTest, DeadMembersShowInThePartitionRecordsUntilRestored)
{
    const int fd = openAdapter(kTwoContainers);
    ControllerState& c = sim().controller(0);
    EXPECT_EQ(word(command(fd, 72, 0, 1).data(), 2), 190u);
    EXPECT_EQ(word(command(fd, 72, 0, 1).data(), 2), 190u);
    EXPECT_EQ(word(command(fd, 72, 1, 0).data(), 2), 194u);
    ASSERT_EQ(c.containerSettings[0].deadMembers, std::vector<uint32_t>{1});
    uint8_t record[kPartitionRecordBytes];
    for (const PartitionView& p : partitionsOf(c)) {
        SCOPED_TRACE(p.index);
        writePartitionRecord(c, p, record, sizeof record);
        EXPECT_EQ(getLe16(record + kRecDeadIndex), p.memberIndex);
        const bool dead = p.firstNumber == 0 && p.memberIndex == 1;
        EXPECT_EQ(getLe32(record + kRecDeadMask), dead ? 2u : 0u);
    }
    // Kept in the state file, read back as written.
    Description text;
    std::string error;
    ASSERT_TRUE(text.parse(c.toText(1), "state", error)) << error;
    const ControllerState again = ControllerState::fromDescription(text, 0);
    EXPECT_EQ(again.containerSettings.at(0).deadMembers, std::vector<uint32_t>{1});
    EXPECT_EQ(word(command(fd, 120, 0).data(), 2), 287u);
    EXPECT_TRUE(c.containerSettings[0].deadMembers.empty());
}

}  // namespace
