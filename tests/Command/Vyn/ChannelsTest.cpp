// The read-only exports the controller object relies on: the channel walk,
// the paused and OEM-id queries, SAS phys, container and RAID-6 options, the
// configuration walk, failover, verification and the PCI identifiers.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_failover.h"
#include "Command/Vyn/common/fa_pciids.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_verify.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Seen {
    uint32_t busCount;
    _tagFSA_CHANNEL_ENUM_INFO info;
};

void collect(uint32_t busCount, const _tagFSA_CHANNEL_ENUM_INFO* info, void* context)
{
    static_cast<std::vector<Seen>*>(context)->push_back(Seen{busCount, *info});
}

// Three SAS buses; option word 1 bits 0x2000 and 0x4000 make bus 1 one of
// kind 2.
const char* const kThreeBuses = "adapter0.option_word1 = 0x000D6820\n"
                                "adapter0.bus0 = sas 16\nadapter0.bus1 = sas 16\nadapter0.bus2 = sas 16 link_speed=600\n";

// A fault that overwrites one field of every bus record reply.
std::string busRecordPoke(const char* poke)
{
    return std::string("adapter0.fault0.on = class3 12\nadapter0.fault0.poke = ") + poke +
           "\nadapter0.fault0.times = 0\n";
}

class ChannelsTest : public vyntest::OpenSessionTest {
protected:
    std::vector<Seen> walk(void* h, uint32_t kind = FSA_CHANNEL_KIND_PLAIN)
    {
        std::vector<Seen> seen;
        EXPECT_EQ(FsaApiInternalEnumChannels(h, &seen, collect, kind), FSA_STS_SUCCESS);
        return seen;
    }
};

TEST_F(ChannelsTest, TheDefaultControllerHasOneSasChannelAtItsTypeSpeed)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    std::vector<Seen> seen;
    EXPECT_EQ(FsaEnumChannels(h, &seen, collect), FSA_STS_SUCCESS);
    ASSERT_EQ(seen.size(), 1u);
    const _tagFSA_CHANNEL_ENUM_INFO& c = seen[0].info;
    EXPECT_EQ(seen[0].busCount, 1u);
    EXPECT_EQ(c.busIndex, 0u);
    EXPECT_EQ(c.channelType, 12u);
    EXPECT_EQ(c.linkSpeed, 300u);  // unset on the bus: the type's default
    EXPECT_EQ(c.channelMode, 0u);  // bus state 1
    EXPECT_EQ(c.portsMapped, 16u);
    EXPECT_EQ(c.targetsAvailable, 16u);
    EXPECT_EQ(c.partnerChannel, 0xFFFFFFFFu);
    EXPECT_EQ(c.partnerScsiId, 0xFFFFFFFFu);
    EXPECT_EQ(c.clustered, 0u);
}

TEST_F(ChannelsTest, EachKindWalksOnlyItsBusesAndTellsTheBusCount)
{
    void* h = start(kThreeBuses);
    ASSERT_NE(h, nullptr);
    std::vector<Seen> plain = walk(h, FSA_CHANNEL_KIND_PLAIN);
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0].info.busIndex, 0u);
    EXPECT_EQ(plain[1].info.busIndex, 2u);
    EXPECT_EQ(plain[0].busCount, 3u);
    EXPECT_EQ(plain[1].busCount, 3u);
    EXPECT_EQ(plain[1].info.linkSpeed, 600u);
    // Several buses and no port field value: each bus's own byte.
    EXPECT_EQ(plain[0].info.portsMapped, 0u);
    std::vector<Seen> scsi;
    EXPECT_EQ(FsaEnumScsiChannels(h, &scsi, collect), FSA_STS_SUCCESS);
    ASSERT_EQ(scsi.size(), 1u);
    EXPECT_EQ(scsi[0].info.busIndex, 1u);
}

TEST_F(ChannelsTest, BusRecordFieldsShapeTheChannelRecord)
{
    struct Case {
        const char* extra;
        uint32_t type;
        uint32_t speed;
        uint32_t mode;
    };
    const Case cases[] = {
        // A record older than version 4 has no link speeds: the type's default.
        {"adapter0.bus0 = sas 16 link_speed=600\nadapter0.fault0.on = class3 12\n"
         "adapter0.fault0.poke = 52:4=3\nadapter0.fault0.times = 0\n",
         12, 300, 0},
        {"adapter0.bus0 = sas 16 link_speed=600\n", 12, 600, 0},
        {"adapter0.bus0 = sata 8 state=0\n", 11, 150, 1},
        {"adapter0.bus0 = 13 8 state=3 link_speed=1200\n", 13, 1200, 3},
        {"adapter0.bus0 = 8 8 state=7\n", 8, 100, 4},
        {"adapter0.bus0 = 40 8 state=2\n", 0, 1, 2},
    };
    for (const Case& c : cases) {
        void* h = start(c.extra);
        ASSERT_NE(h, nullptr) << c.extra;
        const std::vector<Seen> seen = walk(h);
        ASSERT_EQ(seen.size(), 1u) << c.extra;
        EXPECT_EQ(seen[0].info.channelType, c.type) << c.extra;
        EXPECT_EQ(seen[0].info.linkSpeed, c.speed) << c.extra;
        EXPECT_EQ(seen[0].info.channelMode, c.mode) << c.extra;
        TearDown();
        SetUp();
    }
}

TEST_F(ChannelsTest, WithoutTheBusTypeFieldTheAdapterTypeGivesTheChannelType)
{
    struct Case {
        uint32_t adapterType;
        bool wide;  // option word 1 bit 7
        uint32_t type;
    };
    const Case cases[] = {{18, false, 9}, {18, true, 10}, {5, false, 6},  {8, false, 7},
                          {12, false, 9}, {20, true, 10}, {4, false, 0}, {22, false, 0}};
    // The legacy record (version 0) carries neither bus types nor ports.
    void* h = start("adapter0.bus_info = legacy\n");
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    for (const Case& c : cases) {
        faPutLe32(ctx->generalInfo.bytes + GI_ADAPTER_TYPE, c.adapterType);
        FsaOptionWord1(ctx) = c.wide ? (FsaOptionWord1(ctx) | 0x80) : (FsaOptionWord1(ctx) & ~0x80u);
        const std::vector<Seen> seen = walk(h);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].info.channelType, c.type) << c.adapterType << " " << c.wide;
        // One bus without a port field: the controller's ports.
        EXPECT_EQ(seen[0].info.portsMapped, 16u);
        EXPECT_EQ(seen[0].info.linkSpeed, c.type == 0 ? 1u : c.type == 6 ? 40u : c.type == 7 ? 80u
                                                   : c.type == 9 ? 160u : 320u);
    }
}

TEST_F(ChannelsTest, ABusCountBeyondTheRecordWalksTenBusesAtMost)
{
    void* h = start(busRecordPoke("24:4=12"));
    ASSERT_NE(h, nullptr);
    const std::vector<Seen> seen = walk(h);
    ASSERT_EQ(seen.size(), 10u);
    EXPECT_EQ(seen.back().info.busIndex, 9u);
    EXPECT_EQ(seen.back().busCount, 12u);
}

TEST_F(ChannelsTest, AnUnreadableBusRecordEndsTheWalkWith66)
{
    void* h = start("adapter0.fault0.on = class3 12\nadapter0.fault0.status = 5\nadapter0.fault0.skip = 1\n"
                    "adapter0.fault1.on = class3 9\nadapter0.fault1.status = 5\nadapter0.fault1.times = 0\n");
    ASSERT_NE(h, nullptr);
    std::vector<Seen> seen;
    EXPECT_EQ(FsaEnumChannels(h, &seen, collect), 66u);
    EXPECT_TRUE(seen.empty());
}

TEST_F(ChannelsTest, PausedAndOemIdQueries)
{
    void* h = start("adapter0.oem_id = 14\n");
    ASSERT_NE(h, nullptr);
    int paused = -1;
    EXPECT_EQ(FsaIsAdapterPaused(h, &paused), FSA_STS_SUCCESS);
    EXPECT_EQ(paused, 0);
    paused = -1;
    EXPECT_EQ(FsaIsAdapterPausedEx(h, &paused), FSA_STS_SUCCESS);
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(sent(704), 2u);
    uint32_t oem = 0;
    EXPECT_EQ(FsaGetAdapterOemId(h, &oem), FSA_STS_SUCCESS);
    EXPECT_EQ(oem, 14u);
    EXPECT_EQ(FsaGetAdapterOemId(reinterpret_cast<void*>(uintptr_t{99}), &oem), 9u);

    // While paused the query still answers; the OEM id is refused.
    sim().controller(0).paused = true;
    context(h)->paused = 1;
    EXPECT_EQ(FsaIsAdapterPausedEx(h, &paused), FSA_STS_SUCCESS);
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(FsaGetAdapterOemId(h, &oem), 129u);
}

TEST_F(ChannelsTest, AdapterPhysAreAskedByIndexAndTheirNibblesMovedDown)
{
    void* h = start("adapter0.ports = 8\nadapter0.sas_ports = 1\n"
                    "adapter0.fault0.on = fib 612\nadapter0.fault0.poke = 0:1=0x35\nadapter0.fault0.times = 0\n");
    ASSERT_NE(h, nullptr);
    _FSA_SAS_PHY_ENTITY phy;
    std::memset(&phy, 0xEE, sizeof phy);
    EXPECT_EQ(FsaGetAdapterSasPhyInfo(h, 3, &phy), FSA_STS_SUCCESS);
    EXPECT_EQ(phy.bytes[0], 0x03);
    EXPECT_EQ(phy.bytes[36], 0x01);
    EXPECT_EQ(phy.bytes[20], 3);
    EXPECT_EQ(phy.bytes[29], 0x09);
    EXPECT_EQ(phy.bytes[63], 0);
    EXPECT_EQ(sent(612), 1u);
    const vyn::hostsim::Request r = sim().requests().back();
    EXPECT_EQ(r.size, 20u);
}

TEST_F(ChannelsTest, ContainerOptionsSwapTheMirrorAndStripeGroups)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSA_CONTAINER_OPTIONS o;
    std::memset(&o, 0xEE, sizeof o);
    EXPECT_EQ(FsaGetContainerOptions(h, &o), FSA_STS_SUCCESS);
    // CT 73 entry 2 (RAID-1: 2 to 2) before entry 1 (RAID-0: 2 to 32).
    EXPECT_EQ(faGetLe32(o.bytes + 16), 2u);
    EXPECT_EQ(faGetLe32(o.bytes + 20), 2u);
    EXPECT_EQ(faGetLe32(o.bytes + 36), 32u);
    // CT 217 entries 0, 1, 2: RAID-6, RAID-5EE, RAID-1E maximum members.
    EXPECT_EQ(faGetLe32(o.bytes + 68), 32u);
    EXPECT_EQ(faGetLe32(o.bytes + 84), 32u);
    EXPECT_EQ(faGetLe32(o.bytes + 100), 32u);
    // Entries 6 and 5 of CT 73 swapped too: 208 holds the unset entry 6.
    EXPECT_EQ(faGetLe32(o.bytes + 208), 0xFFFFFFFFu);
    EXPECT_EQ(faGetLe32(o.bytes + 228), 128u);
    // Groups no command fills keep the caller's bytes.
    EXPECT_EQ(o.bytes[112], 0xEE);
    EXPECT_EQ(o.bytes[383], 0xEE);
    EXPECT_EQ(sent(500, 73), 1u);
    EXPECT_EQ(sent(500, 217), 1u);
}

TEST_F(ChannelsTest, WithoutOptionWord2Bit4NoRaidOptionsAreAsked)
{
    void* h = start("adapter0.option_word2 = 0x0EB797CC\n");
    ASSERT_NE(h, nullptr);
    FSA_CONTAINER_OPTIONS o;
    std::memset(&o, 0, sizeof o);
    EXPECT_EQ(FsaGetContainerOptions(h, &o), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 217), 0u);
    EXPECT_EQ(std::vector<uint8_t>(o.bytes + 64, o.bytes + 112), std::vector<uint8_t>(48, 0));
    EXPECT_EQ(std::vector<uint8_t>(o.bytes + 256, o.bytes + 304), std::vector<uint8_t>(48, 0));
    EXPECT_EQ(faGetLe32(o.bytes + 4), 32u);
}

// Hex of a RAID-6 options record: count and flags, and both tables filled.
std::string raid6Record(uint32_t count, uint32_t flags)
{
    std::vector<uint8_t> r(340, 0);
    faPutLe32(r.data() + 8, 16);
    faPutLe32(r.data() + 12, count);
    faPutLe32(r.data() + 16, flags);
    for (size_t i = 0; i < 32; ++i) {
        r[84 + 4 * i] = static_cast<uint8_t>(i + 1);
        r[212 + 4 * i] = static_cast<uint8_t>(i + 101);
    }
    std::string hex = "\"";
    char two[3];
    for (uint8_t b : r) {
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex + "\"";
}

TEST_F(ChannelsTest, Raid6OptionsCopyTheCountedEntriesAndTheSecondTableOnlyWithItsFlag)
{
    struct Case {
        uint32_t count;
        uint32_t flags;
        size_t entries;
        bool second;
    };
    const Case cases[] = {{3, 0, 3, false}, {3, 1, 3, true}, {0, 1, 0, false}, {40, 1, 32, true}};
    for (const Case& c : cases) {
        void* h = start("adapter0.raid6_options = " + raid6Record(c.count, c.flags) + "\n");
        ASSERT_NE(h, nullptr);
        FSA_RAID6_OPTIONS o;
        std::memset(&o, 0, sizeof o);
        EXPECT_EQ(FsaGetRaid6Options(h, &o), FSA_STS_SUCCESS);
        EXPECT_EQ(faGetLe32(o.bytes + 8), 16u);
        EXPECT_EQ(faGetLe32(o.bytes + 12), c.count);
        for (size_t i = 0; i < 32; ++i) {
            EXPECT_EQ(o.bytes[84 + 4 * i], i < c.entries ? i + 1 : 0) << c.count << " entry " << i;
            EXPECT_EQ(o.bytes[212 + 4 * i], i < c.entries && c.second ? i + 101 : 0) << c.count << " entry " << i;
        }
        // The open read them from the firmware; the export reads none.
        EXPECT_EQ(sent(500, 219), 0u);
        TearDown();
        SetUp();
    }
    EXPECT_EQ(FsaApiInternalGetRaid6Options(nullptr, nullptr), 7u);
}

TEST_F(ChannelsTest, AControllerThatDoesNotAnswerTheRaid6OptionsStillOpens)
{
    void* h = start("adapter0.fault0.on = ct 219\nadapter0.fault0.errno = 5\n");
    ASSERT_NE(h, nullptr);
    FSA_RAID6_OPTIONS o;
    std::memset(&o, 0, sizeof o);
    EXPECT_EQ(FsaGetRaid6Options(h, &o), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(o.bytes + 12), 0u);
}

TEST_F(ChannelsTest, DrivePhysComeFromTheConfigurationModelOnly)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSA_STORAGE_DEVICE device = {};
    device.busNumber = 0;
    device.targetId = 99;
    _FSA_SAS_DISK_PHY_INFO first;
    _FSA_SAS_DISK_PHY_INFO second;
    EXPECT_EQ(FsaNewGetDiskSasPhyInfo(h, &device, &first, &second), 6u);
    EXPECT_EQ(FsaGetDiskSasPhyInfo(h, &device, &first, &second), 6u);
}

TEST_F(ChannelsTest, StartingAConfigurationWalkRereadsTheModel)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FsaStartGetConfig(h), FSA_STS_SUCCESS);
    EXPECT_GE(sent(500, 247), 1u);
}

TEST_F(ChannelsTest, FailoverVerificationAndPciIdentifiers)
{
    struct Case {
        const char* extra;
        uint32_t flags;
        uint32_t verifyOn;
        uint32_t days;
    };
    // Option word 2 bit 0x4000000 (the default) counts the period in days.
    const Case cases[] = {
        {"", 0x4, 0, 30},
        {"adapter0.auto_failover = 0\nadapter0.verify = 1\nadapter0.verify_priority = 2\n", 0, 1, 20},
        {"adapter0.verify_priority = 45\n", 0x4, 0, 45},
        {"adapter0.option_word2 = 0x0AB797DC\nadapter0.verify_priority = 3\n", 0x4, 0, 3},
        {"adapter0.option_word2 = 0x0AB797DC\nadapter0.verify_priority = 45\n", 0x4, 0, 0},
    };
    for (const Case& c : cases) {
        void* h = start(c.extra);
        ASSERT_NE(h, nullptr) << c.extra;
        uint32_t flags = 0xFF;
        EXPECT_EQ(FsaGetAutomaticFailover(h, &flags), FSA_STS_SUCCESS);
        EXPECT_EQ(flags, c.flags) << c.extra;
        uint32_t state[3] = {9, 9, 9};
        FSA_VERIFY_REQUEST request;
        std::memset(&request, 0xEE, sizeof request);
        EXPECT_EQ(FsaVerifyContainerGetInfo2(h, state, &request), FSA_STS_SUCCESS);
        EXPECT_EQ(state[0], c.verifyOn) << c.extra;
        EXPECT_EQ(state[1], 0u);
        EXPECT_EQ(faGetLe32(request.bytes + 4), c.days) << c.extra;
        EXPECT_EQ(faGetLe32(request.bytes + 0), 0u);
        EXPECT_EQ(FsaVerifyContainerGetInfo2(h, state, nullptr), 7u);
        TearDown();
        SetUp();
    }
    void* h = start("adapter0.fault0.on = ct 169\nadapter0.fault0.status = 12\n"
                    "adapter0.fault1.on = ct 175\nadapter0.fault1.status = 12\n");
    ASSERT_NE(h, nullptr);
    uint32_t flags = 0;
    EXPECT_EQ(FsaGetAutomaticFailover(h, &flags), 470u);
    uint32_t state[3] = {};
    EXPECT_EQ(FsaVerifyContainerGetInfo(h, state), 520u);
    uint16_t ids[4] = {1, 2, 3, 4};
    EXPECT_EQ(FsaGetPCIIds(h, ids), FSA_STS_SUCCESS);
    EXPECT_EQ(ids[0], 0x5653u);
}

}  // namespace
