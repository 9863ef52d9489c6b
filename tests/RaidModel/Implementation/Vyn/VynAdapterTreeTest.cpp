// The controller's part of the tree: channels from the channel records, the
// inquiry-failure list, adapter phys, alarm and battery, and the order of the
// build.
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynLib.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

// Reads the fields the family sets but the model keeps to itself.
class ProbedAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    bool clustered() const { return isClustered; }
    bool tempWarning() const { return batTempWarning; }
};

// Sets its flag when the tree it hangs in deletes it.
class DestructionProbe : public RaidObject {
public:
    explicit DestructionProbe(bool& destroyed) : destroyed(destroyed) {}
    ~DestructionProbe() override { destroyed = true; }

private:
    bool& destroyed;
};

class VynAdapterTreeTest : public vyntest::FamilyTest {
protected:
    // A controller that is never opened: the callback and the queries are
    // driven by hand or by script.
    vyntest::TreePtr<ProbedAdapter> closedController()
    {
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        return vyntest::TreePtr<ProbedAdapter>(new ProbedAdapter(&record, nullptr, 0, nullptr, nullptr));
    }
    // The same with general information whose u32 fields at the given
    // offsets hold the given values.
    vyntest::TreePtr<ProbedAdapter> closedController(std::initializer_list<std::pair<size_t, uint32_t>> fields)
    {
        vyntest::TreePtr<ProbedAdapter> adapter = closedController();
        FSA_GENERAL_INFO2 g = {};
        for (const auto& [at, value] : fields)
            faPutLe32(g.bytes + at, value);
        adapter->setFsaGeneralInfo(&g);
        return adapter;
    }
    static _tagFSA_CHANNEL_ENUM_INFO channel(uint32_t type, uint32_t linkSpeed, uint32_t clustered = 0)
    {
        _tagFSA_CHANNEL_ENUM_INFO info = {};
        info.busIndex = 2;
        info.adapterScsiId = 7;
        info.channelType = type;
        info.linkSpeed = linkSpeed;
        info.clustered = clustered;
        info.portsMapped = 4;
        return info;
    }
};

TEST_F(VynAdapterTreeTest, ChannelTypesAndLinkSpeedsGiveTheChannelClassAndSpeed)
{
    struct Case {
        uint32_t type;
        uint32_t link;
        const char* cls;  // null: no channel
        int speed;
    };
    const Case cases[] = {
        {1, 0, "VynSCSIChannel", 1},     {3, 0, "VynSCSIChannel", 2},     {5, 0, "VynSCSIChannel", 3},
        {6, 0, "VynSCSIChannel", 4},     {7, 0, "VynSCSIChannel", 5},     {9, 0, "VynSCSIChannel", 6},
        {10, 0, "VynSCSIChannel", 7},    {0, 0, "VynSCSIChannel", 1},     {14, 0, "VynSCSIChannel", 1},
        {11, 150, "VynSATAChannel", 300}, {11, 300, "VynSATAChannel", 301}, {11, 600, "VynSATAChannel", 302},
        {12, 299, "VynSASChannel", 400},  {12, 300, "VynSASChannel", 401},  {12, 599, "VynSASChannel", 401},
        {12, 600, "VynSASChannel", 402},  {13, 100, "VynSASChannel", 500},  {13, 450, "VynSASChannel", 501},
        {13, 6000, "VynSASChannel", 502}, {8, 0, nullptr, 0},
    };
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    for (const Case& c : cases) {
        vyntest::TreePtr<ProbedAdapter> adapter = closedController();
        const _tagFSA_CHANNEL_ENUM_INFO info = channel(c.type, c.link);
        fsaEnumChannelCallback(1, &info, adapter.get());
        if (c.cls == nullptr) {
            EXPECT_EQ(adapter->getChildCount(), 0u) << c.type;
            continue;
        }
        ASSERT_EQ(adapter->getChildCount(), 1u) << c.type;
        Channel* made = adapter->getChannel(0);
        ASSERT_NE(made, nullptr);
        EXPECT_STREQ(made->typeName(), c.cls) << c.type << " " << c.link;
        EXPECT_EQ(static_cast<int>(made->getTransferSpeed()), c.speed) << c.type << " " << c.link;
        EXPECT_EQ(made->getChannelID(), 2u);
        EXPECT_EQ(made->getAdapter(), adapter.get());
    }
    EXPECT_EQ(errorCount("Unsupported Channel type (Fibre)"), 1u);
}

TEST_F(VynAdapterTreeTest, AClusteredRecordMarksTheControllerEvenWithoutAChannel)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    vyntest::TreePtr<ProbedAdapter> adapter = closedController();
    EXPECT_FALSE(adapter->clustered());
    const _tagFSA_CHANNEL_ENUM_INFO fibre = channel(8, 0, 1);
    fsaEnumChannelCallback(1, &fibre, adapter.get());
    EXPECT_EQ(adapter->getChildCount(), 0u);
    EXPECT_TRUE(adapter->clustered());
}

TEST_F(VynAdapterTreeTest, InquiryFailuresAreKeptPerEntry)
{
    PhysicalDevice a;
    a.setWWN0(0x11);
    a.setWWN1(0x22);
    PhysicalDevice b;
    b.setWWN0(0x11);
    b.setWWN1(0x23);
    EXPECT_FALSE(VynAdapter::hadInquiryFailure(&a));
    VynAdapter::addInquiryFailure(&a);
    VynAdapter::addInquiryFailure(&a);
    EXPECT_FALSE(VynAdapter::hadInquiryFailure(&b));
    EXPECT_FALSE(VynAdapter::delInquiryFailure(&b));
    EXPECT_TRUE(VynAdapter::delInquiryFailure(&a));
    EXPECT_TRUE(VynAdapter::hadInquiryFailure(&a));
    EXPECT_TRUE(VynAdapter::delInquiryFailure(&a));
    EXPECT_FALSE(VynAdapter::hadInquiryFailure(&a));
    EXPECT_FALSE(VynAdapter::delInquiryFailure(&a));
}

TEST_F(VynAdapterTreeTest, PhysAreAskedOnlyWithSasPortsAndOnePerPort)
{
    struct Case {
        const char* extra;
        unsigned asked;
    };
    const Case cases[] = {
        {"adapter0.ports = 8\nadapter0.sas_ports = 0\n", 0},
        {"adapter0.ports = 8\nadapter0.sas_ports = 4\n", 8},
    };
    for (const Case& c : cases) {
        startController(std::string(c.extra) + "adapter0.fault0.on = fib 612\nadapter0.fault0.poke = 0:1=0x35\n");
        vyntest::TreePtr<VynAdapter> adapter = openController();
        sim().clearRequests();
        Ret ret;
        adapter->initSasPhyInfo(ret);
        unsigned asked = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            asked += r.isFib && r.command == 612 ? 1 : 0;
        EXPECT_EQ(asked, c.asked) << c.extra;
        EXPECT_EQ(adapter->getChildCount(), c.asked) << c.extra;
        EXPECT_EQ(ret, Ret());
        if (c.asked == 0)
            continue;
        std::vector<RaidObject*> phys;
        adapter->getChildren(phys, "VynSASPhy", false, true);
        ASSERT_EQ(phys.size(), 8u);
        EXPECT_EQ(phys[5]->getSASPhyID(), 5u);
        EXPECT_EQ(static_cast<SASPhy*>(phys[5])->getSASAddress(), std::string("50000D1E30315356"));
    }
}

TEST_F(VynAdapterTreeTest, AFailedPhyQueryIsReportedAndTheWalkGoesOn)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    vyntest::TreePtr<ProbedAdapter> adapter = closedController({{GI_MAX_NUMBER_PORTS, 3}, {GI_NUM_SAS_PORTS, 1}});
    std::vector<uint8_t> phy(64, 0);
    phy[20] = 0;
    fsa.script("FsaGetAdapterSasPhyInfo", 1, phy);
    fsa.script("FsaGetAdapterSasPhyInfo", 479);
    phy[20] = 2;
    fsa.script("FsaGetAdapterSasPhyInfo", 1, phy);
    Ret ret;
    adapter->initSasPhyInfo(ret);
    EXPECT_EQ(adapter->getChildCount(), 2u);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 479u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetAdapterSasPhyInfo() fsaStatus=479 ***"), 1u);
}

TEST_F(VynAdapterTreeTest, AlarmStateNeedsTheAlarmOption)
{
    struct Case {
        uint32_t opt1;
        FSA_STATUS status;
        uint32_t word;
        int state;
        unsigned asked;
    };
    const Case cases[] = {
        {0, 1, 1, 0, 0}, {0x800, 1, 1, 1, 1}, {0x800, 1, 0, 2, 1}, {0x800, 1, 3, 2, 1}, {0x800, 604, 1, 0, 1},
    };
    for (const Case& c : cases) {
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(31);
        vyntest::TreePtr<ProbedAdapter> adapter = closedController({{GI_SUPPORTED_OPTIONS, c.opt1}});
        fsa.script("FsaAlarm", c.status, words({c.word}));
        adapter->refreshAlarmState();
        EXPECT_EQ(static_cast<int>(adapter->getAlarmState()), c.state) << c.opt1 << " " << c.word;
        EXPECT_EQ(fsa.count("FsaAlarm"), c.asked);
    }
}

TEST_F(VynAdapterTreeTest, BatteryStatusFollowsThePlatformAndItsBits)
{
    struct Case {
        const char* name;
        FSA_STATUS result;
        uint32_t f;
        uint32_t s;
        int batStatus;
        bool blbu;
        int blbuStatus;
        bool tempWarning;
    };
    const uint32_t blbu = 0x40000000;
    const Case cases[] = {
        {"blbu optimal", 1, 0, blbu | 0x0B, 3, true, 1, false},
        {"blbu charging", 1, 0, blbu | 0x09, 3, true, 2, false},
        {"blbu charging, bit 2", 1, 0, blbu | 0x0F, 3, true, 2, false},
        {"blbu failed", 1, 0, blbu | 0x01, 3, true, 3, false},
        {"blbu not installed", 1, 0, blbu | 0x0A, 3, true, 4, false},
        {"charging disabled", 1, 0x1021, 0x3D, 10, false, 0, true},
        {"no capability bit", 1, 0, 0x3D, 3, false, 0, false},
        {"not installed", 1, 0x1, 0x0, 4, false, 0, false},
        {"failed", 1, 0x1, 0x1, 6, false, 0, false},
        {"optimal", 1, 0x1, 0x9, 5, false, 0, false},
        {"charging", 1, 0x1, 0xD, 7, false, 0, false},
        {"maintenance", 1, 0x21, 0x19, 9, false, 0, false},
        {"unknown, bit 17", 1, 0x20001, 0x9, 1, false, 0, false},
        {"platform 1, bit 9", 1, 0x1, 0x10000209, 10, false, 0, false},
        {"no battery", 620, 0, 0, 3, false, 0, false},
        {"failed query", 6, 0, 0, 4, false, 0, false},
    };
    for (const Case& c : cases) {
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(31);
        vyntest::TreePtr<ProbedAdapter> adapter = closedController();
        std::vector<uint8_t> record(60, 0);
        faPutLe32(record.data() + 0, c.f);
        faPutLe32(record.data() + 8, c.s);
        fsa.script("FsaBattery", c.result, record);
        adapter->refreshBatteryState();
        EXPECT_EQ(adapter->getBatStatus(), c.batStatus) << c.name;
        EXPECT_EQ(adapter->IsBLBUPresent(), c.blbu) << c.name;
        EXPECT_EQ(adapter->getBLBUStatus(), c.blbuStatus) << c.name;
        EXPECT_EQ(adapter->tempWarning(), c.tempWarning) << c.name;
        EXPECT_EQ(adapter->getBatteryPlatform(), c.result == 6 ? 4u : 0u) << c.name;
    }
}

TEST_F(VynAdapterTreeTest, BatteryValuesAreTakenWithTheirCapabilityBits)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    vyntest::TreePtr<ProbedAdapter> adapter = closedController();
    std::vector<uint8_t> record(60, 0);
    faPutLe32(record.data() + 0, 0x87);
    faPutLe32(record.data() + 8, 0x9);
    faPutLe16(record.data() + 18, 1800);
    faPutLe16(record.data() + 20, 900);
    faPutLe16(record.data() + 26, 120);
    fsa.script("FsaBattery", 1, record);
    adapter->refreshBatteryState();
    EXPECT_EQ(adapter->getBatStatus(), 5);
    EXPECT_EQ(adapter->getBatFullCapacity(), 1800);
    EXPECT_EQ(adapter->getBatRemainingCapacity(), 900);
    EXPECT_EQ(adapter->getBatCurrentDraw(), 120);
}

TEST_F(VynAdapterTreeTest, TheDefaultControllerGetsOneSasChannelPhysAndConnectors)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    startController();
    vyntest::TreePtr<VynAdapter> adapter = openController();
    Ret ret;
    adapter->buildChildren(ret);
    EXPECT_EQ(ret, Ret());
    ASSERT_NE(adapter->getSASChannel(0), nullptr);
    EXPECT_EQ(adapter->getChannel(1), nullptr);
    EXPECT_STREQ(adapter->getChannel(0)->typeName(), "VynSASChannel");
    EXPECT_EQ(static_cast<int>(adapter->getChannel(0)->getTransferSpeed()), 401);
    std::vector<RaidObject*> phys;
    adapter->getChildren(phys, "VynSASPhy", false, true);
    EXPECT_EQ(phys.size(), 16u);
    EXPECT_EQ(adapter->getNumSASConnector(), 2u);
    EXPECT_EQ(adapter->getChildCount(), 1u + 16u + 2u);
}

TEST_F(VynAdapterTreeTest, ARebuildDropsTheEarlierTreeBeforeTheChannels)
{
    // The spare lists answer "none" here: this case is not about spares.
    ScriptedFsaExports fsa;
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    startController("adapter0.sas_ports = 0\nadapter0.option_word2 = 0x0EB796DC\n"
                    "adapter0.bus0 = sas 16\nadapter0.bus1 = sata 8\n");
    vyntest::TreePtr<VynAdapter> adapter = openController();
    Ret ret;
    adapter->buildChildren(ret);
    ASSERT_EQ(adapter->getChildCount(), 2u);
    // The earlier channel is seen to go by an object of its subtree that
    // tells when it is destroyed; an address would not do, as the
    // allocator may hand the same one to the new channel.
    bool firstDropped = false;
    adapter->getChannel(0)->addChild(new DestructionProbe(firstDropped));
    adapter->addChild(new Channel(adapter.get(), 9, CHANNEL_TYPE_SCSI, SPEED_UNSET));
    ASSERT_EQ(adapter->getChildCount(), 3u);
    adapter->buildChildren(ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_TRUE(firstDropped);
    // Channels alone: no enclosures, devices, containers, phys or connectors.
    ASSERT_EQ(adapter->getChildCount(), 2u);
    EXPECT_EQ(adapter->getChannel(0)->getChannelID(), 0u);
    EXPECT_EQ(adapter->getChannel(1)->getChannelID(), 1u);
    EXPECT_EQ(adapter->getChannel(2), nullptr);
    EXPECT_STREQ(adapter->getSATAChannel(0)->typeName(), "VynSATAChannel");
    EXPECT_EQ(adapter->getSATAChannel(1), nullptr);

    const std::string trace = traceLog();
    size_t at = 0;
    for (const char* line : {"--- GET ENCLOSURES ---", "Found 0 enclosures", "--- GET PHYSICAL DEVICES ---",
                             "--- GET GLOBAL SPARES ---", "--- GET VynLogicalDriveInfo STRUCTURES ---",
                             "--- CREATE VynBasicLogicalDrive OBJECTS ---", "--- GET DEDICATED SPARES ---",
                             "--- MAP SAFTE DEVICES TO ENCLOSURE SLOTS ---", "--- MAP HARDDRIVES TO ENCLOSURE,SLOT ---",
                             "--- MAP SES DEVICES TO SES ELEMENTS ---", "--- INITIALIZE ADAPTER SAS PHY INFO ---",
                             "--- INITIALIZE ADAPTER CONNECTOR MAP ---"}) {
        at = trace.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << trace;
    }
}

TEST_F(VynAdapterTreeTest, TheCallersRetHoldsTheLastReportOfTheBuild)
{
    startController("adapter0.ports = 2\nadapter0.fault0.on = fib 612\nadapter0.fault0.errno = 5\n"
                    "adapter0.fault0.times = 0\n");
    vyntest::TreePtr<VynAdapter> adapter = openController();
    Ret ret;
    adapter->buildChildren(ret);
    // Both phys fail; the connector map after them reports nothing.
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 479u);
    EXPECT_EQ(errorCount("FsaGetAdapterSasPhyInfo() fsaStatus=479"), 2u);
    EXPECT_EQ(adapter->getNumSASConnector(), 2u);
}

TEST_F(VynAdapterTreeTest, ConnectorCountsBeyondTheMapAreCut)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    vyntest::TreePtr<ProbedAdapter> adapter = closedController({{GI_SUPPORTED_OPTIONS2, 0x100}});
    // Two lanes and one connector announced, with room for one lane only and
    // no connector entry.
    std::vector<uint8_t> map(20, 0);
    map[4] = 1;
    map[5] = 2;
    fsa.script("FsaGetConnectorMapSize", 1, words({20}));
    fsa.script("FsaGetConnectorMap", 1, map);
    Ret ret;
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(adapter->getNumSASConnector(), 0u);

    // A well-formed map: connector entries whose key byte matches a lane.
    std::vector<uint8_t> good(8 + 2 * 12 + 16, 0);
    good[4] = 1;
    good[5] = 2;
    faPutLe32(good.data() + 8, 0x02000005);
    good[8 + 5] = 3;
    good[8 + 12] = 9;
    good[8 + 24 + 0] = 6;
    good[8 + 24 + 1] = 1;
    // The key byte opens the connector's name: the lane whose first byte is
    // 5 (the low byte of its device word) leads to it.
    std::memcpy(good.data() + 8 + 24 + 4, "\x05ORT0   ", 8);
    fsa.script("FsaGetConnectorMapSize", 1, words({static_cast<uint32_t>(good.size())}));
    fsa.script("FsaGetConnectorMap", 1, good);
    adapter->initConnectionMap(ret);
    ASSERT_EQ(adapter->getNumSASConnector(), 1u);
    SASConnector* c = adapter->getSASConnector(0);
    EXPECT_EQ(c->getChannelID(), 2);
    EXPECT_EQ(c->getDevID(), 5);
    EXPECT_EQ(c->getLaneID(), 3);
    EXPECT_EQ(c->getConnectorID(), 6);
    EXPECT_STREQ(c->getConnectorName(), "?ORT0");

    fsa.script("FsaGetConnectorMapSize", 1, words({0}));
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(fsa.count("FsaGetConnectorMap"), 2u);
    const FSA_GENERAL_INFO2 without = {};
    adapter->setFsaGeneralInfo(&without);
    adapter->initConnectionMap(ret);
    EXPECT_EQ(fsa.count("FsaGetConnectorMapSize"), 3u);
}

TEST_F(VynAdapterTreeTest, DiscoveryBuildsEachControllerAndANewTreeTakesOverTheHandle)
{
    startController();
    ScriptedFsaExports fsa;  // every call reaches the simulator
    fsa.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    VynLib lib;
    ASSERT_EQ(lib.getSystemConfig(), Ret(0));
    ASSERT_EQ(lib.getNumVynAdapters(), 1u);
    VynAdapter* first = lib.getVynAdapter(0);
    void* handle = first->getAdapterHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(first->getAdapterID(), 0u);
    EXPECT_NE(first->getSASChannel(0), nullptr);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 1u);

    // The refresh builds the new tree while the old one lives, and takes the
    // open handle over instead of opening another.
    ASSERT_EQ(lib.getSystemConfig(), Ret(0));
    ASSERT_EQ(lib.getNumVynAdapters(), 1u);
    EXPECT_NE(lib.getVynAdapter(0), first);
    EXPECT_EQ(lib.getVynAdapter(0)->getAdapterHandle(), handle);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 1u);
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 0u);

    // An object of the same controller that holds no handle hands nothing
    // over: the next tree opens its own.
    lib.getVynAdapter(0)->fsaClose();
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
    ASSERT_EQ(lib.getSystemConfig(), Ret(0));
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 2u);
    EXPECT_NE(lib.getVynAdapter(0)->getAdapterHandle(), nullptr);
}

}  // namespace
